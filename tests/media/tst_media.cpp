#include "tests/support/audiotestmain.h"
#include "media/iaudio.h"
#include "media/media.h"
#include "tests/media/mediaprobe.h"
#include "tests/support/mediamaker.h"

#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

extern "C" {
#include <libavformat/avformat.h>
}

#include <cerrno>
#include <limits>

using namespace mediamaker;

// Opening files, marks, seeks and the arithmetic of the timing side, without
// playing.
class tst_Media : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void openFailures_data();
    void openFailures();
    void openWithoutDecodableStream();
    void openFormats_data();
    void openFormats();
    void audioOnlyReference();
    void percentEscapes();
    void marksFromOpen_data();
    void marksFromOpen();
    void clampsOfStreamNotStartingAtZero();
    void markSetters();
    void seekRequests();
    void seekForwardBackward();
    void timeString_data();
    void timeString();
    void playSpeed_data();
    void playSpeed();
    void volumeSnapping_data();
    void volumeSnapping();
    void pictures();
    void powerOfTwo_data();
    void powerOfTwo();
    void displayAspectRatio();
    void synchronizeAdvancesVideoClock();
    void framesBeforeSeekTargetAreDropped_data();
    void framesBeforeSeekTargetAreDropped();
    void refreshTimer_data();
    void refreshTimer();
    void refreshTimerPolls();
    void pauseAndResume();
    void startAndStopDoNothingWhenClosed();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

namespace {

Media *makeMedia(QObject *parent, bool powerOfTwo = false)
{
    return new Media(parent, powerOfTwo, powerOfTwo ? 1 : 0x10, 2, 0, 0);
}

// The message that the engine gives for a failure of avformat_open_input.
QString openMessage(int code)
{
    if (code == AVERROR(EINVAL))
        return QStringLiteral("Error opening %1:\nIncorrect numbered image sequence syntax.");
    if (code == AVERROR(EILSEQ))
        return QStringLiteral("Error opening %1:\nUnknown format.");
    if (code == AVERROR_INVALIDDATA)
        return QStringLiteral("Error opening %1:\nError while parsing header.");
    if (code == AVERROR(ENOMEM))
        return QStringLiteral("Error opening %1:\nMemory allocation error.");
    if (code == AVERROR(EIO))
        return QStringLiteral("Error opening %1:\nI/O error. Usually that means that input file "
                              "is truncated and/or corrupted.");
    if (code == AVERROR(ENOENT))
        return QStringLiteral("Error opening %1:\nNo such file.");
    return QStringLiteral("Error opening %1:\nCouldn't open the file.");
}

int openCode(const QString &file)
{
    AVFormatContext *context = nullptr;
    const int code = avformat_open_input(&context, QFile::encodeName(file).constData(), nullptr,
                                         nullptr);
    avformat_close_input(&context);
    return code;
}

} // namespace

