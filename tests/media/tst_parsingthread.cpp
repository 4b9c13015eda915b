#include "tests/support/audiotestmain.h"
#include "media/avpointers.h"
#include "media/media.h"
#include "media/parsingthread.h"
#include "tests/media/mediaprobe.h"
#include "tests/support/mediamaker.h"

#include <QHash>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

extern "C" {
#include <libavformat/avformat.h>
}

#include <sys/stat.h>

#include <atomic>
#include <memory>

using namespace mediamaker;

// Reading and playing a clip can take longer than QtTest's five seconds on a
// busy machine; a passing check returns as soon as it holds.
#define QTRY_VERIFY_SLOW(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, 20000)
#define QTRY_COMPARE_SLOW(expr, expected) QTRY_COMPARE_WITH_TIMEOUT(expr, expected, 20000)

namespace {

using Packet = PacketPtr;

// Takes every packet queued now. Stops after an end packet when asked to.
QList<int64_t> drain(PacketQueue &queue, int *flushes = nullptr, int *ends = nullptr,
                     QSet<int> *streams = nullptr)
{
    QList<int64_t> stamps;
    Packet packet(av_packet_alloc());
    // The serial of the last packet taken from each queue: a new one marks
    // a seek, as it does for a decoder.
    static QHash<const PacketQueue *, int> seen;
    int serial = 0;
    while (queue.get(packet.get(), serial, false)) {
        const auto last = seen.constFind(&queue);
        const bool jumped = last != seen.constEnd() && *last != serial;
        seen[&queue] = serial;
        if (jumped) {
            if (flushes)
                ++*flushes;
            stamps.append(std::numeric_limits<int64_t>::min());
        }
        {
            const bool end = PacketQueue::isEndPacket(packet.get());
            if (ends && end)
                ++*ends;
            if (streams)
                streams->insert(packet->stream_index);
            stamps.append(end ? std::numeric_limits<int64_t>::max() : packet->dts);
        }
        av_packet_unref(packet.get());
    }
    return stamps;
}

} // namespace

// The demultiplexing thread, run alone so that nothing drains its queues.
class tst_ParsingThread : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void queueByteLimits();
    void seekQueuesOneFlushAheadOfNewPackets();
    void seekPastEndMarkGoesToStartMark();
    void seekFlags_data();
    void seekFlags();
    void endPacketsRepeatAtEndOfInput_data();
    void endPacketsRepeatAtEndOfInput();
    void otherStreamsAreDropped();
    void stopWakesBlockedTaker();
    void failedSeekLeavesQueuesAlone();
    void logLines();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void tst_ParsingThread::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Every frame a key frame, so a seek lands exactly on its target.
    QVERIFY(makeVideo(path("intra.mp4"), 4, 320, 240, 25,
                      {"-c:v", "libx264", "-preset", "ultrafast", "-g", "1", "-c:a", "aac"}));
    // Uncompressed: a few seconds pass both byte limits.
    QVERIFY(makeVideo(path("raw.avi"), 4, 320, 240, 25,
                      {"-c:v", "rawvideo", "-pix_fmt", "rgb24", "-c:a", "pcm_s16le"}));
    QVERIFY(makeAudio(path("tone.mp3"), 2));
    // A video, two sound tracks and subtitles: only the first two are read.
    QVERIFY(makeVideo(path("plain.mkv"), 2, 160, 120, 25,
                      {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}));
    QVERIFY(ffmpeg({"-i", path("plain.mkv"), "-f", "lavfi", "-i",
                    "sine=frequency=880:duration=2", "-map", "0:v", "-map", "0:a", "-map", "1:a",
                    "-c:v", "copy", "-c:a", "aac", path("tracks.mkv")}));
}

void tst_ParsingThread::queueByteLimits()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("raw.avi")));
    probe.startParsingOnly();
    // Reading stops once both queues hold their share. The pictures' queue
    // over its share alone does not stop it: the sound read between its
    // packets would wait for the pictures, and be heard late.
    const auto bothHold = [&] {
        return probe.videoQueue().size() > ParsingThread::videoQueueLimit
            && probe.audioQueue().size() > ParsingThread::audioQueueLimit;
    };
    QTRY_VERIFY_SLOW(bothHold());
    QTest::qWait(200);
    const int videoBytes = probe.videoQueue().size();
    const int audioBytes = probe.audioQueue().size();
    const int picture = 320 * 240 * 3;
    QVERIFY(audioBytes <= ParsingThread::audioQueueLimit + 64 * 1024);
    QVERIFY(videoBytes < 2 * 25 * picture); // far from the whole file
    // Taking the sound lets reading go on, though the pictures' queue is
    // over its share.
    drain(probe.audioQueue());
    QTRY_VERIFY_SLOW(probe.audioQueue().size() > ParsingThread::audioQueueLimit);
    QVERIFY(probe.videoQueue().size() > videoBytes);
    drain(probe.videoQueue());
    probe.stopParsingOnly();
}

