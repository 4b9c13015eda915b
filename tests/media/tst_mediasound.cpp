#include "media/media.h"
#include "tests/media/mediaprobe.h"
#include "tests/support/audiotestmain.h"
#include "tests/support/mediamaker.h"
#include "tests/support/soundprobe.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

using namespace soundprobe;

#define QTRY_VERIFY_SLOW(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, 20000)

// What is heard: the engine's sound recorded from the output's monitor and
// read back from the recording's own content (clicks and tones that name
// their second), not from the engine's counters.
class tst_MediaSound : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void holdResumesWhereTheSoundStopped_data();
    void holdResumesWhereTheSoundStopped();
    void passageRepeatsSeamlessly_data();
    void passageRepeatsSeamlessly();
    void speedKeepsThePitch_data();
    void speedKeepsThePitch();
    void picturesFollowTheSound_data();
    void picturesFollowTheSound();
    void speedChangeIsHeardAtOnce_data();
    void speedChangeIsHeardAtOnce();
    void soundStaysWholeAfterHoldsAndReplays();
    void restartFarFromAKeyFrameIsSeamless_data();
    void restartFarFromAKeyFrameIsSeamless();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

namespace {

struct Track {
    const char *name;
    QStringList codec;
};

const QList<Track> &tracks()
{
    static const QList<Track> all = {
        {"track.wav", {}},
        {"track.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}},
        {"track.m4a", {"-c:a", "aac"}},
        {"track.flac", {}},
        {"track.ogg", {"-c:a", "libvorbis"}},
        {"track.opus", {"-c:a", "libopus"}},
    };
    return all;
}

double seconds(Media *media, int64_t ticks)
{
    return double(ticks) * MediaProbe(media).timeBase();
}

// Recording seconds of silence between two recording times: where the
// output ran dry for a moment, media time stood still.
double dropouts(const QList<Span> &gaps, double from, double to)
{
    double total = 0.0;
    for (const Span &gap : gaps)
        total += qMax(0.0, qMin(gap.to, to) - qMax(gap.from, from));
    return total;
}

// Media time heard at recording time at, from the last click before it
// whose second is known.
bool mediaTimeBefore(const QList<Click> &found, const QList<Span> &gaps, double at, double &media)
{
    for (qsizetype i = found.size() - 1; i >= 0; --i) {
        if (found.at(i).at <= at && found.at(i).second >= 0) {
            media = found.at(i).second + (at - found.at(i).at) - dropouts(gaps, found.at(i).at, at);
            return true;
        }
    }
    return false;
}

// Media time heard at recording time at, from the first click after it
// whose second is known.
bool mediaTimeAfter(const QList<Click> &found, const QList<Span> &gaps, double at, double &media)
{
    for (const Click &click : found) {
        if (click.at >= at && click.second >= 0) {
            media = click.second - (click.at - at) + dropouts(gaps, at, click.at);
            return true;
        }
    }
    return false;
}

} // namespace

void tst_MediaSound::initTestCase()
{
    QVERIFY(m_dir.isValid());
    for (const Track &track : tracks())
        QVERIFY(makeTimedTrack(path(track.name), 10, track.codec));
    QVERIFY(makeTimedTrack(path("film.mp4"), 10, {"-c:v", "libx264", "-g", "12", "-c:a", "aac"}, true));
    QVERIFY(mediamaker::makeAudio(path("steady.wav"), 14));
    // One key frame in 10 s, as in downloads, and many bytes a second.
    QVERIFY(makeTimedTrack(path("sparse-keys.mp4"), 10,
                           {"-s", "1280x720", "-c:v", "libx264", "-preset", "ultrafast", "-g", "250",
                            "-keyint_min", "250", "-sc_threshold", "0", "-c:a", "aac"},
                           true));
}

void tst_MediaSound::holdResumesWhereTheSoundStopped_data()
{
    QTest::addColumn<QString>("file");
    for (const Track &track : tracks())
        QTest::newRow(track.name) << path(track.name);
}

// Hold twice and resume: each time the sound goes on where it stopped, and
// the place the engine keeps is the one last heard.
void tst_MediaSound::holdResumesWhereTheSoundStopped()
{
    QFETCH(QString, file);
    std::unique_ptr<Media> media(new Media(nullptr, false, 0x10, 2, 0, 0));
    QVERIFY(media->open(file));
    media->setVolume(1.0, 1.0);
    Recorder recorder;
    QVERIFY(recorder.start());
    media->start();
    QList<double> kept;
    for (double until : {3.4, 5.6}) {
        QTRY_VERIFY_SLOW(seconds(media.get(), media->position()) >= until);
        media->stop();
        kept.append(seconds(media.get(), media->position()));
        QTest::qWait(400); // a pause the recording shows as silence
        media->start();
    }
    QTRY_VERIFY_SLOW(seconds(media.get(), media->position()) >= 7.0);
    media->stop();
    const QVector<qint16> samples = recorder.stop();
    const QList<Click> found = clicks(samples);

    QList<Span> holds = silences(samples, 0.2);
    // The silences before the sound began and after it ended are no holds.
    while (!holds.isEmpty() && (found.isEmpty() || holds.first().to <= found.first().at))
        holds.removeFirst();
    while (!holds.isEmpty() && (found.isEmpty() || holds.last().from >= found.last().at))
        holds.removeLast();
    QCOMPARE(holds.size(), 2);
    // A busy machine may leave the output dry for a moment now and then.
    QList<Span> gaps = silences(samples, 0.002);
    gaps.removeIf([](const Span &gap) { return gap.to - gap.from >= 0.2; });
    for (int i = 0; i < 2; ++i) {
        double stopped = 0.0;
        double resumed = 0.0;
        QVERIFY(mediaTimeBefore(found, gaps, holds.at(i).from, stopped));
        QVERIFY(mediaTimeAfter(found, gaps, holds.at(i).to, resumed));
        const QString where = QStringLiteral("hold %1: heard up to %2 s, resumed at %3 s, kept %4 s")
                                  .arg(i).arg(stopped).arg(resumed).arg(kept.at(i));
        QVERIFY2(qAbs(resumed - stopped) <= 0.05, qPrintable(where));
        QVERIFY2(qAbs(kept.at(i) - stopped) <= 0.05, qPrintable(where));
    }
}

void tst_MediaSound::passageRepeatsSeamlessly_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("speed");
    for (const Track &track : tracks())
        QTest::newRow(track.name) << path(track.name) << 1.0;
    QTest::newRow("track.mp3 at 0.5") << path("track.mp3") << 0.5;
    QTest::newRow("track.wav at 0.75") << path("track.wav") << 0.75;
}