void tst_Media::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QStringList h264 = {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"};
    QVERIFY(makeVideo(path("clip.mp4"), 2, 320, 240, 25, h264));
    QVERIFY(makeVideo(path("clip.mkv"), 2, 320, 240, 25, h264));
    QVERIFY(makeVideo(path("clip.avi"), 2, 320, 240, 25, {"-c:v", "mpeg4", "-c:a", "libmp3lame"}));
    QVERIFY(makeVideo(path("clip.ts"), 2, 320, 240, 25, h264));
    QVERIFY(makeVideo(path("vga.mp4"), 0.5, 640, 480, 25, h264 + QStringList{"-an"}));
    QVERIFY(makeVideo(path("wide.mp4"), 0.5, 320, 240, 25,
                      h264 + QStringList{"-vf", "setsar=2/1"}));
    QVERIFY(makeAudio(path("tone.mp3"), 2));
    QVERIFY(makeAudio(path("tone.wav"), 2));
    QVERIFY(QFile::copy(path("clip.mp4"), path("clipA.mp4")));

    QFile srt(path("words.srt"));
    QVERIFY(srt.open(QIODevice::WriteOnly));
    srt.write("1\n00:00:00,000 --> 00:00:01,000\nHello there\n\n");
    srt.close();
    QVERIFY(ffmpeg({"-i", path("words.srt"), path("subtitles.mkv")}));

    QFile whole(path("clip.mp4"));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    QFile cut(path("truncated.mp4"));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() / 2)); // the index sits at the end and is lost
    cut.close();

    // Text and pictures, which FFmpeg reads too (as a terminal animation, as
    // an image sequence), but which are neither sound nor video.
    QFile text(path("notes.txt"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("Lesson 3: listen twice, then write what you hear.\n");
    text.close();
    QFile longer(path("lesson.txt")); // long enough to be read as a terminal animation
    QVERIFY(longer.open(QIODevice::WriteOnly));
    for (int i = 0; i < 200; ++i)
        longer.write("The quick brown fox jumps over the lazy dog, line after line.\n");
    longer.close();
    QVERIFY(ffmpeg({"-f", "lavfi", "-i", "color=c=red:size=32x32", "-frames:v", "1", path("still.png")}));
    QVERIFY(ffmpeg({"-f", "lavfi", "-i", "color=c=red:size=32x32", "-frames:v", "1", path("still.jpg")}));

    QFile noise(path("noise.mp4"));
    QVERIFY(noise.open(QIODevice::WriteOnly));
    QByteArray random(64 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(12345);
    for (char &c : random)
        c = char(generator.bounded(256));
    noise.write(random);
}

void tst_Media::openFailures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");
    const QString missing = path("missing.mp4");
    QTest::newRow("missing file") << missing
                                  << QStringLiteral("Error opening %1:\nNo such file.").arg(missing);
    QTest::newRow("random bytes") << path("noise.mp4")
                                  << openMessage(openCode(path("noise.mp4"))).arg(path("noise.mp4"));
    for (const char *name : {"notes.txt", "lesson.txt", "still.png", "still.jpg"})
        QTest::newRow(name) << path(name) << QStringLiteral("Error opening %1:\nUnknown format.").arg(path(name));
    QTest::newRow("truncated mp4")
        << path("truncated.mp4") << openMessage(openCode(path("truncated.mp4"))).arg(path("truncated.mp4"));
}

void tst_Media::openFailures()
{
    QFETCH(QString, file);
    QFETCH(QString, expected);
    Media *media = makeMedia(this);
    QSignalSpy errors(media, &Media::error);
    QSignalSpy running(media, &Media::running);
    QVERIFY(!media->open(file, 0, 0));
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), expected);
    QCOMPARE(running.count(), 0);
    // Nothing is open: playback operations do nothing.
    media->start();
    QVERIFY(media->isStopped());
    QCOMPARE(running.count(), 0);
    delete media;
}

void tst_Media::openWithoutDecodableStream()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    QSignalSpy errors(&media, &Media::error);
    QSignalSpy running(&media, &Media::running);
    QVERIFY(!media.open(path("subtitles.mkv")));
    QCOMPARE(errors.count(), 0);
    QCOMPARE(running.count(), 0);
    media.start();
    QVERIFY(media.isStopped());
}

void tst_Media::openFormats_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("video");
    QTest::addColumn<int>("sampleRate");
    QTest::newRow("H.264/AAC MP4") << path("clip.mp4") << true << 44100;
    QTest::newRow("Matroska") << path("clip.mkv") << true << 44100;
    QTest::newRow("MPEG-4/MP3 AVI") << path("clip.avi") << true << 44100;
    QTest::newRow("MP3") << path("tone.mp3") << false << 44100;
    QTest::newRow("WAV") << path("tone.wav") << false << 44100;
    QTest::newRow("video without sound") << path("vga.mp4") << true << 0;
}

void tst_Media::openFormats()
{
    QFETCH(QString, file);
    QFETCH(bool, video);
    QFETCH(int, sampleRate);
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QSignalSpy errors(&media, &Media::error);
    QSignalSpy running(&media, &Media::running);
    QVERIFY(media.open(file));
    QCOMPARE(errors.count(), 0);
    QCOMPARE(running.count(), 1);
    QCOMPARE(running.at(0).at(0).toBool(), false);
    QVERIFY(media.isStopped());
    QVERIFY(!media.isPaused());
    QCOMPARE(probe.hasVideo(), video);
    QCOMPARE(media.audioSampleRate(), sampleRate);
    QCOMPARE(media.audioChannels(), sampleRate ? 1 : 0);
    QCOMPARE(media.picture(0)->allocated, video);
    // About two seconds long, whatever the time base.
    const double seconds = double(media.duration()) * probe.timeBase();
    QVERIFY2(seconds > 0.4 && seconds < 2.2, qPrintable(QString::number(seconds)));
}

