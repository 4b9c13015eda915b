#include "controls/qscreenwidget.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

namespace {

void sendMouse(QWidget *w, QEvent::Type type, QPointF pos, Qt::MouseButton button)
{
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, button, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

} // namespace

class TestQScreenWidget : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QScreenWidget> shownScreen()
    {
        auto screen = std::make_unique<QScreenWidget>();
        screen->resize(640, 400);
        screen->show();
        if (!QTest::qWaitForWindowExposed(screen.get()))
            return nullptr;
        return screen;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QStringLiteral("./skin/default/images/open_button.png")),
                 "run from the runtime folder with the artwork staged");
    }

    void press_data()
    {
        QTest::addColumn<QPointF>("pos");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("clicked");

        QTest::newRow("right button on the open button") << QPointF(320, 240) << int(Qt::RightButton) << true;
        QTest::newRow("above the open button") << QPointF(320, 230) << int(Qt::LeftButton) << false;
        QTest::newRow("top-left corner") << QPointF(275, 235) << int(Qt::LeftButton) << true;
        QTest::newRow("bottom-right corner") << QPointF(365, 260) << int(Qt::MiddleButton) << true;
        QTest::newRow("left of it") << QPointF(274.5, 250) << int(Qt::LeftButton) << false;
        QTest::newRow("right of it") << QPointF(365.5, 250) << int(Qt::LeftButton) << false;
        QTest::newRow("below it") << QPointF(320, 261) << int(Qt::LeftButton) << false;
        QTest::newRow("on the centre picture") << QPointF(320, 190) << int(Qt::LeftButton) << false;
    }

    void press()
    {
        QFETCH(QPointF, pos);
        QFETCH(int, button);
        QFETCH(bool, clicked);
        auto screen = shownScreen();
        QVERIFY(screen);
        QSignalSpy click(screen.get(), &QScreenWidget::click);
        QSignalSpy doubleClick(screen.get(), &QScreenWidget::doubleClick);
        sendMouse(screen.get(), QEvent::MouseButtonPress, pos, Qt::MouseButton(button));
        QCOMPARE(click.count(), clicked ? 1 : 0);
        QCOMPARE(doubleClick.count(), 0);
    }

    void doubleClick_data()
    {
        QTest::addColumn<QPointF>("pos");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("emitted");
        QTest::newRow("left, anywhere") << QPointF(10, 390) << int(Qt::LeftButton) << true;
        QTest::newRow("left, on the picture") << QPointF(320, 200) << int(Qt::LeftButton) << true;
        QTest::newRow("right") << QPointF(10, 390) << int(Qt::RightButton) << false;
    }

    void doubleClick()
    {
        QFETCH(QPointF, pos);
        QFETCH(int, button);
        QFETCH(bool, emitted);
        auto screen = shownScreen();
        QVERIFY(screen);
        QSignalSpy spy(screen.get(), &QScreenWidget::doubleClick);
        QTest::mouseDClick(screen.get(), Qt::MouseButton(button), {}, pos.toPoint());
        QCOMPARE(spy.count(), emitted ? 1 : 0);
    }

    void draws_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("centre picture") << "kestscreen.png" << QPoint(320 - 131, 200 - 50);
        QTest::newRow("open button") << "open_button.png" << QPoint(275, 235);
    }

    // Black everywhere, each picture at its place over it.
    void draws()
    {
        QFETCH(QString, file);
        QFETCH(QPoint, place);
        QImage picture(QStringLiteral("./skin/default/images/") + file);
        QVERIFY(!picture.isNull());
        auto screen = shownScreen();
        QVERIFY(screen);
        const QImage image = screen->grab().toImage();
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(image.pixelColor(639, 399), QColor(Qt::black));
        QCOMPARE(image.pixelColor(100, 200), QColor(Qt::black));

        // the open button lies over the centre picture's bottom rows
        const QRect covered(275 - place.x(), 235 - place.y(), 90, 25);
        QImage expected(picture.size(), QImage::Format_RGB32);
        expected.fill(Qt::black);
        QPainter(&expected).drawImage(0, 0, picture);
        int visible = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                if (file == "kestscreen.png" && covered.contains(x, y))
                    continue;
                const QColor want = expected.pixelColor(x, y);
                const QColor got = image.pixelColor(place + QPoint(x, y));
                QVERIFY2(qAbs(want.red() - got.red()) <= 2 && qAbs(want.green() - got.green()) <= 2
                             && qAbs(want.blue() - got.blue()) <= 2,
                         qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
                visible += want != QColor(Qt::black);
            }
        }
        QVERIFY(visible > 100);
    }
};

QTEST_MAIN(TestQScreenWidget)
#include "tst_qscreenwidget.moc"
