// What a learner sees and hears when a passage of a video repeats, and what
// showing the pictures costs. Plays a clip through the engine into a window
// of a given size under the running X server and into a sound server of its
// own whose null sink it records. Prints "name: value" lines:
// restart_picture_gap_ms and restart_sound_gap_ms (the worst of 8 restarts)
// at speeds 1, 0.75 and 0.5, with the pictures missing from a round and the
// CPU time while the passage repeats; the same two gaps at the first restart
// after the learner sets the marks while the file plays (f7_f8_) and after
// each nudge of a mark (nudge_ for the worst, f1_ to f4_), at speeds 1 and
// 0.75, with the stalls and breaks over all those sessions (practice_, or
// load_ when VIDEO_BENCH_LOAD says the machine is kept busy beside);
// cpu_per_media_s of plain playback; and the most memory the process held.
// VIDEO_BENCH_CPU_ONLY measures plain playback alone, VIDEO_BENCH_MARKS_ONLY
// the changes of the marks alone.
#include "bench/video/markchanges.h"
#include "bench/video/watchedplayback.h"
#include "media/media.h"
#include "tests/support/benchclock.h"
#include "tests/support/soundprobe.h"

#include <QApplication>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>

using namespace soundprobe;

namespace {

using benchclock::processCpuSeconds;
using benchclock::waitUntil;

void print(const QString &name, double value)
{
    std::printf("%s: %.3f\n", qPrintable(name), value);
    std::fflush(stdout);
}

struct Restarts {
    double pictureGapMs = 0.0;
    double soundGapMs = 0.0;
    int count = 0;
    int picturesMissing = 0; // the most in one whole round
    double cpuPerMediaSecond = 0.0; // while the passage repeats
};

// Plays the passage [in, out) (media seconds) until it has restarted 8
// times. The picture gap is the longest a picture stood on screen from the
// last picture before a restart until 3 s after it; the sound gap the
// longest silence in the recording between the first and the last sound.
Restarts measureRestarts(const QString &file, double in, double out, double speed, QSize size)
{
    Restarts result;
    WatchedPlayback playback(size);
    if (!playback.open(file))
        return result;
    Media *media = playback.media();
    const double tick = playback.ticksPerSecond();
    media->setMarkIn(int64_t(std::ceil(in * tick)));
    media->setMarkOut(int64_t(out * tick));
    media->setSpeed(speed);
    media->seekTo(media->markIn());

    const double cpuBefore = processCpuSeconds();
    if (!playback.start())
        return result;
    const int roundMs = int((out - in) / speed * 1000.0);
    int restarts = 0;
    QObject::connect(media, &Media::passageRepeated, media, [&] { ++restarts; },
                     Qt::QueuedConnection);
    waitUntil([&] { return restarts >= 9; }, roundMs * 12 + 20000);
    // The ninth end is heard a moment after it is decoded.
    waitUntil([] { return false; }, 300);
    playback.stop();
    const double played = restarts * (out - in);
    result.cpuPerMediaSecond = played > 0.0 ? (processCpuSeconds() - cpuBefore) / played : 0.0;

    const QList<WatchedPlayback::Shown> &shown = playback.shown();
    const QList<int> &roundStarts = playback.restarts();
    for (int i : roundStarts) {
        ++result.count;
        const WatchedPlayback::Stand stand = playback.longestStand(i, shown.at(i).wall + 3.0);
        // Where the worst gap lies, for whoever looks into a bad figure.
        std::fprintf(stderr, "restart %d: %.1f ms at the restart, worst %.1f ms, %.2f s after it\n",
                     result.count, (shown.at(i).wall - shown.at(i - 1).wall) * 1000.0,
                     stand.seconds * 1000.0, stand.after);
        result.pictureGapMs = std::max(result.pictureGapMs, stand.seconds * 1000.0);
    }
    // Every picture of the passage is shown in every whole round.
    const double frame = playback.frameSeconds();
    for (int k = 1; k < roundStarts.size() && frame > 0.0; ++k) {
        const int count = roundStarts.at(k) - roundStarts.at(k - 1);
        const int expected = int(std::lround((out - in) / frame));
        result.picturesMissing = std::max(result.picturesMissing, expected - count);
    }
    for (const Span &span : playback.silencesInSound(0.002))
        result.soundGapMs = std::max(result.soundGapMs, (span.to - span.from) * 1000.0);
    return result;
}

// CPU seconds of this process per media second of plain playback in the
// window, after the first second.
double cpuPerMediaSecond(const QString &file, QSize size)
{
    WatchedPlayback playback(size);
    if (!playback.open(file))
        return 0.0;
    Media *media = playback.media();
    media->start();
    waitUntil([&] { return media->position() > media->ticks(1.0); }, 10000);
    const double cpu = processCpuSeconds();
    const int64_t from = media->position();
    waitUntil([] { return false; }, 15000);
    const double played = double(media->position() - from) / (double(media->ticks(1000.0)) / 1000.0);
    const double used = processCpuSeconds() - cpu;
    media->stop();
    return played > 0.0 ? used / played : 0.0;
}

QString speedSuffix(double speed)
{
    return speed == 1.0 ? QString() : QStringLiteral("_at_%1x").arg(speed);
}

// The worst of the changes made with the given keys (all when empty); -1
// when none was made or any was followed by no restart.
void printWorst(const QString &name, const QList<markchanges::Change> &changes,
                const QString &gesture, const QString &suffix)
{
    double pictureGapMs = 0.0;
    double soundGapMs = 0.0;
    int made = 0;
    bool restarted = true;
    for (const markchanges::Change &change : changes) {
        if (!gesture.isEmpty() && change.gesture != gesture)
            continue;
        ++made;
        restarted = restarted && change.pictureGapMs >= 0.0;
        pictureGapMs = std::max(pictureGapMs, change.pictureGapMs);
        soundGapMs = std::max(soundGapMs, change.soundGapMs);
    }
    const bool measured = made > 0 && restarted;
    print(name + QStringLiteral("_restart_picture_gap_ms") + suffix, measured ? pictureGapMs : -1.0);
    print(name + QStringLiteral("_restart_sound_gap_ms") + suffix, measured ? soundGapMs : -1.0);
}

// The learner's gestures on the marks at speeds 1 and 0.75: the first
// restart after each, and the stalls and breaks over all the sessions
// together, named load_ when the bench is told that the machine is busy.
void measureMarkChanges(const QString &file, double in, double out, QSize size)
{
    markchanges::Session all;
    const auto add = [&all](const markchanges::Session &session) {
        all.seconds += session.seconds;
        all.soundGaps += session.soundGaps;
        all.longestSoundGapMs = std::max(all.longestSoundGapMs, session.longestSoundGapMs);
        all.pictureStalls += session.pictureStalls;
        all.longestPictureStallMs = std::max(all.longestPictureStallMs, session.longestPictureStallMs);
    };
    for (double speed : {1.0, 0.75}) {
        const QString suffix = speedSuffix(speed);
        const markchanges::Session set = markchanges::setWhilePlaying(file, in, speed, size);
        printWorst(QStringLiteral("f7_f8"), set.changes, QString(), suffix);
        const markchanges::Session nudged = markchanges::nudged(file, in, out, speed, size);
        printWorst(QStringLiteral("nudge"), nudged.changes, QString(), suffix);
        for (const QString &keys : {QStringLiteral("F1"), QStringLiteral("F2"), QStringLiteral("F3"),
                                    QStringLiteral("F4")})
            printWorst(keys.toLower(), nudged.changes, keys, suffix);
        add(set);
        add(nudged);
    }
    const QString prefix = qEnvironmentVariableIsSet("VIDEO_BENCH_LOAD") ? QStringLiteral("load_")
                                                                         : QStringLiteral("practice_");
    print(prefix + QStringLiteral("seconds"), all.seconds);
    print(prefix + QStringLiteral("sound_gaps"), all.soundGaps);
    print(prefix + QStringLiteral("longest_sound_gap_ms"), all.longestSoundGapMs);
    print(prefix + QStringLiteral("picture_stalls"), all.pictureStalls);
    print(prefix + QStringLiteral("longest_picture_stall_ms"), all.longestPictureStallMs);
}

} // namespace