void tst_Media::audioOnlyReference()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("tone.wav")));
    QCOMPARE(probe.referenceStreamIndex(), probe.audioStreamIndex());
    QCOMPARE(probe.referenceStream(), probe.audioStream());
    QCOMPARE(probe.timeBase(), 1.0 / 44100);
    QCOMPARE(media.markOut(), int64_t(2 * 44100));
    QCOMPARE(media.displayAspectRatio(), 0.0f);
    probe.setAudioClock(1.5);
    QCOMPARE(media.position(), int64_t(1.5 * 44100));
}

void tst_Media::percentEscapes()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    QSignalSpy errors(&media, &Media::error);
    // "%41" reaches FFmpeg as "A": clip%41.mp4 opens clipA.mp4.
    QVERIFY(media.open(path("clip%41.mp4")));
    QCOMPARE(errors.count(), 0);
    Media missing(nullptr, false, 0x10, 2, 0, 0);
    QSignalSpy missingErrors(&missing, &Media::error);
    QVERIFY(!missing.open(path("clip%42.mp4")));
    QCOMPARE(missingErrors.at(0).at(0).toString(),
             QStringLiteral("Error opening %1:\nNo such file.").arg(path("clip%42.mp4")));
}

void tst_Media::marksFromOpen_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("starting at 0") << path("clip.mp4");
    QTest::newRow("MPEG-TS starting later") << path("clip.ts");
}

void tst_Media::marksFromOpen()
{
    QFETCH(QString, file);
    int64_t start = 0;
    int64_t length = 0;
    {
        Media media(nullptr, false, 0x10, 2, 0, 0);
        QVERIFY(media.open(file, 0, 0));
        start = media.startTime();
        length = media.duration();
        QCOMPARE(media.markIn(), start);
        QCOMPARE(media.markOut(), start + length);
    }
    const int64_t end = start + length;
    const int64_t big = std::numeric_limits<int64_t>::max() / 2;
    struct Case {
        int64_t in, out, expectedIn, expectedOut;
    };
    const Case cases[] = {
        {big, big, end, end},                          // both after the end
        {-5, 0, start, end},                           // before the start
        {start + length / 2, 0, start + length / 2, end},
        {start + length / 2, start + length / 4, start + length / 2, start + length / 2},
        {start + length / 4, start + length / 2, start + length / 4, start + length / 2},
    };
    for (const Case &c : cases) {
        Media media(nullptr, false, 0x10, 2, 0, 0);
        QVERIFY(media.open(file, c.in, c.out));
        QCOMPARE(media.markIn(), c.expectedIn);
        QCOMPARE(media.markOut(), c.expectedOut);
    }
}

// A stream that starts at s runs to s + duration(): its last stretch can be
// marked and sought to.
void tst_Media::clampsOfStreamNotStartingAtZero()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("clip.ts")));
    const int64_t start = media.startTime();
    QVERIFY(start > 90000); // MPEG-TS starts at 1.4 s
    const int64_t end = start + media.duration();
    QCOMPARE(probe.endTime(), end);
    media.setMarkOut(end - 10);
    QCOMPARE(media.markOut(), end - 10);
    media.resetMarkOut();
    QCOMPARE(media.markOut(), end);
    media.setMarkIn(end - 100);
    QCOMPARE(media.markIn(), end - 100);
    media.resetMarkIn();
    QCOMPARE(media.markIn(), start);
    probe.pretendRunning();
    media.seekTo(end - 1000);
    QCOMPARE(probe.seekTarget(), end - 1000);
    probe.pretendRunning();
    media.seekTo(std::numeric_limits<int64_t>::max());
    QCOMPARE(probe.seekTarget(), end);
    probe.pretendRunning();
    media.seekTo(0);
    QCOMPARE(probe.seekTarget(), start);
    probe.pretendStopped();
}

