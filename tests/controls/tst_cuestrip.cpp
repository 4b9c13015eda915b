#include "controls/cuestrip.h"

#include <QImage>
#include <QSignalSpy>
#include <QtTest>

namespace {

// Columns of the image, in the middle band where the current cue is
// drawn, that hold anything brighter than the background.
QPair<int, int> inkedColumns(const QImage &image, int top, int bottom, int threshold)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = top; y < bottom; ++y) {
            if (qGray(image.pixel(x, y)) > threshold) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

int distinctGreys(const QImage &image, int top, int bottom)
{
    QSet<int> greys;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width(); ++x)
            greys.insert(qGray(image.pixel(x, y)));
    return int(greys.size());
}

} // namespace

class TestCueStrip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A hidden cue is a bar as wide as the text would be, without the
    // letters' detail; shown, the same width holds the text.
    void maskIsABarOfTheTextsLength()
    {
        CueStrip strip;
        strip.resize(640, 150);
        const QString sentence = QStringLiteral("Where did you put the keys?");
        strip.setLines({}, {sentence, true, false}, {});
        const QImage masked = strip.grab().toImage();
        strip.setLines({}, {sentence, false, false}, {});
        const QImage shown = strip.grab().toImage();
        strip.setLines({}, {QStringLiteral("Yes."), true, false}, {});
        const QImage shortBar = strip.grab().toImage();

        const int top = 40;
        const int bottom = 110;
        const auto bar = inkedColumns(masked, top, bottom, 60);
        const auto text = inkedColumns(shown, top, bottom, 60);
        const auto small = inkedColumns(shortBar, top, bottom, 60);
        QVERIFY(bar.first > 0 && text.first > 0);
        QVERIFY2(qAbs(bar.first - text.first) <= 3 && qAbs(bar.second - text.second) <= 3,
                 qPrintable(QStringLiteral("bar %1..%2, text %3..%4")
                                .arg(bar.first).arg(bar.second).arg(text.first).arg(text.second)));
        QVERIFY(small.second - small.first < (bar.second - bar.first) / 3);
        // Letters bring many shades of anti-aliasing; a bar only its edges.
        QVERIFY(distinctGreys(masked, top, bottom) < distinctGreys(shown, top, bottom));
    }

    void neighboursAreDimmer()
    {
        CueStrip strip;
        strip.resize(640, 150);
        const QString word = QStringLiteral("MMMMMMMM");
        strip.setLines({word, false, false}, {word, false, false}, {word, false, false});
        const QImage image = strip.grab().toImage();
        // Runs of rows with ink in them, and the brightest pixel of each.
        QList<int> brightest;
        bool inRun = false;
        for (int y = 0; y < image.height(); ++y) {
            int most = 0;
            for (int x = 0; x < image.width(); ++x)
                most = qMax(most, qGray(image.pixel(x, y)));
            if (most > 40 && !inRun)
                brightest.append(0);
            inRun = most > 40;
            if (inRun)
                brightest.last() = qMax(brightest.last(), most);
        }
        QCOMPARE(brightest.size(), 3);
        QVERIFY(brightest[1] > brightest[0] + 60 && brightest[1] > brightest[2] + 60);
    }

    void messageReplacesTheLines()
    {
        CueStrip strip;
        strip.setLines({}, {QStringLiteral("a"), false, false}, {});
        strip.setMessage(QStringLiteral("Finding the sentences..."));
        QCOMPARE(strip.message(), QStringLiteral("Finding the sentences..."));
        strip.setLines({}, {QStringLiteral("b"), false, false}, {});
        QVERIFY(strip.message().isEmpty());
        QCOMPARE(strip.current().text, QStringLiteral("b"));
    }

    void clickAsksToReveal_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("clicks");
        QTest::newRow("left") << int(Qt::LeftButton) << 1;
        QTest::newRow("right is the menu's") << int(Qt::RightButton) << 0;
    }

    void clickAsksToReveal()
    {
        QFETCH(int, button);
        QFETCH(int, clicks);
        CueStrip strip;
        strip.resize(400, 120);
        QSignalSpy clicked(&strip, &CueStrip::clicked);
        QTest::mouseClick(&strip, Qt::MouseButton(button), {}, QPoint(200, 60));
        QCOMPARE(clicked.size(), clicks);
    }
};

QTEST_MAIN(TestCueStrip)
#include "tst_cuestrip.moc"