void tst_ParsingThread::seekQueuesOneFlushAheadOfNewPackets()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("intra.mp4")));
    probe.startParsingOnly();
    QTRY_VERIFY_SLOW(probe.videoQueue().count() > 20);
    // What the start read carries the serial the seek moves on from.
    drain(probe.videoQueue());
    drain(probe.audioQueue());
    const int64_t target = media.duration() / 2;
    media.seekTo(target);
    QTRY_VERIFY_SLOW(!probe.seekRequested());
    QTRY_VERIFY_SLOW(probe.videoQueue().count() > 5);
    int flushes = 0;
    QList<int64_t> stamps = drain(probe.videoQueue(), &flushes);
    QCOMPARE(flushes, 1);
    QCOMPARE(stamps.first(), std::numeric_limits<int64_t>::min());
    // Reading starts a little before the target, never after it.
    QVERIFY(stamps.at(1) <= target);
    QVERIFY(stamps.at(1) >= target - media.ticks(0.25));
    int audioFlushes = 0;
    stamps = drain(probe.audioQueue(), &audioFlushes);
    QCOMPARE(audioFlushes, 1);
    QCOMPARE(stamps.first(), std::numeric_limits<int64_t>::min());
    probe.stopParsingOnly();
}

void tst_ParsingThread::seekPastEndMarkGoesToStartMark()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    const int64_t second = 12800; // ticks of the H.264 stream in MP4
    QVERIFY(media.open(path("intra.mp4"), second, 2 * second));
    QCOMPARE(probe.timeBase(), 1.0 / second);
    probe.startParsingOnly();
    media.seekTo(3 * second);
    QTRY_VERIFY_SLOW(!probe.seekRequested());
    QTRY_VERIFY_SLOW(probe.videoQueue().count() > 3);
    const QList<int64_t> stamps = drain(probe.videoQueue());
    QVERIFY(stamps.at(1) <= second);
    QVERIFY(stamps.at(1) >= second - media.ticks(0.25));
    // What is decoded before the start mark is dropped, not what lies
    // before the target that was asked for.
    QCOMPARE(probe.seekTarget(), second);
    probe.stopParsingOnly();
}

void tst_ParsingThread::seekFlags_data()
{
    QTest::addColumn<int64_t>("target");
    QTest::addColumn<int64_t>("position");
    QTest::addColumn<bool>("forced");
    QTest::addColumn<bool>("dirty");
    QTest::addColumn<int>("flags");
    QTest::newRow("forwards") << int64_t(200) << int64_t(100) << false << false << 0;
    QTest::newRow("to the position") << int64_t(100) << int64_t(100) << false << false << 0;
    QTest::newRow("backwards") << int64_t(50) << int64_t(100) << false << false
                               << AVSEEK_FLAG_BACKWARD;
    QTest::newRow("forwards, backward forced") << int64_t(200) << int64_t(100) << true << false
                                               << AVSEEK_FLAG_BACKWARD;
    QTest::newRow("dirty forwards") << int64_t(200) << int64_t(100) << false << true
                                    << AVSEEK_FLAG_ANY;
    QTest::newRow("dirty backwards") << int64_t(50) << int64_t(100) << false << true
                                     << (AVSEEK_FLAG_ANY | AVSEEK_FLAG_BACKWARD);
}

void tst_ParsingThread::seekFlags()
{
    QFETCH(int64_t, target);
    QFETCH(int64_t, position);
    QFETCH(bool, forced);
    QFETCH(bool, dirty);
    QFETCH(int, flags);
    QCOMPARE(ParsingThread::seekFlags(target, position, forced, dirty), flags);
}

void tst_ParsingThread::endPacketsRepeatAtEndOfInput_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("video");
    QTest::newRow("video file") << path("intra.mp4") << true;
    QTest::newRow("audio-only file") << path("tone.mp3") << false;
}

