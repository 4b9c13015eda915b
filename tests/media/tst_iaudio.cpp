#include "media/iaudio.h"
#include "media/processend.h"
#include "tests/support/audiotestmain.h"
#include "tests/support/soundprobe.h"

#include <QElapsedTimer>
#include <QMediaDevices>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

using namespace soundprobe;

// The sound output: volume arithmetic on the samples, format set-up and
// writes cut to what the output takes, and what is heard of a known signal
// under load. Plays into a PulseAudio null sink of the test's own.
class tst_IAudio : public QObject
{
    Q_OBJECT
private slots:
    void volume16_data();
    void volume16();
    void volume8_data();
    void volume8();
    void setupKeepsOutputOfSameFormat();
    void writeIsCutToBytesFree();
    void writeWithoutOutputTakesNothing();
    void soundGoesOutWholeUnderLoad_data();
    void soundGoesOutWholeUnderLoad();
};

void tst_IAudio::volume16_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("right");
    QTest::addColumn<QList<int>>("samples");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("stereo half") << 2 << 0.5f << 0.5f << QList<int>{1000, -1000, 3, -3}
                                 << QList<int>{500, -500, 1, -1};
    QTest::newRow("stereo left only") << 2 << 1.0f << 0.0f << QList<int>{32767, -32768}
                                      << QList<int>{32767, 0};
    QTest::newRow("stereo odd byte left over") << 2 << 0.5f << 0.25f << QList<int>{100, 100, 7}
                                               << QList<int>{50, 25, 7};
    QTest::newRow("mono uses the left volume") << 1 << 0.25f << 1.0f << QList<int>{400, -400, 9}
                                               << QList<int>{100, -100, 2};
    QTest::newRow("six channels use the left volume") << 6 << 0.5f << 0.0f
                                                      << QList<int>{10, 10, 10, 10, 10, 10}
                                                      << QList<int>{5, 5, 5, 5, 5, 5};
}

void tst_IAudio::volume16()
{
    QFETCH(int, channels);
    QFETCH(float, left);
    QFETCH(float, right);
    QFETCH(QList<int>, samples);
    QFETCH(QList<int>, expected);
    QByteArray bytes(samples.size() * 2, 0);
    for (qsizetype i = 0; i < samples.size(); ++i) {
        const int16_t sample = int16_t(samples.at(i));
        std::memcpy(bytes.data() + i * 2, &sample, 2);
    }
    IAudio::applyVolume(bytes.data(), int(bytes.size()), 16, channels, left, right);
    for (qsizetype i = 0; i < samples.size(); ++i) {
        int16_t sample;
        std::memcpy(&sample, bytes.constData() + i * 2, 2);
        QCOMPARE(int(sample), expected.at(i));
    }
}

void tst_IAudio::volume8_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<QList<int>>("samples");
    QTest::addColumn<QList<int>>("expected");
    // left 0.5, right 0.25; bytes count as 0 to 255
    QTest::newRow("stereo") << 2 << QList<int>{200, 200, 255, 3} << QList<int>{100, 50, 127, 0};
    QTest::newRow("mono") << 1 << QList<int>{200, 255, 1} << QList<int>{100, 127, 0};
}

void tst_IAudio::volume8()
{
    QFETCH(int, channels);
    QFETCH(QList<int>, samples);
    QFETCH(QList<int>, expected);
    QByteArray bytes;
    for (int sample : samples)
        bytes.append(char(uint8_t(sample)));
    IAudio::applyVolume(bytes.data(), int(bytes.size()), 8, channels, 0.5f, 0.25f);
    for (qsizetype i = 0; i < samples.size(); ++i)
        QCOMPARE(int(uint8_t(bytes.at(i))), expected.at(i));
}

void tst_IAudio::setupKeepsOutputOfSameFormat()
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        QSKIP("no audio server");
    IAudio audio;
    QVERIFY(!audio.hasOutput());
    QVERIFY(audio.setup(device, 44100, 16, 2));
    const int starts = audio.streamStarts();
    QVERIFY(starts >= 1);
    QVERIFY(audio.setup(device, 44100, 16, 2));
    QCOMPARE(audio.streamStarts(), starts);
    QVERIFY(audio.setup(device, 22050, 16, 1));
    QCOMPARE(audio.streamStarts(), starts + 1);
    QCOMPARE(audio.format().sampleRate(), 22050);
    QCOMPARE(audio.format().channelCount(), 1);
    QCOMPARE(audio.format().sampleFormat(), QAudioFormat::Int16);
    audio.close();
    QVERIFY(!audio.hasOutput());
}

