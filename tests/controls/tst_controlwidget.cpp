#include "controls/controlwidget.h"

#include <QImage>
#include <QVBoxLayout>
#include <QtTest>

namespace {

bool near(const QColor &a, const QColor &b, int tolerance)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

class TestControlWidget : public QObject
{
    Q_OBJECT

private slots:
    void heightStaysFifty_data()
    {
        QTest::addColumn<QSize>("windowSize");
        QTest::newRow("small") << QSize(320, 200);
        QTest::newRow("large") << QSize(1400, 900);
        QTest::newRow("full screen") << QSize();
    }

    void heightStaysFifty()
    {
        QFETCH(QSize, windowSize);
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(new QWidget, 1);
        auto *strip = new ControlWidget(&window);
        layout->addWidget(strip);
        if (windowSize.isValid()) {
            window.resize(windowSize);
            window.show();
        } else {
            window.showFullScreen();
        }
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(strip->height(), 50);
        QCOMPARE(strip->width(), window.width());
    }

    void gradientFromBlackToBlue()
    {
        ControlWidget strip;
        strip.resize(300, 50);
        strip.show();
        QVERIFY(QTest::qWaitForWindowExposed(&strip));
        const QImage image = strip.grab().toImage();
        QVERIFY(near(image.pixelColor(10, 0), QColor(0, 0, 0), 4));
        QVERIFY(near(image.pixelColor(290, 49), QColor(19, 126, 182), 4));
        QVERIFY(near(image.pixelColor(150, 25), QColor(10, 63, 91), 4));
        // vertical only
        QCOMPARE(image.pixelColor(0, 30), image.pixelColor(299, 30));
    }

    // A strip repainted in part shows the same gradient there as when it is
    // repainted whole.
    void partialRepaintMatchesFullRepaint()
    {
        ControlWidget strip;
        strip.resize(300, 50);
        strip.show();
        QVERIFY(QTest::qWaitForWindowExposed(&strip));
        const QImage full = strip.grab().toImage();
        QImage part(full.size(), full.format());
        part.fill(Qt::magenta);
        const QRect region(40, 25, 100, 25);
        strip.render(&part, region.topLeft(), QRegion(region));
        QCOMPARE(part.copy(region), full.copy(region));
    }
};

QTEST_MAIN(TestControlWidget)
#include "tst_controlwidget.moc"