void tst_Media::markSetters()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    QVERIFY(media.open(path("clip.mp4")));
    QSignalSpy changes(&media, &Media::markingChanged);
    const int64_t length = media.duration();
    media.setMarkOut(length / 2);
    QCOMPARE(media.markOut(), length / 2);
    media.setMarkIn(length); // after the end mark: held on it
    QCOMPARE(media.markIn(), length / 2);
    media.setMarkIn(length / 4);
    media.setMarkOut(length / 8); // before the start mark: held on it
    QCOMPARE(media.markOut(), length / 4);
    media.setMarkIn(-100);
    QCOMPARE(media.markIn(), int64_t(0));
    media.setMarkOut(length * 2);
    QCOMPARE(media.markOut(), length);
    QCOMPARE(changes.count(), 6);
}

void tst_Media::seekRequests()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("clip.mp4")));
    const int64_t length = media.duration();
    media.seekTo(length / 2); // stopped: ignored
    QVERIFY(!probe.seekRequested());
    probe.pretendRunning();
    media.seekTo(length / 2);
    QVERIFY(probe.seekRequested());
    QCOMPARE(probe.seekTarget(), length / 2);
    media.seekTo(length / 4); // one is pending: ignored
    media.seekBy(10);
    media.seekRelative(0.5);
    QCOMPARE(probe.seekTarget(), length / 2);
    probe.pretendRunning();
    media.seekTo(-1);
    QCOMPARE(probe.seekTarget(), int64_t(0));
    probe.pretendRunning();
    media.seekRelative(1.0); // clock 0 + one second, in ticks
    QCOMPARE(probe.seekTarget(), int64_t(1.0 / probe.timeBase()));
    probe.pretendStopped();
}

void tst_Media::seekForwardBackward()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("tone.wav")));
    const int64_t length = media.duration();
    probe.pretendRunning();
    probe.setAudioClock(1.0); // at 44100 ticks
    media.seekForward();
    QCOMPARE(probe.seekTarget(), 44100 + int64_t(double(length) * 0.1));
    probe.pretendRunning();
    probe.setAudioClock(1.95);
    media.seekForward(); // held at the end
    QCOMPARE(probe.seekTarget(), length);
    probe.pretendRunning();
    probe.setAudioClock(1.0);
    media.seekBackward();
    QCOMPARE(probe.seekTarget(), 44100 - int64_t(double(length) * 0.1));
    probe.pretendRunning();
    media.seekBegin();
    QCOMPARE(probe.seekTarget(), int64_t(0));
    // Carried out, but the audio thread still decodes what was read for the
    // place left, its clock far past the target: the place is the target.
    probe.pretendRunning();
    probe.setAudioClock(1.95);
    media.seekTo(44100 / 2);
    probe.seekCarriedOut();
    QCOMPARE(media.position(), int64_t(44100 / 2));
    probe.pretendStopped();
}

void tst_Media::timeString_data()
{
    QTest::addColumn<int>("speedStep");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << 3 << 0.0 << "00:00:00";
    QTest::newRow("3725 s") << 3 << 3725.0 << "01:02:05";
    QTest::newRow("100 hours") << 3 << 360000.0 << "100:00:00";
    QTest::newRow("59.9 s is cut") << 3 << 59.9 << "00:00:59";
    QTest::newRow("ten minutes at half speed") << 2 << 600.0 << "00:20:00";
}

void tst_Media::timeString()
{
    QFETCH(int, speedStep);
    QFETCH(double, seconds);
    QFETCH(QString, expected);
    Media media(nullptr, false, 0x10, 2, 0, 0);
    QVERIFY(media.open(path("tone.wav"))); // 1/44100 s ticks
    media.setPlaySpeed(speedStep);
    QCOMPARE(media.timeString(int64_t(seconds * 44100)), expected);
}