// A passage from 2.25 s to 3.5 s holds one click, at 3 s: when the end mark
// is cut to the sample and the start mark follows without a gap, the clicks
// come exactly one passage apart, 1.25 s of media time, whatever the codec.
void tst_MediaSound::passageRepeatsSeamlessly()
{
    QFETCH(QString, file);
    QFETCH(double, speed);
    std::unique_ptr<Media> media(new Media(nullptr, false, 0x10, 2, 0, 0));
    QVERIFY(media->open(file));
    media->setVolume(1.0, 1.0);
    media->setSpeed(speed);
    media->setMarkOut(media->ticks(3.5));
    media->setMarkIn(media->ticks(2.25));
    QSignalSpy repeated(media.get(), &Media::passageRepeated);
    Recorder recorder;
    QVERIFY(recorder.start());
    media->start();
    QTRY_VERIFY_WITH_TIMEOUT(repeated.count() >= 5, 30000);
    media->stop();
    const QVector<qint16> samples = recorder.stop();
    const QList<Click> found = clicks(samples, 0.1);
    const QList<Span> gaps = silences(samples, 0.002);
    QList<double> intervals;
    for (qsizetype i = 1; i < found.size(); ++i) {
        if (found.at(i).second != 3 || found.at(i - 1).second != 3)
            continue;
        // A gap in the sound between two clicks is what this looks for.
        QVERIFY2(dropouts(gaps, found.at(i - 1).at, found.at(i).at) < 0.005,
                 qPrintable(QStringLiteral("silence of %1 s").arg(dropouts(gaps, found.at(i - 1).at, found.at(i).at))));
        intervals.append((found.at(i).at - found.at(i - 1).at) * speed);
    }
    QVERIFY2(intervals.size() >= 3, qPrintable(QString::number(intervals.size())));
    std::sort(intervals.begin(), intervals.end());
    const double median = intervals.at(intervals.size() / 2);
    // Stretched sound is cut and joined to within the stretch's own window.
    const double tolerance = speed == 1.0 ? 0.005 : 0.01;
    QVERIFY2(qAbs(median - 1.25) <= tolerance, qPrintable(QStringLiteral("%1 s between clicks").arg(median)));
}

