// The timing side of Media: clock, refresh timer, pause, seeks, marks, end
// of mark and speed.
#include "media/media.h"

#include "media/iaudio.h"

#include <QTimer>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/time.h>
}

#include <algorithm>
#include <cmath>

namespace {

// "hh:mm:ss"; hours take as many digits as they need.
QString hoursMinutesSeconds(int seconds)
{
    const QLatin1Char zero('0');
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, zero)
        .arg(seconds % 3600 / 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}

int64_t orZero(int64_t value)
{
    return value == AV_NOPTS_VALUE ? 0 : value;
}

} // namespace

double Media::referenceTimeBase() const
{
    if (!m_referenceStream || m_referenceStream->time_base.den == 0)
        return 0.0;
    return av_q2d(m_referenceStream->time_base);
}

void Media::resetClocks()
{
    m_audioClock = 0.0;
    m_frameLastPts = 0.0;
    m_videoClock = 0.0;
    m_currentPts = 0.0;
    m_markInClock = 0.0;
    m_markOutClock = 0.0;
    {
        QMutexLocker locker(&m_pictureMutex);
        m_pictureCount = 0;
    }
    m_readIndex = 0;
    m_writeIndex = 0;
    m_seekTarget = 0;
    m_seekState = SeekIdle;
    m_seekIsLoop = false;
    m_seekIsRetry = false;
    m_seekBackoff = 0.0;
    const int64_t now = av_gettime();
    m_currentPtsTime = now;
    m_frameTimer = double(now) / 1000000.0;
    m_frameLastDelay = 0.04;
    m_soundAwaitedSerial = -1;
    m_soundlessSerial = -1;
    // No worker runs: nothing written before this is still on its way.
    m_audio->openGate();
}

bool Media::heardSeconds(double &seconds) const
{
    return m_audio->heardSeconds(seconds);
}

double Media::clock() const
{
    if (!hasVideo()) {
        double heard = 0.0;
        if (heardSeconds(heard))
            return heard / m_speed;
        return m_audioClock;
    }
    if (m_paused)
        return m_currentPts;
    return m_currentPts + double(av_gettime() - m_currentPtsTime) / 1000000.0;
}

int64_t Media::position() const
{
    const double timeBase = referenceTimeBase();
    if (timeBase <= 0.0)
        return 0;
    if (m_stopped && m_hasResumePosition)
        return m_resumePosition;
    return playingPosition();
}

int64_t Media::playingPosition() const
{
    const double timeBase = referenceTimeBase();
    if (timeBase <= 0.0)
        return 0;
    if (!hasVideo()) {
        double heard = 0.0;
        if (heardSeconds(heard))
            return int64_t(std::llround(heard / timeBase));
        // Between a seek and its first sound the place is where it goes.
        // The audio clock is no guide until the audio thread has taken the
        // seek: it runs on through what was read for the place left, which
        // the output drops as fast as it is decoded.
        if ((seekPending() && !m_seekIsLoop) || m_audio->gated())
            return m_seekTarget;
    }
    const double seconds = hasVideo() ? m_currentPts.load() : m_audioClock.load();
    return int64_t(m_speed * seconds / timeBase);
}

int64_t Media::ticks(double seconds) const
{
    const double timeBase = referenceTimeBase();
    if (timeBase <= 0.0)
        return 1;
    return std::max<int64_t>(1, std::llround(seconds / timeBase));
}

int64_t Media::startTime() const
{
    const AVStream *stream = hasVideo() ? m_referenceStream : m_audioStream;
    return stream ? orZero(stream->start_time) : 0;
}

int64_t Media::duration() const
{
    const AVStream *stream = hasVideo() ? m_referenceStream : m_audioStream;
    if (!stream)
        return 0;
    if (stream->duration != AV_NOPTS_VALUE)
        return stream->duration;
    if (!isOpen() || m_formatContext->duration == AV_NOPTS_VALUE || stream->time_base.num == 0)
        return 0;
    return int64_t(double(m_formatContext->duration) / AV_TIME_BASE * stream->time_base.den
                   / stream->time_base.num);
}

