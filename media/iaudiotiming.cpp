// The timing side of IAudio: which media time is heard now, and when a
// given one will be, from the runs of samples written and the sink's own
// reckoning of what it has played.
#include "media/iaudio.h"

#include <iterator>

bool IAudio::heardSeconds(double &seconds) const
{
    QMutexLocker locker(&m_mutex);
    if (m_segments.empty())
        return false;
    const qint64 played = playedBytes();
    // The last run that started at or before the byte being played.
    auto it = m_segments.end();
    while (it != m_segments.begin() && std::prev(it)->startByte > played)
        --it;
    if (it == m_segments.begin()) {
        // Nothing of it is heard yet: its first sample is what comes next.
        seconds = m_segments.front().startSeconds;
        return true;
    }
    const Segment &segment = *std::prev(it);
    seconds = segment.startSeconds + double(played - segment.startByte) * segment.secondsPerByte;
    return true;
}

IAudio::Due IAudio::secondsUntilHeard(double mediaSeconds, int serial, double &wait) const
{
    QMutexLocker locker(&m_mutex);
    const double bytesPerSecond = double(m_format.bytesForDuration(1000000));
    if (!m_hasOutput || bytesPerSecond <= 0.0)
        return Due::Unknown;
    const qint64 played = playedBytes();
    qint64 end = m_written;
    bool ofSerial = false;
    for (auto it = m_segments.rbegin(); it != m_segments.rend(); end = it->startByte, ++it) {
        if (it->serial != serial)
            continue;
        ofSerial = true;
        if (mediaSeconds < it->startSeconds || it->secondsPerByte <= 0.0)
            continue;
        const double byte = double(it->startByte) + (mediaSeconds - it->startSeconds) / it->secondsPerByte;
        // Past the newest run the sound is still to come; that can be
        // told only while the output is being fed. What waits in the ring
        // is as good as held by the sink: it goes out before anything else.
        const double heldBytes = double(m_written - played);
        if (byte > double(end)
            && (it != m_segments.rbegin() || heldBytes < bytesPerSecond / 50.0
                || byte - double(end) > bytesPerSecond / 2.0))
            return Due::Unknown;
        wait = (byte - double(played)) / bytesPerSecond;
        return Due::Known;
    }
    if (!ofSerial)
        return Due::NotWritten;
    // Before every run kept of its serial: played out and forgotten.
    wait = -1.0;
    return Due::Known;
}