void tst_MediaSound::speedKeepsThePitch_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("speed");
    for (double speed : {0.5, 0.75, 1.25}) {
        QTest::newRow(qPrintable(QStringLiteral("MP3 at %1").arg(speed))) << path("track.mp3") << speed;
        QTest::newRow(qPrintable(QStringLiteral("WAV at %1").arg(speed))) << path("track.wav") << speed;
    }
}

// Slower or faster, each second of the track still sounds its own tone,
// and the clicks come 1 / speed seconds apart; the place shown is media time.
void tst_MediaSound::speedKeepsThePitch()
{
    QFETCH(QString, file);
    QFETCH(double, speed);
    std::unique_ptr<Media> media(new Media(nullptr, false, 0x10, 2, 0, 0));
    QVERIFY(media->open(file));
    media->setVolume(1.0, 1.0);
    media->setSpeed(speed);
    Recorder recorder;
    QVERIFY(recorder.start());
    media->start();
    QTRY_VERIFY_WITH_TIMEOUT(seconds(media.get(), media->position()) >= 4.2, 30000);
    media->stop();
    const QVector<qint16> samples = recorder.stop();
    QList<Click> found = clicks(samples, 0.15 / speed);
    QList<Span> gaps = silences(samples, 0.002);
    QVERIFY2(found.size() >= 4, qPrintable(QString::number(found.size())));
    QList<double> periods;
    for (qsizetype i = 1; i < found.size(); ++i) {
        const Click &a = found.at(i - 1);
        const Click &b = found.at(i);
        if (b.second != a.second + 1 || a.second < 0 || dropouts(gaps, a.at, b.at) > 0.0)
            continue;
        periods.append(b.at - a.at);
        const double expected = 300.0 + 25.0 * a.second;
        const double heard = toneFrequency(samples, a.at + 0.02, a.at + 0.02 + 0.5 / speed);
        QVERIFY2(qAbs(heard - expected) <= expected * 0.01,
                 qPrintable(QStringLiteral("second %1: %2 Hz").arg(a.second).arg(heard)));
    }
    QVERIFY(periods.size() >= 2);
    std::sort(periods.begin(), periods.end());
    const double median = periods.at(periods.size() / 2);
    QVERIFY2(qAbs(median - 1.0 / speed) <= 0.005 / speed, qPrintable(QString::number(median)));
}

void tst_MediaSound::picturesFollowTheSound_data()
{
    QTest::addColumn<double>("speed");
    QTest::newRow("at 1") << 1.0;
    QTest::newRow("at 0.5") << 0.5;
    QTest::newRow("at 1.25") << 1.25;
}