int64_t Media::endTime() const
{
    return startTime() + duration();
}

QString Media::timeString(int64_t position) const
{
    const double timeBase = referenceTimeBase();
    return hoursMinutesSeconds(m_speed > 0.0 ? int(double(position) * timeBase / m_speed) : 0);
}

QString Media::mediaTimeString(int64_t position) const
{
    return hoursMinutesSeconds(int(double(position) * referenceTimeBase()));
}

void Media::video_refresh_timer()
{
    if (m_referenceStreamIndex < 0) {
        m_refreshTimer->start(100);
        return;
    }
    {
        QMutexLocker locker(&m_pictureMutex);
        if (m_pictureCount < 1) {
            locker.unlock();
            m_refreshTimer->start(10);
            return;
        }
    }
    const VideoPicture &picture = m_pictures[std::size_t(m_readIndex)];
    double soundWait = 0.0;
    const bool followsSound = pictureFollowsSound(picture, soundWait);
    if (followsSound && soundWait > 0.002) {
        if (!m_paused) // resuming looks again
            m_refreshTimer->start(std::clamp(int(soundWait * 1000.0), 1, 50));
        return;
    }
    const int64_t now = av_gettime();
    m_currentPts = picture.pts;
    m_currentPtsTime = now;

    double delay = picture.pts - m_frameLastPts;
    if (delay <= 0.0 || delay >= 1.0)
        delay = m_frameLastDelay; // a jump: seek, loop or speed change
    else
        m_frameLastDelay = delay;
    m_frameLastPts = picture.pts;
    m_frameTimer += delay;
    double wait = std::max(0.01, m_frameTimer - double(now) / 1000000.0);
    if (followsSound) {
        // The next picture is looked at a little before it is due, counted
        // from when this one was due, so that a late timer is not carried
        // on; should the sound end first, the clock goes on from here.
        m_frameTimer = double(now) / 1000000.0 + delay;
        wait = std::max(0.001, soundWait + delay - 0.003);
    }

    const int shown = m_readIndex;
    emit frameReady(shown);
    if (!m_paused)
        m_refreshTimer->start(int(wait * 1000.0 + 0.5));

    m_readIndex = (m_readIndex + 1) % int(m_pictures.size());
    QMutexLocker locker(&m_pictureMutex);
    --m_pictureCount;
    m_pictureCondition.wakeAll();
}

bool Media::pictureFollowsSound(const VideoPicture &picture, double &wait)
{
    if (!m_audioCodecContext || !m_audio->hasOutput() || picture.serial == m_soundlessSerial)
        return false;
    const auto due = m_audio->secondsUntilHeard(picture.mediaSeconds, picture.serial, wait);
    switch (due) {
    case IAudio::Due::Known:
        return true;
    case IAudio::Due::Unknown:
        return false;
    case IAudio::Due::NotWritten:
        break;
    }
    // A picture left from before a seek goes at once; the first picture
    // after a seek waits for its sound, which comes a moment later, unless
    // it does not come at all.
    if (picture.serial != m_seekSerial)
        return false;
    const int64_t now = av_gettime();
    if (m_soundAwaitedSerial != picture.serial) {
        m_soundAwaitedSerial = picture.serial;
        m_soundAwaitedSince = now;
    }
    if (now - m_soundAwaitedSince < 400000) {
        wait = 0.005;
        return true;
    }
    m_soundlessSerial = picture.serial;
    return false;
}

void Media::pause(bool pause)
{
    if (m_stopped)
        return;
    bool expected = !pause;
    if (!m_paused.compare_exchange_strong(expected, pause))
        return; // already in that state
    if (!pause) {
        const int64_t now = av_gettime();
        m_currentPts = m_currentPts + double(now - m_currentPtsTime) / 1000000.0;
        m_frameTimer += double(now - m_currentPtsTime) / 1000000.0;
        m_refreshTimer->start(10);
    }
    emit paused(pause);
}

void Media::seekTo(int64_t target)
{
    requestSeek(target, false);
}

