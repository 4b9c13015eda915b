#include "media/playbackclock.h"

#include <QMutexLocker>

extern "C" {
#include <libavutil/time.h>
}

#include <algorithm>

void PlaybackClock::setSpeed(double speed)
{
    // The clock runs on from where it stands, at the new pace.
    set(seconds());
    m_speed = std::clamp(speed, slowest, fastest);
}

void PlaybackClock::set(double mediaSeconds)
{
    m_since = av_gettime();
    m_seconds = mediaSeconds;
}

double PlaybackClock::seconds() const
{
    if (m_paused)
        return m_seconds;
    return m_seconds + double(av_gettime() - m_since) / 1000000.0 * m_speed;
}

bool PlaybackClock::setPaused(bool paused)
{
    bool expected = !paused;
    if (!m_paused.compare_exchange_strong(expected, paused))
        return false;
    // Paused, it stands at what was shown last; it goes on from there.
    if (!paused) {
        m_since = av_gettime();
        wake();
    }
    return true;
}

void PlaybackClock::waitWhilePaused(int timeoutMs)
{
    QMutexLocker locker(&m_waitMutex);
    if (m_paused)
        m_resumed.wait(&m_waitMutex, QDeadlineTimer(timeoutMs));
}

void PlaybackClock::wake()
{
    QMutexLocker locker(&m_waitMutex);
    m_resumed.wakeAll();
}
