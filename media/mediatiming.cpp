// The timing side of Media: readings, the refresh timer, pause, seeks,
// marks, the end of the passage and speed.
#include "media/media.h"

#include "media/iaudio.h"
#include "media/mediafile.h"

#include <QTimer>

extern "C" {
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

} // namespace

double Media::referenceTimeBase() const
{
    return m_file ? m_file->timeBase() : 0.0;
}

// Before the threads start: nothing written before this is still on its
// way.
void Media::resetForStart()
{
    m_seek.drop();
    m_pictures.reset();
    const int serial = m_seek.serial();
    m_videoQueue.start(serial);
    m_audioQueue.start(serial);
    m_clock.set(0.0);
    m_soundDecoded = 0.0;
    m_holdAtEnd = false;
    m_frameLastSeconds = 0.0;
    m_frameTimer = double(av_gettime()) / 1000000.0;
    m_frameLastDelay = 0.04;
    m_pausedAt = av_gettime();
    m_soundAwaitedSerial = -1;
    m_soundlessSerial = -1;
    m_audio->openGate();
}

double Media::clock() const
{
    const double speed = m_clock.speed();
    if (!hasVideo()) {
        double heard = 0.0;
        if (m_audio->heardSeconds(heard))
            return heard / speed;
        return m_soundDecoded / speed;
    }
    return m_clock.seconds() / speed;
}

int64_t Media::position() const
{
    if (referenceTimeBase() <= 0.0)
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
        if (m_audio->heardSeconds(heard))
            return int64_t(std::llround(heard / timeBase));
        // Between a seek and its first sound the place is where it goes.
        // The decoded time is no guide until the audio thread has taken the
        // seek: it runs on through what was read for the place left, which
        // the output drops as fast as it is decoded.
        int64_t target = 0;
        SeekRequest::Kind kind = SeekRequest::Kind::User;
        const bool jumping = m_seek.take(target, kind) && kind != SeekRequest::Kind::LoopRestart;
        if (jumping || m_audio->gated())
            return m_seek.target();
        return int64_t(m_soundDecoded / timeBase);
    }
    return int64_t(m_clock.lastSet() / timeBase);
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
    return m_file ? m_file->startTime() : 0;
}

int64_t Media::duration() const
{
    return m_file ? m_file->duration() : 0;
}

int64_t Media::endTime() const
{
    return startTime() + duration();
}

QString Media::timeString(int64_t position) const
{
    return hoursMinutesSeconds(int(double(position) * referenceTimeBase() / m_clock.speed()));
}

QString Media::mediaTimeString(int64_t position) const
{
    return hoursMinutesSeconds(int(double(position) * referenceTimeBase()));
}

void Media::video_refresh_timer()
{
    holdWhenEndHeard();
    if (!isOpen()) {
        m_refreshTimer->start(100);
        return;
    }
    // What was decoded for a place the user has left is not shown.
    m_pictures.flush(m_seek.userSerial());
    const VideoPicture *picture = m_pictures.peek();
    if (!picture) {
        if (!m_clock.paused())
            m_refreshTimer->start(10);
        return;
    }
    double soundWait = 0.0;
    const bool followsSound = pictureFollowsSound(*picture, soundWait);
    if (followsSound && soundWait > 0.002) {
        if (!m_clock.paused()) // resuming looks again
            m_refreshTimer->start(std::clamp(int(soundWait * 1000.0), 1, 50));
        return;
    }
    const int64_t now = av_gettime();
    m_clock.set(picture->mediaSeconds);

    // Wall time between this picture and the last.
    double delay = (picture->mediaSeconds - m_frameLastSeconds) / m_clock.speed();
    if (delay <= 0.0 || delay >= 1.0)
        delay = m_frameLastDelay; // a jump: seek, loop or speed change
    else
        m_frameLastDelay = delay;
    m_frameLastSeconds = picture->mediaSeconds;
    m_frameTimer += delay;
    double wait = std::max(0.01, m_frameTimer - double(now) / 1000000.0);
    if (followsSound) {
        // The next picture is looked at a little before it is due, counted
        // from when this one was due, so that a late timer is not carried
        // on; should the sound end first, the clock goes on from here.
        m_frameTimer = double(now) / 1000000.0 + delay;
        wait = std::max(0.001, soundWait + delay - 0.003);
    }

    emit frameReady(m_pictures.readIndex());
    if (!m_clock.paused())
        m_refreshTimer->start(int(wait * 1000.0 + 0.5));
    m_pictures.next();
}

