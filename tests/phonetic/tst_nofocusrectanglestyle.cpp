#include "phonetic/nofocusrectanglestyle.h"

#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QTest>
#include <QTreeWidget>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// True when draw() changed any pixel of a white 60 x 30 image.
bool paints(const std::function<void(QPainter *)> &draw)
{
    QImage image(60, 30, QImage::Format_ARGB32);
    image.fill(Qt::white);
    const QImage blank = image;
    QPainter painter(&image);
    draw(&painter);
    painter.end();
    return image != blank;
}

} // namespace

class tst_NoFocusRectangleStyle : public QObject
{
    Q_OBJECT

private slots:
    void focusFrame_data();
    void focusFrame();
    void pushButton_data();
    void pushButton();
};

void tst_NoFocusRectangleStyle::focusFrame_data()
{
    QTest::addColumn<QString>("widgetClass");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("list widget") << u"QListWidget"_s << false;
    QTest::newRow("push button") << u"QPushButton"_s << false;
    QTest::newRow("label") << u"QLabel"_s << true;
    QTest::newRow("no widget") << QString() << true;
}

void tst_NoFocusRectangleStyle::focusFrame()
{
    QFETCH(QString, widgetClass);
    QFETCH(bool, drawn);
    std::unique_ptr<QWidget> widget;
    if (widgetClass == u"QListWidget")
        widget = std::make_unique<QListWidget>();
    else if (widgetClass == u"QPushButton")
        widget = std::make_unique<QPushButton>();
    else if (widgetClass == u"QLabel")
        widget = std::make_unique<QLabel>();

    NoFocusRectangleStyle style;
    QStyleOptionFocusRect option;
    option.rect = QRect(5, 5, 50, 20);
    option.palette.setColor(QPalette::WindowText, Qt::black);
    option.backgroundColor = Qt::white;
    QCOMPARE(paints([&](QPainter *p) { style.drawPrimitive(QStyle::PE_FrameFocusRect, &option, p, widget.get()); }),
             drawn);
    // Other primitives are drawn for a list widget as usual.
    QStyleOptionFrame frame;
    frame.rect = option.rect;
    frame.lineWidth = 1;
    frame.palette.setColor(QPalette::WindowText, Qt::black);
    QVERIFY(paints([&](QPainter *p) { style.drawPrimitive(QStyle::PE_Frame, &frame, p, widget.get()); }));
}

void tst_NoFocusRectangleStyle::pushButton_data()
{
    QTest::addColumn<bool>("inTree");
    QTest::newRow("tree widget draws no button") << true;
    QTest::newRow("push button is drawn") << false;
}

void tst_NoFocusRectangleStyle::pushButton()
{
    QFETCH(bool, inTree);
    QTreeWidget tree;
    QPushButton button;
    NoFocusRectangleStyle style;
    QStyleOptionButton option;
    option.rect = QRect(5, 5, 50, 20);
    option.text = u"Go"_s;
    option.palette.setColor(QPalette::ButtonText, Qt::black);
    option.palette.setColor(QPalette::Button, Qt::gray);
    option.state = QStyle::State_Enabled | QStyle::State_Raised;
    QWidget *widget = inTree ? static_cast<QWidget *>(&tree) : &button;
    QCOMPARE(paints([&](QPainter *p) { style.drawControl(QStyle::CE_PushButton, &option, p, widget); }), !inTree);
}

QTEST_MAIN(tst_NoFocusRectangleStyle)
#include "tst_nofocusrectanglestyle.moc"