void tst_IAudio::writeIsCutToBytesFree()
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        QSKIP("no audio server");
    IAudio audio;
    QVERIFY(audio.setup(device, 48000, 16, 2));
    QByteArray samples(4 * 1024 * 1024, char(1)); // far more than any output buffer
    const int free = audio.bytesFree();
    QVERIFY(free > 0);
    const int taken = audio.write(samples.data(), int(samples.size()));
    QVERIFY2(taken >= free && taken < samples.size(),
             qPrintable(QString("%1 taken, %2 free").arg(taken).arg(free)));
    QCOMPARE(taken % 4, 0);
    // What was taken was scaled by the default volume of one half.
    int16_t first;
    std::memcpy(&first, samples.constData(), 2);
    QCOMPARE(int(first), int(int16_t(0x0101) / 2));
}

void tst_IAudio::writeWithoutOutputTakesNothing()
{
    IAudio audio;
    QByteArray samples(1024, 0);
    QCOMPARE(audio.write(samples.data(), int(samples.size())), 0);
    QVERIFY(!audio.acceptsData());
    QVERIFY(!audio.setup(QAudioDevice(), 44100, 16, 2));
}

namespace {

constexpr int signalRate = 48000;

// The timed tracks' signal, made here: second n holds a tone of 300 + 25 n
// Hz at 0.4 of full scale, and each whole second starts with a 2 ms click.
// Stereo 16-bit, from second from to second to.
QByteArray timedSignal(double from, double to)
{
    const qsizetype frames = qsizetype((to - from) * signalRate);
    QByteArray bytes(frames * 4, Qt::Uninitialized);
    for (qsizetype i = 0; i < frames; ++i) {
        const double t = from + double(i) / signalRate;
        const double into = t - std::floor(t);
        const double value = into < 0.002
            ? 0.95
            : 0.4 * std::sin(2.0 * M_PI * (300.0 + 25.0 * std::floor(t)) * t);
        const auto sample = int16_t(std::lround(value * 32767.0));
        std::memcpy(bytes.data() + i * 4, &sample, 2);
        std::memcpy(bytes.data() + i * 4 + 2, &sample, 2);
    }
    return bytes;
}

} // namespace

void tst_IAudio::soundGoesOutWholeUnderLoad_data()
{
    QTest::addColumn<int>("loaders"); // threads that keep the cores busy
    QTest::newRow("painting blocks the GUI thread") << 0;
    QTest::newRow("painting blocks it, the other core is busy") << 1;
}