void tst_Media::playSpeed_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<double>("speed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("0") << 0 << 0.25 << "0.25";
    QTest::newRow("1") << 1 << 0.333 << "0.333";
    QTest::newRow("2") << 2 << 0.5 << "0.5";
    QTest::newRow("3") << 3 << 1.0 << "1";
    QTest::newRow("4") << 4 << 2.0 << "2";
    QTest::newRow("5") << 5 << 3.0 << "3";
    QTest::newRow("7") << 7 << 1.0 << "1";
    QTest::newRow("-1") << -1 << 1.0 << "1";
}

void tst_Media::playSpeed()
{
    QFETCH(int, step);
    QFETCH(double, speed);
    QFETCH(QString, shown);
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("tone.wav")));
    media.setPlaySpeed(step);
    QCOMPARE(probe.speed(), speed);
    QVERIFY(probe.log().endsWith(QStringLiteral("Playing speed set to %1.\n").arg(shown)));
    // Positions are media ticks; seconds are playing seconds.
    probe.setAudioClock(2.0);
    QCOMPARE(media.position(), int64_t(speed * 2.0 * 44100));
    // Every restart of a passage adds lines; an hour of practice must not
    // grow the log without end: the latest lines are kept.
    for (int i = 0; i < 200; ++i)
        media.setPlaySpeed(step);
    QCOMPARE(probe.log().count(QLatin1Char('\n')), 64);
    QVERIFY(probe.log().endsWith(QStringLiteral("Playing speed set to %1.\n").arg(shown)));
}

void tst_Media::volumeSnapping_data()
{
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("right");
    QTest::addColumn<float>("storedLeft");
    QTest::addColumn<float>("storedRight");
    QTest::newRow("out of range") << 1.5 << 0.0005 << 1.0f << 0.0f;
    QTest::newRow("halves") << 0.5 << 0.5 << 0.5f << 0.5f;
    QTest::newRow("near the ends") << 0.9995 << 0.0015 << 1.0f << 0.0015f;
}

void tst_Media::volumeSnapping()
{
    QFETCH(double, left);
    QFETCH(double, right);
    QFETCH(float, storedLeft);
    QFETCH(float, storedRight);
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QCOMPARE(probe.audio()->leftVolume(), 0.5f);
    media.setVolume(left, right);
    QCOMPARE(probe.audio()->leftVolume(), storedLeft);
    QCOMPARE(probe.audio()->rightVolume(), storedRight);
}

void tst_Media::pictures()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    QVERIFY(media.picture(0));
    QVERIFY(!media.picture(0)->allocated);
    QVERIFY(media.open(path("clip.mp4")));
    QVERIFY(!media.picture(-1));
    QVERIFY(!media.picture(4));
    for (int i = 0; i < 4; ++i) {
        const VideoPicture *picture = media.picture(i);
        QVERIFY(picture && picture->allocated);
        QCOMPARE(picture->width, 320);
        QCOMPARE(picture->height, 240);
        QCOMPARE(picture->pixelFormat, 2);
        QCOMPARE(picture->bytesPerLine(), 320 * 3);
    }
}

void tst_Media::powerOfTwo_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("rounded");
    const int table[][2] = {{0, 1},     {1, 1},       {3, 4},       {5, 4},      {6, 8},
                            {320, 256}, {360, 256},   {480, 512},   {576, 512},  {640, 512},
                            {720, 512}, {768, 1024},  {1080, 1024}, {1280, 1024}, {1920, 2048}};
    for (const auto &row : table)
        QTest::addRow("%d", row[0]) << row[0] << row[1];
}

void tst_Media::powerOfTwo()
{
    QFETCH(int, value);
    QFETCH(int, rounded);
    QCOMPARE(VideoPicture::roundToPowerOfTwo(value), rounded);
    if (value != 640)
        return;
    // A 640 x 480 video without non-power-of-two textures: 512 x 512.
    Media media(nullptr, true, 1, 2, 0, 0);
    QVERIFY(media.open(path("vga.mp4")));
    QCOMPARE(media.picture(0)->width, 512);
    QCOMPARE(media.picture(0)->height, 512);
    QCOMPARE(media.picture(3)->bytesPerLine(), 512 * 3);
}

