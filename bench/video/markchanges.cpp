#include "bench/video/markchanges.h"

#include "bench/video/watchedplayback.h"
#include "media/media.h"
#include "tests/support/benchclock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace markchanges {

namespace {

using benchclock::waitUntil;
using soundprobe::Span;

constexpr double nudgeSeconds = 0.1; // the player's F1 to F4 step
constexpr double leadSeconds = 2.0;  // played before the start mark is set
constexpr double heardSeconds = 1.5; // heard from the start mark to the end mark
// How long the restart after a change is watched, as for the plain
// restarts: the kept first pictures run out within it.
constexpr double lookSeconds = 3.0;

// Sets the passage as the player does after a learner's gesture, repeating
// without end.
void setPassage(Media &engine, int64_t in, int64_t out)
{
    engine.setPassage(in, out, 0);
}

struct Made {
    QString gesture;
    double wall; // when the marks were changed
};

// The first restart after a change: the longest a picture stood, and the
// longest break in the sound from the change itself (a break may come
// before the restart is seen) to the end of the look at the pictures.
Change followed(const WatchedPlayback &playback, const Made &change, const QList<Span> &breaks)
{
    Change figure{change.gesture};
    const int restart = playback.restartAfter(change.wall);
    if (restart < 0) {
        std::fprintf(stderr, "%s: no restart followed\n", qPrintable(change.gesture));
        return figure;
    }
    const double at = playback.shown().at(restart).wall;
    const WatchedPlayback::Stand stand = playback.longestStand(restart, at + lookSeconds);
    figure.pictureGapMs = stand.seconds * 1000.0;
    const double from = playback.recordingSeconds(change.wall);
    const double to = playback.recordingSeconds(stand.end);
    for (const Span &span : breaks)
        if (span.to > from && span.from < to)
            figure.soundGapMs = std::max(figure.soundGapMs, (span.to - span.from) * 1000.0);
    // Where the worst lies, for whoever looks into a bad figure.
    std::fprintf(stderr, "%s: restart %.2f s after it, %.1f ms at the restart, worst %.1f ms, %.2f s after it\n",
                 qPrintable(change.gesture), at - change.wall,
                 (at - playback.shown().at(restart - 1).wall) * 1000.0, figure.pictureGapMs, stand.after);
    return figure;
}

// Each change's figures, and the stalls and breaks of the whole session.
Session figures(const WatchedPlayback &playback, const QList<Made> &made, double speed)
{
    Session session;
    const QList<Span> breaks = playback.silencesInSound(0.002);
    for (const Made &change : made)
        session.changes.append(followed(playback, change, breaks));
    const QList<WatchedPlayback::Shown> &shown = playback.shown();
    if (shown.size() > 1)
        session.seconds = shown.last().wall - shown.first().wall;
    const double frame = playback.frameSeconds() / speed;
    if (frame > 0.0) {
        const QList<double> stalls = playback.stalls(2.0 * frame);
        session.pictureStalls = int(stalls.size());
        for (double stall : stalls)
            session.longestPictureStallMs = std::max(session.longestPictureStallMs, stall * 1000.0);
    }
    // From the first picture on: the seek that brings the file near the
    // mark may cut the sound before it, as any seek does.
    const double begun = shown.isEmpty() ? 0.0 : playback.recordingSeconds(shown.first().wall);
    for (const Span &gap : playback.silencesInSound(0.015)) {
        if (gap.from < begun)
            continue;
        ++session.soundGaps;
        session.longestSoundGapMs = std::max(session.longestSoundGapMs, (gap.to - gap.from) * 1000.0);
    }
    return session;
}

// Lets the last restart's sound be heard: it plays a moment after it is
// decoded.
void hearTheLast()
{
    waitUntil([] { return false; }, 300);
}

} // namespace

Session setWhilePlaying(const QString &file, double at, double speed, QSize size)
{
    WatchedPlayback playback(size);
    if (!playback.open(file))
        return {};
    Media *media = playback.media();
    const double tick = playback.ticksPerSecond();
    setPassage(*media, media->startTime(), media->startTime() + media->duration());
    media->setSpeed(speed);
    if (!playback.start())
        return {};
    // The engine keeps no seek made before it first plays.
    media->seekTo(int64_t((at - leadSeconds) * tick));
    QList<Made> made;
    const int patienceMs = int(20000 / speed);
    if (waitUntil([&] { return media->position() >= int64_t(at * tick); }, patienceMs)) {
        const int64_t in = media->position();
        setPassage(*media, in, media->markOut());
        waitUntil([&] { return media->position() >= in + media->ticks(heardSeconds); }, patienceMs);
        made.append({QStringLiteral("F7/F8"), playback.now()});
        setPassage(*media, media->markIn(), media->position());
        waitUntil([&] { return playback.restartsSince(made.last().wall) > 3; }, 3 * patienceMs);
        hearTheLast();
    }
    playback.stop();
    return figures(playback, made, speed);
}

Session nudged(const QString &file, double in, double out, double speed, QSize size)
{
    WatchedPlayback playback(size);
    if (!playback.open(file))
        return {};
    Media *media = playback.media();
    const double tick = playback.ticksPerSecond();
    setPassage(*media, int64_t(std::ceil(in * tick)), int64_t(out * tick));
    media->setSpeed(speed);
    if (!playback.start())
        return {};
    const int patienceMs = int((out - in) / speed * 3000.0) + 10000;
    // The changes come once the first round has kept the passage's first
    // pictures, as a learner's come after hearing it.
    bool playing = waitUntil([&] { return playback.restarts().size() >= 2; }, 2 * patienceMs);
    struct Nudge {
        const char *gesture;
        bool start; // the start mark moves, else the end mark
        int direction;
    };
    QList<Made> made;
    for (const Nudge &nudge : {Nudge{"F1", true, -1}, Nudge{"F2", true, 1}, Nudge{"F3", false, -1},
                               Nudge{"F4", false, 1}}) {
        if (!playing)
            break;
        const int64_t quarter = (media->markOut() - media->markIn()) / 4;
        const int64_t middle = media->markIn() + 2 * quarter;
        playing = waitUntil([&] {
            const int64_t shown = media->position();
            return shown >= middle && shown < middle + quarter;
        }, patienceMs);
        if (!playing)
            break;
        const int64_t step = nudge.direction * media->ticks(nudgeSeconds);
        made.append({QString::fromLatin1(nudge.gesture), playback.now()});
        if (nudge.start)
            setPassage(*media, media->markIn() + step, media->markOut());
        else
            setPassage(*media, media->markIn(), media->markOut() + step);
        playing = waitUntil([&] { return playback.restartsSince(made.last().wall) >= 2; }, 2 * patienceMs);
    }
    hearTheLast();
    playback.stop();
    return figures(playback, made, speed);
}

} // namespace markchanges
