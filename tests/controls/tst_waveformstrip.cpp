#include "controls/waveformstrip.h"

#include "cues/sentencesplitter.h"
#include "tests/support/mediamaker.h"

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

// The strip as the learner handles it, on the waveform of a real recording:
// three seconds over and over, one of quiet and two of tone, so that the
// pauses lie at 0-1 s, 3-4 s and 6-7 s.
class TestWaveformStrip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void dragSetsThePassage_data();
    void dragSetsThePassage();
    void gestures_data();
    void gestures();
    void soundIsDrawnWhereItIsHeard();

private:
    // The pause edge the recording has near nominal ms.
    qint64 edgeNear(qint64 nominal) const;
    QPoint detailPoint(qint64 ms) const;

    QTemporaryDir m_dir;
    Waveform m_waveform;
    std::unique_ptr<WaveformStrip> m_strip;
};

void TestWaveformStrip::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString wav = m_dir.filePath(QStringLiteral("pauses.wav"));
    QVERIFY(mediamaker::ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("aevalsrc=0.5*sin(2*PI*440*t)*gte(mod(t\\,3)\\,1):d=9:s=44100"),
                                wav}));
    QList<SentenceSplitter::Pause> pauses;
    int64_t duration = 0;
    QString error;
    QVERIFY2(SentenceSplitter::findPauses(wav, 300, &pauses, &duration, nullptr, &error, &m_waveform),
             qPrintable(error));
    QCOMPARE(m_waveform.pauses().size(), 3);
    QVERIFY(std::abs(m_waveform.durationMs() - 9000) <= 10);
}

void TestWaveformStrip::init()
{
    // 10 ms to a pixel, from the file's start.
    m_strip = std::make_unique<WaveformStrip>();
    m_strip->resize(1000, 140);
    m_strip->setSpanMs(10000);
    m_strip->setWaveform(m_waveform);
    m_strip->setPosition(0);
    QCOMPARE(m_strip->viewStart(), 0);
}

qint64 TestWaveformStrip::edgeNear(qint64 nominal) const
{
    for (const QuietSpan &p : m_waveform.pauses()) {
        for (const qint64 edge : {p.start, p.end}) {
            if (std::abs(edge - nominal) <= 30)
                return edge;
        }
    }
    qWarning() << "no pause edge near" << nominal << "in" << m_waveform.pauses().size() << "pauses";
    return -1;
}

QPoint TestWaveformStrip::detailPoint(qint64 ms) const
{
    return {m_strip->xOf(ms), m_strip->detailRect().center().y()};
}

void TestWaveformStrip::dragSetsThePassage_data()
{
    // A passage before the drag (none when in is -1), the drag, and the
    // passage after it: an edge of a pause where "snapIn"/"snapOut" says
    // so, else the place under the mouse.
    QTest::addColumn<qint64>("in");
    QTest::addColumn<qint64>("out");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<qint64>("expectIn");
    QTest::addColumn<qint64>("expectOut");
    QTest::addColumn<bool>("snapIn");
    QTest::addColumn<bool>("snapOut");

    QTest::newRow("a drag across a sentence starts and ends in its pauses")
        << qint64(-1) << qint64(-1) << qint64(1060) << qint64(2950) << false
        << qint64(1000) << qint64(3000) << true << true;
    QTest::newRow("a drag leftwards gives the same passage")
        << qint64(-1) << qint64(-1) << qint64(2950) << qint64(1060) << false
        << qint64(1000) << qint64(3000) << true << true;
    QTest::newRow("Shift keeps a dragged passage where the mouse was")
        << qint64(-1) << qint64(-1) << qint64(1060) << qint64(2950) << true
        << qint64(1060) << qint64(2950) << false << false;
    QTest::newRow("the end handle lands on the pause after the speech")
        << qint64(1500) << qint64(2500) << qint64(2500) << qint64(2940) << false
        << qint64(1500) << qint64(3000) << false << true;
    QTest::newRow("Shift moves the end handle freely")
        << qint64(1500) << qint64(2500) << qint64(2500) << qint64(2940) << true
        << qint64(1500) << qint64(2940) << false << false;
    QTest::newRow("far from a pause the handle stays under the mouse")
        << qint64(1500) << qint64(2500) << qint64(2500) << qint64(5000) << false
        << qint64(1500) << qint64(5000) << false << false;
    QTest::newRow("the start handle lands on the pause before the speech")
        << qint64(1500) << qint64(2500) << qint64(1500) << qint64(1080) << false
        << qint64(1000) << qint64(2500) << true << false;
    QTest::newRow("a start handle dragged past the end swaps the marks")
        << qint64(1500) << qint64(2500) << qint64(1500) << qint64(3930) << false
        << qint64(2500) << qint64(4000) << false << true;
}

void TestWaveformStrip::dragSetsThePassage()
{
    QFETCH(qint64, in);
    QFETCH(qint64, out);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(bool, shift);
    QFETCH(qint64, expectIn);
    QFETCH(qint64, expectOut);
    QFETCH(bool, snapIn);
    QFETCH(bool, snapOut);
    if (in >= 0)
        m_strip->setPassage(in, out);
    // A mark the drag did not take stays exactly where it was.
    const auto underMouse = [&](qint64 ms) {
        return in >= 0 && (ms == in || ms == out) ? ms : m_strip->msAt(m_strip->xOf(ms));
    };
    const qint64 wantIn = snapIn ? edgeNear(expectIn) : underMouse(expectIn);
    const qint64 wantOut = snapOut ? edgeNear(expectOut) : underMouse(expectOut);
    QVERIFY(wantIn >= 0 && wantOut >= 0);

    QSignalSpy chosen(m_strip.get(), &WaveformStrip::passageChosen);
    QSignalSpy seeks(m_strip.get(), &WaveformStrip::seekRequested);
    const Qt::KeyboardModifiers modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
    QTest::mousePress(m_strip.get(), Qt::LeftButton, modifiers, detailPoint(from));
    QTest::mouseMove(m_strip.get(), detailPoint((from + to) / 2));
    QTest::mouseMove(m_strip.get(), detailPoint(to));
    QTest::mouseRelease(m_strip.get(), Qt::LeftButton, modifiers, detailPoint(to));

    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen[0][0].value<qint64>(), wantIn);
    QCOMPARE(chosen[0][1].value<qint64>(), wantOut);
    // Choosing a passage is not a click: playback stays where it is.
    QCOMPARE(seeks.size(), 0);
}