void tst_Media::displayAspectRatio()
{
    Media square(nullptr, false, 0x10, 2, 0, 0);
    QVERIFY(square.open(path("clip.mp4")));
    QCOMPARE(square.displayAspectRatio(), float(320.0 / 240.0));
    Media wide(nullptr, false, 0x10, 2, 0, 0);
    QVERIFY(wide.open(path("wide.mp4")));
    QCOMPARE(wide.displayAspectRatio(), float(320.0 / 240.0 * 2.0));
}

void tst_Media::synchronizeAdvancesVideoClock()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("clip.mp4"))); // 25 pictures a second
    AVFrame *frame = av_frame_alloc();
    frame->repeat_pict = 1;
    // A missing time stamp takes the predicted clock.
    QCOMPARE(probe.videoThread()->synchronize(frame, 0.0), 0.0);
    QCOMPARE(probe.videoClock(), 0.06); // one and a half frame times
    frame->repeat_pict = 0;
    QCOMPARE(probe.videoThread()->synchronize(frame, 0.0), 0.06);
    QCOMPARE(probe.videoClock(), 0.1);
    QCOMPARE(probe.videoThread()->synchronize(frame, 1.0), 1.0);
    QCOMPARE(probe.videoClock(), 1.04);
    // A frame stamped 0 lies at 0 and sets the clock.
    QCOMPARE(probe.videoThread()->synchronize(frame, 0.0, true), 0.0);
    QCOMPARE(probe.videoClock(), 0.04);
    av_frame_free(&frame);
}

void tst_Media::framesBeforeSeekTargetAreDropped_data()
{
    QTest::addColumn<qint64>("bestEffort"); // ticks of 1/12800 s, or AV_NOPTS_VALUE
    QTest::addColumn<double>("clock");      // predicted clock before the frame
    QTest::addColumn<bool>("shown");
    QTest::newRow("key frame at 0 while the clock runs on") << qint64(0) << 0.9 << false;
    QTest::newRow("before the target") << qint64(0.3 * 12800) << 0.9 << false;
    QTest::newRow("at the target") << qint64(0.4 * 12800) << 0.9 << true;
    QTest::newRow("after the target") << qint64(0.6 * 12800) << 0.2 << true;
    QTest::newRow("no stamp takes the clock") << qint64(AV_NOPTS_VALUE) << 0.9 << true;
}

void tst_Media::framesBeforeSeekTargetAreDropped()
{
    QFETCH(qint64, bestEffort);
    QFETCH(double, clock);
    QFETCH(bool, shown);
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("clip.mp4")));
    QCOMPARE(probe.timeBase(), 1.0 / 12800);
    probe.setSeekTarget(int64_t(0.4 * 12800));
    AVFrame *frame = av_frame_alloc();
    // Bring the predicted clock to where a running passage leaves it.
    QCOMPARE(probe.videoThread()->synchronize(frame, clock - 0.04), clock - 0.04);
    frame->best_effort_timestamp = bestEffort;
    frame->pts = bestEffort;
    double t = -1.0;
    QCOMPARE(probe.videoThread()->frameTime(frame, t), shown);
    av_frame_free(&frame);
}

void tst_Media::refreshTimer_data()
{
    QTest::addColumn<double>("lastPts");
    QTest::addColumn<double>("pts");
    QTest::addColumn<double>("dueIn"); // s from now of the frame timer before the run
    QTest::addColumn<double>("expectedDelay");
    QTest::addColumn<int>("expectedWait"); // ms
    QTest::newRow("next frame") << 1.0 << 1.04 << 0.0 << 0.04 << 40;
    QTest::newRow("late: the 10 ms floor") << 1.0 << 1.04 << -1.0 << 0.04 << 10;
    QTest::newRow("same time stamp: last gap") << 1.0 << 1.0 << 0.0 << 0.05 << 50;
    QTest::newRow("jump back: last gap") << 1.0 << 0.5 << 0.0 << 0.05 << 50;
    QTest::newRow("jump of one second: last gap") << 1.0 << 2.0 << 0.0 << 0.05 << 50;
    QTest::newRow("gap just under a second") << 1.0 << 1.9 << 0.0 << 0.9 << 900;
}