void tst_ParsingThread::endPacketsRepeatAtEndOfInput()
{
    QFETCH(QString, file);
    QFETCH(bool, video);
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(file));
    probe.startParsingOnly();
    PacketQueue &reference = video ? probe.videoQueue() : probe.audioQueue();
    int ends = 0;
    QList<int64_t> stamps;
    QSet<int> streams;
    QTRY_VERIFY_SLOW((stamps += drain(reference, nullptr, &ends, &streams), ends >= 3));
    QCOMPARE(stamps.last(), std::numeric_limits<int64_t>::max());
    // They keep coming while nothing seeks.
    const int before = ends;
    QTRY_VERIFY_SLOW((drain(reference, nullptr, &ends), ends >= before + 3));

    // Each carries the end mark and the reference stream's index.
    Packet packet(av_packet_alloc());
    int serial = 0;
    QTRY_VERIFY_SLOW(reference.get(packet.get(), serial, false));
    QVERIFY(PacketQueue::isEndPacket(packet.get()));
    QCOMPARE(packet->size, 0);
    QCOMPARE(packet->dts, media.markOut());
    QCOMPARE(packet->stream_index, probe.referenceStreamIndex());
    av_packet_unref(packet.get());

    // A seek back into the file clears the end and reading goes on.
    media.seekTo(media.startTime());
    QTRY_VERIFY_SLOW(!probe.seekRequested());
    int flushes = 0;
    stamps.clear();
    QTRY_VERIFY_SLOW((stamps += drain(reference, &flushes), stamps.size() > 2));
    QCOMPARE(flushes, 1);
    QCOMPARE(stamps.first(), std::numeric_limits<int64_t>::min());
    QVERIFY(stamps.at(1) != std::numeric_limits<int64_t>::max()); // a real packet
    probe.stopParsingOnly();
}

void tst_ParsingThread::otherStreamsAreDropped()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("tracks.mkv")));
    QCOMPARE(probe.referenceStreamIndex(), 0);
    QCOMPARE(probe.audioStreamIndex(), 1);
    probe.startParsingOnly();
    int videoEnds = 0;
    QSet<int> videoStreams;
    QSet<int> audioStreams;
    QTRY_VERIFY_SLOW((drain(probe.videoQueue(), nullptr, &videoEnds, &videoStreams), videoEnds > 0));
    drain(probe.audioQueue(), nullptr, nullptr, &audioStreams);
    probe.stopParsingOnly();
    QCOMPARE(videoStreams, QSet<int>{0});
    QCOMPARE(audioStreams, QSet<int>{1});
}

void tst_ParsingThread::stopWakesBlockedTaker()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("tone.mp3"))); // nothing reaches the video queue
    probe.startParsingOnly();
    std::atomic<bool> took{true};
    std::unique_ptr<QThread> taker(QThread::create([&] {
        Packet packet(av_packet_alloc());
        int serial = 0;
        took = probe.videoQueue().get(packet.get(), serial, true);
    }));
    taker->start();
    QTRY_VERIFY_SLOW(taker->isRunning());
    probe.stopVideoPathOnly();
    QVERIFY(taker->wait(5000));
    QVERIFY(!took); // woken with nothing
}

// A pipe cannot seek back: the request fails, is cleared, and the queues
// keep what they hold.
void tst_ParsingThread::failedSeekLeavesQueuesAlone()
{
    const QString fifo = path("pipe.wav");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess writer;
    writer.start("ffmpeg", {"-y", "-nostdin", "-loglevel", "quiet", "-f", "lavfi", "-i",
                            "sine=duration=60", "-f", "wav", fifo});
    QVERIFY(writer.waitForStarted());
    {
        Media media(nullptr, false, 0x10, 2, 0, 0);
        MediaProbe probe(&media);
        QVERIFY(media.open(fifo));
        probe.startParsingOnly();
        // Read on, beyond what the reader keeps buffered.
        QTRY_VERIFY_SLOW(probe.audioQueue().count() > 20);
        drain(probe.audioQueue());
        QTRY_VERIFY_SLOW(probe.audioQueue().count() > 20);
        media.seekTo(media.startTime());
        QTRY_VERIFY_SLOW(!probe.seekRequested());
        QVERIFY2(probe.log().contains("ParsingThread:: Seeking error.\n"), qPrintable(probe.log()));
        int flushes = 0;
        drain(probe.audioQueue(), &flushes);
        QCOMPARE(flushes, 0);
        // The request was cleared: the next one is taken and carried out
        // (the parsing thread takes it at once, so it is not looked at
        // while pending).
        media.seekTo(media.startTime());
        QTRY_VERIFY_SLOW(!probe.seekRequested());
        probe.stopParsingOnly();
    }
    writer.kill();
    writer.waitForFinished();
}

void tst_ParsingThread::logLines()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("tone.mp3")));
    probe.startParsingOnly();
    QTRY_VERIFY_SLOW(probe.log().contains("ParsingThread:: run.\n"));
    probe.stopParsingOnly();
    QVERIFY(probe.log().endsWith("ParsingThread:: ended.\n"));
}

VK_AUDIO_TEST_GUILESS_MAIN(tst_ParsingThread)
#include "tst_parsingthread.moc"