// Each picture shows when its moment is heard: at every speed, and at the
// restart of a passage, where the sound still playing out holds the new
// passage's first picture back until the start mark is heard.
void tst_MediaSound::picturesFollowTheSound()
{
    QFETCH(double, speed);
    std::unique_ptr<Media> media(new Media(nullptr, false, 0x10, 2, 0, 0));
    QVERIFY(media->open(path("film.mp4")));
    media->setVolume(1.0, 1.0);
    media->setSpeed(speed);
    media->setMarkOut(media->ticks(3.5));
    media->setMarkIn(media->ticks(2.25));
    MediaProbe probe(media.get());
    QList<double> offsets; // playing seconds the picture came before its sound
    connect(media.get(), &Media::frameReady, this, [&](int index) {
        double heard = 0.0;
        if (!probe.heardSeconds(heard))
            return;
        double ahead = probe.pictureMediaSeconds(index) - heard;
        if (ahead < -0.625) // shown while the end of the last round is heard
            ahead += 1.25;
        offsets.append(ahead / speed);
    });
    QSignalSpy repeated(media.get(), &Media::passageRepeated);
    // A null sink that nobody listens to wakes up only every two seconds;
    // recording keeps it at a listener's pace.
    Recorder recorder;
    QVERIFY(recorder.start());
    // A plain event loop, as the player's: the test library's waiting
    // sleeps between rounds of events and would make the pictures late.
    QEventLoop loop;
    connect(media.get(), &Media::passageRepeated, &loop, [&] {
        if (repeated.count() >= 3)
            loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    media->start();
    loop.exec();
    media->stop();
    QVERIFY2(offsets.size() >= 40, qPrintable(QString::number(offsets.size())));
    for (double &offset : offsets)
        offset = qAbs(offset);
    std::sort(offsets.begin(), offsets.end());
    const double median = offsets.at(offsets.size() / 2);
    const double worst = offsets.at(offsets.size() * 19 / 20);
    QVERIFY2(median <= 0.015 && worst <= 0.045,
             qPrintable(QStringLiteral("median %1 s, 95th percentile %2 s").arg(median).arg(worst)));
}

void tst_MediaSound::speedChangeIsHeardAtOnce_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("speed");
    QTest::newRow("WAV, 0.5 and back") << path("track.wav") << 0.5;
    QTest::newRow("MP3, 0.75 and back") << path("track.mp3") << 0.75;
}

// A change of speed while playing is heard within what the output holds,
// and the sound goes on through it: no silence, no click.
void tst_MediaSound::speedChangeIsHeardAtOnce()
{
    QFETCH(QString, file);
    QFETCH(double, speed);
    std::unique_ptr<Media> media(new Media(nullptr, false, 0x10, 2, 0, 0));
    QVERIFY(media->open(file));
    media->setVolume(1.0, 1.0);
    Recorder recorder;
    QVERIFY(recorder.start());
    media->start();
    // To the speed at 2.3 s heard, back at 4.3 s.
    QList<double> changedAt;
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        const double heard = seconds(media.get(), media->position() - media->startTime());
        if (changedAt.size() < 2 && heard >= 2.3 + 2.0 * changedAt.size()) {
            changedAt.append(heard);
            media->setSpeed(changedAt.size() == 1 ? speed : 1.0);
        }
        if (heard >= 6.5)
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    media->stop();
    QCOMPARE(changedAt.size(), 2);
    const QVector<qint16> samples = recorder.stop();
    const QList<Click> found = clicks(samples, 0.1);
    for (int change = 0; change < 2; ++change) {
        // Between the clicks of seconds k and k + 1 the period goes from p1
        // to p2 at media time m: their distance is (m - k) p1 + (k + 1 - m) p2.
        const int k = int(changedAt.at(change));
        const double p1 = change == 0 ? 1.0 : 1.0 / speed;
        const double p2 = change == 0 ? 1.0 / speed : 1.0;
        const auto a = std::find_if(found.begin(), found.end(), [k](const Click &c) { return c.second == k; });
        QVERIFY2(a != found.end() && a + 1 != found.end() && (a + 1)->second == k + 1, qPrintable(QString::number(k)));
        const double d = (a + 1)->at - a->at;
        const double m = k + (d - p2) / (p1 - p2);
        const double after = (m - changedAt.at(change)) * p1;
        QVERIFY2(after >= 0.0 && after <= 0.2, qPrintable(QStringLiteral("heard %1 s after").arg(after)));
        // The wave bends no more than its tone can around the change.
        const qsizetype at = qsizetype((a->at + (m - k) * p1) * Recorder::rate);
        int bend = 0;
        int quiet = 0;
        for (qsizetype n = at - Recorder::rate / 25; n < at + Recorder::rate / 25; ++n) {
            bend = qMax(bend, qAbs(int(samples[n + 1]) - 2 * int(samples[n]) + int(samples[n - 1])));
            quiet = qAbs(int(samples[n])) < 300 ? quiet + 1 : 0;
            QVERIFY2(quiet < Recorder::rate / 500, "a silence of 2 ms");
        }
        QVERIFY2(bend < 400, qPrintable(QStringLiteral("a click: the wave bends by %1").arg(bend)));
    }
}

// A learner holds and replays a sentence again and again: every hold and
// every replay empties the output by restarting its stream. Whatever came
// before, the output keeps the buffer it was given, and a steady tone plays
// on without a single dropout.
void tst_MediaSound::soundStaysWholeAfterHoldsAndReplays()
{
    std::unique_ptr<Media> media(new Media(nullptr, false, 0x10, 2, 0, 0));
    QVERIFY(media->open(path("steady.wav")));
    media->setVolume(1.0, 1.0);
    MediaProbe probe(media.get());
    const auto flowing = [&probe] {
        // The restarted stream has played a little of what was written.
        return probe.audio()->playedUSecs() >= 30000;
    };
    Recorder pace; // keeps the null sink at a listener's pace
    QVERIFY(pace.start());
    media->start();
    QTRY_VERIFY_SLOW(flowing());
    const qsizetype firstBuffer = probe.audio()->bufferSize();
    QVERIFY(firstBuffer > 0);
    const int64_t replayFrom = media->startTime() + media->ticks(1.0);
    for (int round = 0; round < 50; ++round) {
        media->stop();
        media->start();
        QTRY_VERIFY_SLOW(flowing());
        media->seekTo(replayFrom);
        QTRY_VERIFY_SLOW(flowing());
    }
    QCOMPARE(probe.audio()->bufferSize(), firstBuffer);

    Recorder recorder;
    QVERIFY(recorder.start());
    pace.stop();
    const int64_t from = media->position();
    QTRY_VERIFY_WITH_TIMEOUT(media->position() - from >= media->ticks(10.0), 30000);
    const QVector<qint16> samples = recorder.stop();
    media->stop();
    QList<Span> gaps = silences(samples, 0.0005);
    // Silence at the recording's edges lies outside the tone.
    if (!gaps.isEmpty() && gaps.first().from <= 0.0)
        gaps.removeFirst();
    if (!gaps.isEmpty() && gaps.last().to * Recorder::rate >= samples.size())
        gaps.removeLast();
    double longest = 0.0;
    for (const Span &gap : gaps)
        longest = qMax(longest, gap.to - gap.from);
    QVERIFY2(gaps.isEmpty(), qPrintable(QStringLiteral("%1 gaps in %2 s, the longest %3 ms")
                                            .arg(gaps.size())
                                            .arg(double(samples.size()) / Recorder::rate)
                                            .arg(longest * 1000.0)));
}


void tst_MediaSound::restartFarFromAKeyFrameIsSeamless_data()
{
    QTest::addColumn<double>("speed");
    QTest::newRow("at 1") << 1.0;
    QTest::newRow("at 0.5") << 0.5;
}

// A passage 6 s after the only key frame: each restart must decode those 6 s
// again. The learner still sees the pictures run on from the end mark to the
// start mark, none standing still for more than about two frame times, and
// hears the sound run on without a gap.
void tst_MediaSound::restartFarFromAKeyFrameIsSeamless()
{
    QFETCH(double, speed);
    std::unique_ptr<Media> media(new Media(nullptr, false, 0x10, 2, 0, 0));
    QVERIFY(media->open(path("sparse-keys.mp4")));
    media->setVolume(1.0, 1.0);
    media->setSpeed(speed);
    const double in = 6.0;
    const double out = 7.5;
    media->setMarkOut(media->ticks(out));
    media->setMarkIn(media->ticks(in));
    media->seekTo(media->markIn());
    struct Shown {
        qint64 wallMs;
        double at;
    };
    QList<Shown> shown;
    QElapsedTimer wall;
    wall.start();
    connect(media.get(), &Media::frameReady, media.get(), [&](int id) {
        shown.append({wall.elapsed(), media->picture(id)->mediaSeconds});
    });
    QSignalSpy repeated(media.get(), &Media::passageRepeated);
    Recorder recorder;
    QVERIFY(recorder.start());
    media->start();
    QTRY_VERIFY_WITH_TIMEOUT(repeated.count() >= 4, 40000);
    media->stop();
    const QVector<qint16> samples = recorder.stop();

    const double frame = 0.04 / speed; // 25 pictures a second
    int restarts = 0;
    for (qsizetype i = 1; i < shown.size(); ++i) {
        if (shown.at(i).at > shown.at(i - 1).at - 0.5)
            continue;
        ++restarts;
        QVERIFY2(shown.at(i - 1).at >= out - 0.09, qPrintable(QStringLiteral("round ended at %1 s").arg(shown.at(i - 1).at)));
        QVERIFY2(shown.at(i).at <= in + 0.05, qPrintable(QStringLiteral("round started at %1 s").arg(shown.at(i).at)));
        for (qsizetype j = i; j < shown.size() && shown.at(j).at < in + 1.0; ++j) {
            const double stood = double(shown.at(j).wallMs - shown.at(j - 1).wallMs) / 1000.0;
            QVERIFY2(stood <= 2.5 * frame,
                     qPrintable(QStringLiteral("picture at %1 s stood %2 ms").arg(shown.at(j - 1).at).arg(stood * 1000.0)));
        }
    }
    QVERIFY2(restarts >= 3, qPrintable(QString::number(restarts)));
    QList<Span> gaps = silences(samples, 0.002);
    if (!gaps.isEmpty() && gaps.first().from <= 0.0)
        gaps.removeFirst(); // before the sound began
    if (!gaps.isEmpty() && gaps.last().to * Recorder::rate >= samples.size() - 1)
        gaps.removeLast(); // after it ended
    QVERIFY2(gaps.isEmpty(), qPrintable(QStringLiteral("%1 ms of silence at %2 s").arg((gaps.first().to - gaps.first().from) * 1000.0).arg(gaps.first().from)));
}

VK_PRIVATE_SOUND_TEST_MAIN(tst_MediaSound)
#include "tst_mediasound.moc"