bool Media::pictureFollowsSound(const VideoPicture &picture, double &wait)
{
    if (!audioDrivesMarks() || !m_audio->hasOutput() || picture.serial == m_soundlessSerial)
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
    if (picture.serial != m_seek.serial())
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
    if (!m_clock.setPaused(pause))
        return; // already in that state
    const int64_t now = av_gettime();
    if (pause) {
        m_pausedAt = now;
    } else {
        // The picture due next is due as much later as the pause lasted.
        m_frameTimer += double(now - m_pausedAt) / 1000000.0;
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
    using Kind = SeekRequest::Kind;
    if (!m_seek.place(clamped, retry ? Kind::Retry : loop ? Kind::LoopRestart : Kind::User))
        return false;
    // The user's seeks are heard at once: what the output holds is dropped
    // now, and what is decoded before the seek is carried out with it.
    if (!loop && !retry) {
        m_holdAtEnd = false;
        m_audio->discard();
    }
    return true;
}

void Media::seekBy(int64_t delta)
{
    if (!isOpen() || m_seek.pending())
        return;
    seekTo(position() + delta);
}

void Media::seekRelative(double seconds)
{
    if (!isOpen() || m_seek.pending())
        return;
    const double speed = m_clock.speed();
    if (m_stopped) {
        seekBy(ticks(std::abs(seconds) * speed) * (seconds < 0 ? -1 : 1));
        return;
    }
    seekTo(int64_t(std::llround((clock() + seconds) * speed / referenceTimeBase())));
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
    cancelHold();
    emit markingChanged();
}

void Media::setMarkOut(int64_t position)
{
    m_markOut = std::max(m_markIn.load(), std::min(position, endTime()));
    m_passagePlays = 0;
    m_passageDone = false;
    cancelHold();
    m_seek.wakeWaiters(); // a picture waiting at the old end looks again
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
// meets data there; a pass counts once, when its restart is placed or, with
// the loop off, when the hold is.
void Media::endOfMark()
{
    if (m_passageDone || m_holdAtEnd)
        return;
    const int count = m_repeatCount;
    if (count > 0 && m_passagePlays + 1 >= count) {
        if (m_passageDone.exchange(true))
            return;
        emit passageRepeated(++m_passagePlays);
        emit passageFinished();
        return;
    }
    if (!m_loop) {
        m_holdSerial = m_seek.serial();
        if (m_holdAtEnd.exchange(true))
            return;
        emit passageRepeated(++m_passagePlays);
        return;
    }
    if (!requestSeek(m_markIn, true))
        return;
    emit passageRepeated(++m_passagePlays);
}

void Media::holdWhenEndHeard()
{
    if (!m_holdAtEnd || m_stopped)
        return;
    const int serial = m_holdSerial;
    bool heard = true;
    if (serial == m_seek.serial() && audioDrivesMarks() && m_audio->hasOutput()) {
        double wait = 0.0;
        const auto due = m_audio->secondsUntilHeard(double(m_markOut) * referenceTimeBase(), serial, wait);
        heard = due != IAudio::Due::Known || wait <= 0.0;
    } else if (serial == m_seek.serial() && !audioDrivesMarks()) {
        heard = m_pictures.count() == 0; // the pictures up to the end are shown
    }
    if (!heard || !m_holdAtEnd.exchange(false))
        return;
    if (!m_loop)
        pause(true);
    requestSeek(m_markIn, true);
}

// The passage changed while it waited to hold at its end: it starts again
// instead, as it would have.
void Media::cancelHold()
{
    if (m_holdAtEnd.exchange(false) && !m_stopped)
        requestSeek(m_markIn, true);
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
    m_clock.setSpeed(speed);
}

double Media::speed() const
{
    return m_clock.speed();
}

void Media::setPlaySpeed(int playspeed)
{
    static constexpr double speeds[] = {0.25, 0.333, 0.5, 1.0, 2.0, 3.0};
    m_clock.setSpeed(playspeed >= 0 && playspeed < 6 ? speeds[playspeed] : 1.0);
    appendLog(tr("Playing speed set to %2.\n").arg(m_clock.speed()));
}
