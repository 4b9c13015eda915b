#pragma once

#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <cstdint>

// The engine's clock of what is shown, in media seconds, with the playing
// speed as its pace: set to a picture's time when the picture is shown, it
// runs on at speed media seconds per second of wall time until the next is,
// and stands at the picture shown last while playback is paused. Decoding threads sleep on it while
// paused.
//
// The GUI thread sets, pauses and changes the speed; any thread reads.
class PlaybackClock final
{
public:
    static constexpr double slowest = 0.25;
    static constexpr double fastest = 3.0;

    PlaybackClock() = default;
    Q_DISABLE_COPY_MOVE(PlaybackClock)

    // Media seconds per second of playing time; clamped to slowest-fastest.
    double speed() const { return m_speed.load(); }
    void setSpeed(double speed);

    // The clock reads mediaSeconds now.
    void set(double mediaSeconds);
    // Media seconds now.
    double seconds() const;
    // Media seconds of the last set().
    double lastSet() const { return m_seconds.load(); }

    bool paused() const { return m_paused.load(); }
    // False when the clock was in that state already.
    bool setPaused(bool paused);
    // Sleeps while paused, at most timeoutMs; wake() ends the sleep early
    // (the engine stops).
    void waitWhilePaused(int timeoutMs);
    void wake();

private:
    // --- Written by the GUI thread, read by any (atomic)
    std::atomic<double> m_speed{1.0};
    std::atomic<double> m_seconds{0.0}; // media seconds at m_since
    std::atomic<int64_t> m_since{0};    // µs, av_gettime
    std::atomic<bool> m_paused{false};
    // --- For waitWhilePaused(); guards nothing but the wait
    QMutex m_waitMutex;
    QWaitCondition m_resumed;
};