// Painting a large video in software blocks the GUI thread for 50 to 80 ms
// at a time, over and over. An output that is fed or timed through that
// thread's event loop then runs dry (gaps in the sound), a writer that meets
// a sink other threads are changing writes twice or loses bytes (a second
// that lasts longer or shorter than a second), and a heard time taken from
// a stale reading of the sink lags by as much as the thread was kept. The
// recording must hold every second of the signal once, back to back; since
// the sound so heard runs with the wall clock, so must the heard time, to
// within the steps of the sink's own reckoning (the server's latency, which
// Qt averages over its last reports, moves it by up to about 10 ms).
void tst_IAudio::soundGoesOutWholeUnderLoad()
{
    QFETCH(int, loaders);
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    QVERIFY(!device.isNull());
    // Half a second in, so that the first click is not the stream's first
    // sample, which the server may fade in.
    constexpr double from = 0.5;
    constexpr int seconds = 6;
    QByteArray signal = timedSignal(from, from + seconds);
    IAudio audio;
    audio.setVolume(1.0, 1.0);
    Recorder recorder;
    QVERIFY(recorder.start());
    QVERIFY(audio.setup(device, signalRate, 16, 2));

    std::atomic<bool> loaded{true};
    std::atomic<bool> abandoned{false}; // the test failed: the writer gives up
    std::vector<std::unique_ptr<QThread>> threads;
    const auto endThreads = qScopeGuard([&] {
        loaded = false;
        abandoned = true;
        for (const auto &thread : threads)
            thread->wait();
    });
    for (int i = 0; i < loaders; ++i) {
        threads.emplace_back(QThread::create([&loaded] {
            volatile double x = 1.0;
            while (loaded)
                x = std::sqrt(x + 1.0);
        }));
    }
    // As the decoding thread writes: pieces of 10 ms, waiting for room.
    QThread *writer = threads.emplace_back(QThread::create([&] {
        const double secondsPerByte = 1.0 / (signalRate * 4.0);
        qsizetype at = 0;
        while (at < signal.size() && audio.acceptsData() && !abandoned) {
            const int piece = int(qMin<qsizetype>(signalRate / 100 * 4, signal.size() - at));
            const int taken = audio.write(signal.data() + at, piece, from + double(at) * secondsPerByte,
                                          secondsPerByte, 1);
            at += taken;
            if (taken < piece)
                audio.waitForRoom(10);
        }
    })).get();
    for (const auto &thread : threads)
        thread->start();

    // Heard media seconds against wall seconds, read between two paintings.
    QList<QPointF> heard;
    QElapsedTimer wall;
    wall.start();
    QRandomGenerator random(7);
    double last = 0.0;
    while (last < from + seconds - 0.3 && wall.elapsed() < 15000) {
        const qint64 paintedUntil = wall.nsecsElapsed() + (50 + random.bounded(31)) * 1000000LL;
        while (wall.nsecsElapsed() < paintedUntil) {
        }
        const qint64 before = wall.nsecsElapsed();
        const bool known = audio.heardSeconds(last);
        const qint64 after = wall.nsecsElapsed();
        if (known && after - before < 500000) // else this thread was kept waiting meanwhile
            heard.append({double(before + after) / 2e9, last});
        QCoreApplication::processEvents();
    }
    loaded = false;
    QTRY_VERIFY(writer->isFinished());
    QTRY_VERIFY(audio.playedUSecs() >= qint64(seconds) * 1000000);
    const QVector<qint16> samples = recorder.stop();
    audio.close();

    const QList<Click> found = clicks(samples);
    QStringList seen;
    for (const Click &click : found)
        seen.append(QStringLiteral("%1 at %2 s").arg(click.second).arg(click.at, 0, 'f', 4));
    QVERIFY2(found.size() == seconds, qPrintable(seen.join(u", ")));
    for (int i = 0; i < seconds; ++i)
        QVERIFY2(found.at(i).second == i + 1, qPrintable(seen.join(u", ")));
    const double end = found.last().at + (from + seconds - found.last().second); // of the signal
    for (const Span &gap : silences(samples, 0.0005))
        QVERIFY2(gap.to <= found.first().at || gap.from >= end - 0.001,
                 qPrintable(QStringLiteral("silent from %1 s to %2 s").arg(gap.from).arg(gap.to)));

    for (int i = 1; i < seconds; ++i) {
        // Whole frames lost or repeated, or a pause, move the next click.
        const double length = found.at(i).at - found.at(i - 1).at;
        QVERIFY2(std::abs(length - 1.0) <= 0.0005,
                 qPrintable(QStringLiteral("second %1 lasts %2 s").arg(i).arg(length, 0, 'f', 5)));
    }
    // The first half second settles the sink's reckoning of its start.
    QList<double> ahead;
    for (const QPointF &reading : heard)
        if (reading.y() >= from + 0.5 && reading.y() <= from + seconds - 0.3)
            ahead.append(reading.y() - reading.x());
    QVERIFY2(ahead.size() >= 40, qPrintable(QString::number(ahead.size())));
    std::sort(ahead.begin(), ahead.end());
    const double median = ahead.at(ahead.size() / 2);
    const double spread = qMax(median - ahead.first(), ahead.last() - median);
    qInfo("heard time against the wall clock: %lld readings, within %.2f ms of their median",
          qint64(ahead.size()), spread * 1000.0);
    QVERIFY2(spread <= 0.015, qPrintable(QStringLiteral("%1 ms").arg(spread * 1000.0)));
}

VK_PRIVATE_SOUND_TEST_MAIN(tst_IAudio)
#include "tst_iaudio.moc"