void TestWaveformStrip::gestures_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<qint64>("at");
    QTest::addColumn<qint64>("seek");  // -1: none
    QTest::addColumn<int>("loop");     // sentence looped, -1: none
    QTest::addColumn<int>("span");     // of the zoomed view afterwards

    QTest::newRow("a click plays from the place clicked")
        << "click" << qint64(4500) << qint64(4505) << -1 << 10000;
    QTest::newRow("a click on the band plays from that part of the file")
        << "band" << qint64(6750) << qint64(6750) << -1 << 10000;
    QTest::newRow("a double click loops the sentence under it")
        << "double" << qint64(4500) << qint64(4505) << 1 << 10000;
    QTest::newRow("a double click in a pause loops nothing")
        << "double" << qint64(3500) << qint64(3505) << -1 << 10000;
    QTest::newRow("Ctrl with the wheel forward zooms in")
        << "ctrl-wheel-up" << qint64(4500) << qint64(-1) << -1 << 6667;
    QTest::newRow("Ctrl with the wheel back zooms out")
        << "ctrl-wheel-down" << qint64(4500) << qint64(-1) << -1 << 15000;
    QTest::newRow("the plain wheel is left to the player's volume")
        << "wheel" << qint64(4500) << qint64(-1) << -1 << 10000;
}

void TestWaveformStrip::gestures()
{
    QFETCH(QString, gesture);
    QFETCH(qint64, at);
    QFETCH(qint64, seek);
    QFETCH(int, loop);
    QFETCH(int, span);
    m_strip->setCues({{1000, 3000, {}}, {4000, 6000, {}}, {7000, 9000, {}}});
    QSignalSpy seeks(m_strip.get(), &WaveformStrip::seekRequested);
    QSignalSpy loops(m_strip.get(), &WaveformStrip::sentenceLoopRequested);
    const QPoint point = detailPoint(at);
    bool wheelTaken = false;
    if (gesture == QLatin1String("click")) {
        QTest::mouseClick(m_strip.get(), Qt::LeftButton, {}, point);
    } else if (gesture == QLatin1String("band")) {
        const int x = int(at * m_strip->width() / m_strip->durationMs());
        QTest::mouseClick(m_strip.get(), Qt::LeftButton, {}, QPoint(x, m_strip->overviewRect().center().y()));
    } else if (gesture == QLatin1String("double")) {
        QTest::mouseClick(m_strip.get(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(m_strip.get(), Qt::LeftButton, {}, point);
    } else {
        const int delta = gesture.endsWith(QLatin1String("down")) ? -120 : 120;
        const Qt::KeyboardModifiers modifiers =
            gesture.startsWith(QLatin1String("ctrl")) ? Qt::ControlModifier : Qt::NoModifier;
        QWheelEvent wheel(point, m_strip->mapToGlobal(point), {}, {0, delta}, Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_strip.get(), &wheel);
        wheelTaken = wheel.isAccepted();
        QCOMPARE(wheelTaken, modifiers == Qt::ControlModifier);
    }
    if (seek < 0) {
        QCOMPARE(seeks.size(), 0);
    } else {
        QVERIFY(seeks.size() >= 1);
        QVERIFY2(std::abs(seeks[0][0].value<qint64>() - seek) <= 10,
                 qPrintable(QString::number(seeks[0][0].value<qint64>())));
    }
    QCOMPARE(loops.size(), loop < 0 ? 0 : 1);
    if (loop >= 0)
        QCOMPARE(loops[0][0].toInt(), loop);
    QCOMPARE(m_strip->spanMs(), span);
}

// The tone is drawn tall where it sounds and nothing stands out of the
// middle line in the pauses; the part inside the passage in its colour.
void TestWaveformStrip::soundIsDrawnWhereItIsHeard()
{
    m_strip->setPassage(4000, 6000);
    const QImage image = m_strip->grab().toImage();
    const QRect detail = m_strip->detailRect();
    // Rows of the column that are lit: neither background nor a shade.
    const auto inked = [&](qint64 ms, QRgb *colour) {
        const int x = m_strip->xOf(ms) + 2;
        int count = 0;
        for (int y = detail.top() + 20; y < detail.bottom() - 16; ++y) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) + qGreen(p) + qBlue(p) > 300) {
                ++count;
                *colour = p;
            }
        }
        return count;
    };
    QRgb tone = 0, quiet = 0, marked = 0;
    const int half = (detail.height() - 36) / 2;
    QVERIFY2(inked(2000, &tone) > half, "the tone at 2 s is not drawn tall");
    QVERIFY2(inked(3500, &quiet) <= 2, "the pause at 3.5 s is drawn as sound");
    QVERIFY2(inked(5000, &marked) > half, "the tone at 5 s is not drawn tall");
    // Blue outside the passage, the flags' yellow inside it.
    QVERIFY(qBlue(tone) > qRed(tone));
    QVERIFY(qRed(marked) > qBlue(marked));
}

QTEST_MAIN(TestWaveformStrip)
#include "tst_waveformstrip.moc"