int main(int argc, char *argv[])
{
    // The recorder hears this process's sound alone.
    PrivateSoundServer server;
    if (!server.start()) {
        std::fprintf(stderr, "video_bench: no sound server of its own could start\n");
        return 1;
    }
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: video_bench FILE IN OUT [WIDTHxHEIGHT]\n"
                             "  IN, OUT: the passage in media seconds\n");
        return 2;
    }
    const QString file = args.at(1);
    const double in = args.at(2).toDouble();
    const double out = args.at(3).toDouble();
    QSize size(960, 540);
    if (args.size() > 4) {
        const QStringList wh = args.at(4).split(QLatin1Char('x'));
        if (wh.size() == 2)
            size = QSize(wh.at(0).toInt(), wh.at(1).toInt());
    }
    if (!QFileInfo::exists(file) || out <= in || size.isEmpty()) {
        std::fprintf(stderr, "video_bench: no such file or no passage\n");
        return 2;
    }
    const bool cpuOnly = qEnvironmentVariableIsSet("VIDEO_BENCH_CPU_ONLY");
    const bool marksOnly = qEnvironmentVariableIsSet("VIDEO_BENCH_MARKS_ONLY");
    for (double speed : {1.0, 0.75, 0.5}) {
        if (cpuOnly || marksOnly)
            break;
        const Restarts restarts = measureRestarts(file, in, out, speed, size);
        const QString suffix = speedSuffix(speed);
        print(QStringLiteral("restarts") + suffix, restarts.count);
        print(QStringLiteral("restart_picture_gap_ms") + suffix, restarts.pictureGapMs);
        print(QStringLiteral("restart_sound_gap_ms") + suffix, restarts.soundGapMs);
        print(QStringLiteral("pictures_missing_per_round") + suffix, restarts.picturesMissing);
        print(QStringLiteral("repeating_cpu_per_media_s") + suffix, restarts.cpuPerMediaSecond);
    }
    if (!cpuOnly)
        measureMarkChanges(file, in, out, size);
    if (!marksOnly)
        print(QStringLiteral("cpu_per_media_s"), cpuPerMediaSecond(file, size));
    // The kept first pictures of the passage are the largest part.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    print(QStringLiteral("max_resident_mb"), double(usage.ru_maxrss) / 1024.0);
    return 0;
}
