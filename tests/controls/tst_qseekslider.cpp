#include "controls/qseekslider.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QColor knobUpper(118, 169, 196);
const QColor knobLower(17, 113, 163);
const QColor bandLower(209, 201, 134);
const QColor bandUpper(168, 169, 101);

QColor pixel(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

void sendMouse(QWidget *w, QEvent::Type type, QPointF pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

} // namespace

class TestQSeekSlider : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QSeekSlider> shownSlider(int width)
    {
        auto slider = std::make_unique<QSeekSlider>();
        slider->resize(width, 8);
        slider->show();
        if (!QTest::qWaitForWindowExposed(slider.get()))
            return nullptr;
        return slider;
    }

private slots:
    void freshSliderIsPlainBlack()
    {
        auto slider = shownSlider(400);
        QVERIFY(slider);
        QCOMPARE(slider->height(), 8);
        const QImage image = slider->grab().toImage();
        for (int x : {0, 1, 100, 200, 398, 399})
            for (int y = 0; y < 8; ++y)
                QCOMPARE(pixel(image, x, y), QColor(Qt::black));
    }

    void knobCentredAfterSetValue()
    {
        auto slider = shownSlider(400);
        QVERIFY(slider);
        slider->setValue(0.5);
        QCOMPARE(slider->value(), 200.0);
        const QImage image = slider->grab().toImage();
        // white over grey once the value has moved
        QCOMPARE(pixel(image, 20, 1), QColor(Qt::white));
        QCOMPARE(pixel(image, 20, 6), QColor(Qt::gray));
        // a 4-pixel line pair whose square caps make it 8 pixels wide
        for (int x = 196; x < 204; ++x) {
            QCOMPARE(pixel(image, x, 0), knobUpper);
            QCOMPARE(pixel(image, x, 3), knobUpper);
            QCOMPARE(pixel(image, x, 4), knobLower);
            QCOMPARE(pixel(image, x, 7), knobLower);
        }
        QCOMPARE(pixel(image, 195, 1), QColor(Qt::white));
        QCOMPARE(pixel(image, 204, 1), QColor(Qt::white));
        QCOMPARE(pixel(image, 195, 6), QColor(Qt::gray));
    }

    void noKnobAtTheEnds_data()
    {
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QColor>("top");
        QTest::newRow("value 0: black bar") << 0.0 << QColor(Qt::black);
        QTest::newRow("value = width: white track, no knob") << 1.0 << QColor(Qt::white);
    }

    void noKnobAtTheEnds()
    {
        QFETCH(double, fraction);
        QFETCH(QColor, top);
        auto slider = shownSlider(400);
        QVERIFY(slider);
        slider->setValue(fraction);
        const QImage image = slider->grab().toImage();
        for (int x : {0, 1, 2, 3, 396, 397, 398, 399})
            QCOMPARE(pixel(image, x, 1), top);
    }

    void bandBetweenMarks()
    {
        auto slider = shownSlider(400);
        QVERIFY(slider);
        slider->setMarkInFlag(0.25);
        slider->setMarkOutFlag(0.75);
        const QImage image = slider->grab().toImage();
        QCOMPARE(pixel(image, 200, 5), bandLower);
        QCOMPARE(pixel(image, 200, 0), bandUpper);
        QCOMPARE(pixel(image, 50, 5), QColor(Qt::black));
        QCOMPARE(pixel(image, 350, 5), QColor(Qt::black));
    }

    void resetMarkRemovesBand()
    {
        auto slider = shownSlider(400);
        QVERIFY(slider);
        slider->setValue(0.9);
        slider->setMarkInFlag(0.25);
        slider->setMarkOutFlag(0.75);
        slider->resetMark();
        const QImage image = slider->grab().toImage();
        QCOMPARE(slider->markOut(), 400.0);
        QCOMPARE(slider->markIn(), 0.0);
        QCOMPARE(pixel(image, 200, 1), QColor(Qt::white));
        QCOMPARE(pixel(image, 200, 5), QColor(Qt::gray));
    }

    void markInAtRightEdgeMovesToZero()
    {
        auto slider = shownSlider(400);
        QVERIFY(slider);
        slider->setMarkInFlag(1.0);
        QCOMPARE(slider->markIn(), 400.0);
        slider->grab();
        QCOMPARE(slider->markIn(), 0.0);
        // with the marks at the edges no band shows
        const QImage image = slider->grab().toImage();
        QCOMPARE(pixel(image, 200, 5), QColor(Qt::black));
    }

    void mouse_data()
    {
        QTest::addColumn<QList<QPointF>>("path");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QList<double>>("emitted");

        const int left = Qt::LeftButton;
        QTest::newRow("left press") << QList<QPointF>{{100, 4}} << left << QList<double>{0.25};
        QTest::newRow("press on the edges counts")
            << QList<QPointF>{{0, 0}, {400, 8}} << left << QList<double>{0.0, 1.0};
        QTest::newRow("left drag emits on every move")
            << QList<QPointF>{{100, 4}, {200, 4}, {300, 7}} << left
            << QList<double>{0.25, 0.5, 0.75};
        QTest::newRow("drag leaving the bar stops until it returns")
            << QList<QPointF>{{100, 4}, {-5, 4}, {420, 4}, {300, 12}, {320, 4}} << left
            << QList<double>{0.25, 0.8};
        QTest::newRow("right button does nothing")
            << QList<QPointF>{{100, 4}, {200, 4}} << int(Qt::RightButton) << QList<double>{};
        QTest::newRow("left and right together do nothing")
            << QList<QPointF>{{100, 4}, {200, 4}} << int(Qt::LeftButton | Qt::RightButton)
            << QList<double>{};
    }

    void mouse()
    {
        QFETCH(QList<QPointF>, path);
        QFETCH(int, buttons);
        QFETCH(QList<double>, emitted);

        auto slider = shownSlider(400);
        QVERIFY(slider);
        QSignalSpy spy(slider.get(), &QSeekSlider::valueChanged);
        const auto held = Qt::MouseButtons(buttons);
        const Qt::MouseButton first =
            held.testFlag(Qt::LeftButton) ? Qt::LeftButton : Qt::RightButton;
        sendMouse(slider.get(), QEvent::MouseButtonPress, path.first(), first, held);
        for (qsizetype i = 1; i < path.size(); ++i)
            sendMouse(slider.get(), QEvent::MouseMove, path.at(i), Qt::NoButton, held);

        QCOMPARE(spy.count(), emitted.size());
        for (qsizetype i = 0; i < emitted.size(); ++i)
            QCOMPARE(spy.at(i).at(0).toDouble(), emitted.at(i));
        if (emitted.isEmpty())
            QCOMPARE(slider->value(), 0.0);
        else
            QCOMPARE(slider->value(), emitted.last() * 400);
    }

    void wideningKeepsFractions()
    {
        auto slider = shownSlider(400);
        QVERIFY(slider);
        slider->setValue(0.5);
        slider->setMarkInFlag(0.25);
        slider->setMarkOutFlag(0.75);
        slider->resize(800, 8);
        QCOMPARE(slider->value(), 400.0);
        QCOMPARE(slider->markIn(), 200.0);
        QCOMPARE(slider->markOut(), 600.0);
        const QImage image = slider->grab().toImage();
        QCOMPARE(pixel(image, 400, 1), knobUpper);
        QCOMPARE(pixel(image, 500, 5), bandLower);
        QCOMPARE(pixel(image, 700, 5), QColor(Qt::gray));
    }

    // Positions at the right edge must stay exactly at the edge through a
    // resize: a mark out a hair off the width would show the cancelled loop
    // as a band over the whole bar, and a knob a hair off would show at the end.
    void rightEdgeStaysExactThroughResize_data()
    {
        QTest::addColumn<int>("newWidth");
        QTest::newRow("400 to 113: scaled just below the edge") << 113;
        QTest::newRow("400 to 109: scaled just beyond the edge") << 109;
        QTest::newRow("400 to 203") << 203;
        QTest::newRow("400 to 800") << 800;
    }

    void rightEdgeStaysExactThroughResize()
    {
        QFETCH(int, newWidth);
        auto slider = shownSlider(400);
        QVERIFY(slider);
        slider->setValue(1.0);
        slider->setMarkInFlag(0.25);
        slider->resetMark();
        slider->grab(); // the paint puts the reset mark out at the right edge
        QCOMPARE(slider->markOut(), 400.0);

        slider->resize(newWidth, 8);
        // exactly: QCOMPARE would forgive the hair
        QVERIFY(slider->markOut() == newWidth);
        QVERIFY(slider->value() == newWidth);
        const QImage image = slider->grab().toImage();
        for (int x = 0; x < newWidth; ++x) {
            QCOMPARE(pixel(image, x, 1), QColor(Qt::white));
            QCOMPARE(pixel(image, x, 5), QColor(Qt::gray));
        }
    }

    void resizeFromZeroWidthKeepsPositions()
    {
        auto slider = shownSlider(400);
        QVERIFY(slider);
        slider->setValue(0.5);
        slider->resize(0, 8);
        slider->resize(400, 8);
        QCOMPARE(slider->value(), 200.0);
    }

    // A repaint of part of the bar must draw what a full repaint draws there,
    // and must not move the marks.
    void partialRepaintMatchesFullRepaint()
    {
        auto slider = shownSlider(400);
        QVERIFY(slider);
        slider->setValue(0.5);
        slider->setMarkInFlag(0.1);
        const QImage full = slider->grab().toImage();

        QImage part(full.size(), full.format());
        part.fill(Qt::magenta);
        const QRect region(150, 0, 100, 8);
        slider->render(&part, region.topLeft(), QRegion(region));
        QCOMPARE(slider->markOut(), 400.0);
        QCOMPARE(part.copy(region), full.copy(region));
    }
};

QTEST_MAIN(TestQSeekSlider)
#include "tst_qseekslider.moc"