// One run of the refresh timer with a picture waiting: which gap it takes
// and when it schedules the next run.
void tst_Media::refreshTimer()
{
    QFETCH(double, lastPts);
    QFETCH(double, pts);
    QFETCH(double, dueIn);
    QFETCH(double, expectedDelay);
    QFETCH(int, expectedWait);
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("clip.mp4")));
    QSignalSpy frames(&media, &Media::frameReady);
    // An accepted gap of 50 ms first.
    probe.setFrameLastPts(lastPts - 0.05);
    probe.queueStamp(lastPts);
    QVERIFY(QMetaObject::invokeMethod(&media, "video_refresh_timer"));
    QCOMPARE(probe.frameLastDelay(), 0.05);
    probe.queueStamp(pts);
    const double now = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    probe.setFrameTimer(now + dueIn);
    QVERIFY(QMetaObject::invokeMethod(&media, "video_refresh_timer"));
    QCOMPARE(frames.count(), 2);
    QCOMPARE(frames.at(1).at(0).toInt(), 1);
    QCOMPARE(probe.readIndex(), 2);
    QCOMPARE(probe.pictureCount(), 0);
    QCOMPARE(probe.currentPts(), pts);
    QCOMPARE(probe.frameLastPts(), pts);
    QVERIFY(std::abs(probe.frameLastDelay() - expectedDelay) < 1e-9);
    QVERIFY(probe.refreshScheduled());
    QVERIFY2(std::abs(probe.refreshInterval() - expectedWait) <= 3,
             qPrintable(QString::number(probe.refreshInterval())));
}

void tst_Media::refreshTimerPolls()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QSignalSpy frames(&media, &Media::frameReady);
    // No file: nothing to show, a poll every 100 ms.
    QVERIFY(QMetaObject::invokeMethod(&media, "video_refresh_timer"));
    QCOMPARE(probe.refreshInterval(), 100);
    QVERIFY(media.open(path("clip.mp4")));
    // No picture ready: every 10 ms.
    QVERIFY(QMetaObject::invokeMethod(&media, "video_refresh_timer"));
    QCOMPARE(probe.refreshInterval(), 10);
    QVERIFY(probe.refreshScheduled());
    QCOMPARE(frames.count(), 0);
    // A picture shown while paused schedules nothing.
    probe.pretendRunning();
    media.pause(true);
    probe.stopRefresh();
    probe.queueStamp(0.04);
    QVERIFY(QMetaObject::invokeMethod(&media, "video_refresh_timer"));
    QCOMPARE(frames.count(), 1);
    QVERIFY(!probe.refreshScheduled());
    probe.pretendStopped();
}

void tst_Media::pauseAndResume()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    MediaProbe probe(&media);
    QVERIFY(media.open(path("clip.mp4")));
    QSignalSpy pauses(&media, &Media::paused);
    media.pause(true); // stopped: nothing
    QCOMPARE(pauses.count(), 0);
    probe.pretendRunning();
    probe.setCurrentPts(1.0);
    media.pause(true);
    media.pause(true);
    QCOMPARE(pauses.count(), 1);
    QVERIFY(media.isPaused());
    QCOMPARE(media.clock(), 1.0); // held while paused
    QTRY_VERIFY(probe.currentPts() == 1.0 && media.clock() == 1.0);
    media.pause(false);
    QCOMPARE(pauses.count(), 2);
    QCOMPARE(pauses.at(1).at(0).toBool(), false);
    QVERIFY(probe.currentPts() >= 1.0);
    QVERIFY(probe.refreshScheduled());
    QCOMPARE(probe.refreshInterval(), 10);
    QTRY_VERIFY(media.clock() > 1.05); // running again
    probe.pretendStopped();
}

void tst_Media::startAndStopDoNothingWhenClosed()
{
    Media media(nullptr, false, 0x10, 2, 0, 0);
    QSignalSpy running(&media, &Media::running);
    media.start();
    media.stop();
    media.pause(true);
    QVERIFY(media.isStopped());
    QVERIFY(!media.isPaused());
    QCOMPARE(running.count(), 0);
    QCOMPARE(media.position(), int64_t(0));
    QCOMPARE(media.duration(), int64_t(0));
    QCOMPARE(media.audioSampleRate(), 0);
}

VK_AUDIO_TEST_GUILESS_MAIN(tst_Media)
#include "tst_media.moc"