bool Media::requestSeek(int64_t target, bool loop, bool retry)
{
    if (!isOpen())
        return false;
    const int64_t clamped = std::max(startTime(), std::min(target, endTime()));
    if (m_stopped) {
        // Held: the place where playback goes on moves; the decoding
        // threads, ending, never move it.
        if (!m_hasResumePosition || loop)
            return false;
        m_resumePosition = clamped;
        return true;
    }
    int expected = SeekIdle;
    if (!m_seekState.compare_exchange_strong(expected, SeekPlacing))
        return false; // one is pending, or another thread is placing one
    m_seekTarget = clamped;
    m_seekIsLoop = loop;
    m_seekIsRetry = retry;
    m_seekState = SeekPending;
    // The user's seeks are heard at once: what the output holds is dropped
    // now, and what is decoded before the seek is carried out with it.
    if (!loop && !retry)
        m_audio->discard();
    return true;
}

void Media::seekBy(int64_t delta)
{
    if (!isOpen() || seekPending())
        return;
    seekTo(position() + delta);
}

void Media::seekRelative(double seconds)
{
    if (!isOpen() || seekPending())
        return;
    if (m_stopped) {
        seekBy(ticks(std::abs(seconds) * m_speed) * (seconds < 0 ? -1 : 1));
        return;
    }
    const int64_t micro = int64_t((clock() + seconds) * 1000000.0 * m_speed);
    seekTo(av_rescale_q(micro, AVRational{1, 1000000}, m_referenceStream->time_base));
}

void Media::seekBackward()
{
    seekBy(int64_t(double(duration()) * -0.1));
}

void Media::seekForward()
{
    seekBy(int64_t(double(duration()) * 0.1));
}

void Media::seekBegin()
{
    seekTo(startTime());
}

void Media::setOptionAllowDirtySeek(bool dirty)
{
    m_allowDirtySeek = dirty;
}

void Media::setMarkIn(int64_t position)
{
    m_markIn = std::max(startTime(), std::min(position, m_markOut.load()));
    m_passagePlays = 0;
    m_passageDone = false;
    m_markInClock = clock();
    emit markingChanged();
}

void Media::setMarkOut(int64_t position)
{
    m_markOut = std::max(m_markIn.load(), std::min(position, endTime()));
    m_passagePlays = 0;
    m_passageDone = false;
    m_markOutClock = clock();
    emit markingChanged();
}

void Media::setMarkIn()
{
    setMarkIn(position());
}

void Media::setMarkOut()
{
    setMarkOut(position());
}

void Media::resetMarkIn()
{
    setMarkIn(startTime());
}

void Media::resetMarkOut()
{
    setMarkOut(endTime());
}

void Media::setLoop(bool loop)
{
    m_loop = loop;
}

// Called by the decoding thread that reaches the end mark, as often as it
// meets data there; a pass counts once, when its restart is placed.
void Media::endOfMark()
{
    if (m_passageDone)
        return;
    const int count = m_repeatCount;
    if (count > 0 && m_passagePlays + 1 >= count) {
        if (m_passageDone.exchange(true))
            return;
        emit passageRepeated(++m_passagePlays);
        emit passageFinished();
        return;
    }
    if (!requestSeek(m_markIn, true))
        return;
    emit passageRepeated(++m_passagePlays);
    if (!m_loop)
        pause(true);
}

void Media::setRepeatCount(int count)
{
    m_repeatCount = std::max(0, count);
    m_passagePlays = 0;
    m_passageDone = false;
}

int Media::repeatCount() const
{
    return m_repeatCount;
}

void Media::setSpeed(double speed)
{
    m_speed = std::clamp(speed, 0.25, 3.0);
}

double Media::speed() const
{
    return m_speed;
}

void Media::setPlaySpeed(int playspeed)
{
    static constexpr double speeds[] = {0.25, 0.333, 0.5, 1.0, 2.0, 3.0};
    m_speed = playspeed >= 0 && playspeed < 6 ? speeds[playspeed] : 1.0;
    appendLog(tr("Playing speed set to %2.\n").arg(m_speed.load()));
}
