#pragma once

#include "tests/support/soundprobe.h"

#include <QElapsedTimer>
#include <QList>
#include <QSize>
#include <QString>
#include <QVector>
#include <QWidget>

#include <memory>

class Media;

// One file played through the engine as the player makes it for this
// display, in a window of a given size, and watched as a learner would:
// the moment each picture is handed to the screen, and the sound the
// default output plays (for a bench that runs its own sound server, this
// process's sound alone). Wall times are seconds since the object was made.
// GUI thread only; the event loop must run for pictures to be seen.
class WatchedPlayback final
{
public:
    struct Shown {
        double wall;  // wall seconds
        double media; // media seconds of the picture
    };
    // A restart as the screen shows it: the first picture after a jump back
    // in the media by more than half a second.
    static constexpr double restartJump = 0.5;

    explicit WatchedPlayback(QSize size);
    ~WatchedPlayback();
    WatchedPlayback(const WatchedPlayback &) = delete;
    WatchedPlayback &operator=(const WatchedPlayback &) = delete;

    bool open(const QString &file);
    Media *media() const { return m_media.get(); }
    // Ticks of the reference stream in a media second.
    double ticksPerSecond() const;

    // Starts recording, then playback; false when the recorder cannot run.
    bool start();
    // Stops playback, then the recording.
    void stop();

    double now() const;
    const QList<Shown> &shown() const { return m_shown; }
    // Indices into shown() of the restarts so far.
    const QList<int> &restarts() const { return m_restarts; }
    // The first restart shown at or after the wall time; -1 when none yet.
    int restartAfter(double wall) const;
    // Restarts shown at or after the wall time.
    int restartsSince(double wall) const;

    struct Stand {
        double seconds = 0.0; // the longest a picture stood
        double after = 0.0;   // wall seconds from the restart to its end
        double end = 0.0;     // the wall time where the look ended
    };
    // The longest a picture stood on screen from the picture before
    // shown(restart) until the last picture shown before the wall time
    // until, or before the next restart, whichever comes first.
    Stand longestStand(int restart, double until) const;
    // Gaps between pictures longer than limit (wall seconds), over the
    // whole playback.
    QList<double> stalls(double limit) const;
    // Media seconds from one picture to the next, the median.
    double frameSeconds() const;

    // The recording, once stopped; mono at soundprobe::Recorder::rate.
    const QVector<qint16> &samples() const { return m_samples; }
    // Seconds into the recording of a wall time. The recorder's own delay
    // makes it a few tens of milliseconds early.
    double recordingSeconds(double wall) const;
    // Silences of at least minSeconds between the first and the last sound
    // of the recording, in recording seconds.
    QList<soundprobe::Span> silencesInSound(double minSeconds) const;

private:
    std::unique_ptr<Media> m_media;
    // Made after the engine so that it goes first: it draws the engine's
    // pictures until it is gone.
    QWidget m_window;
    QSize m_size;
    QElapsedTimer m_clock;
    soundprobe::Recorder m_recorder;
    double m_recordingStarted = 0.0; // wall seconds
    QVector<qint16> m_samples;
    QList<Shown> m_shown;
    QList<int> m_restarts;
};
