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
    return m_parts.timeBase();
}

// Before the threads start: nothing written before this is still on its
// way.
void Media::resetForStart()
{
    m_parts.seek.drop();
    m_parts.pictures.reset();
    const int serial = m_parts.seek.serial();
    m_parts.videoQueue.start(serial);
    m_parts.audioQueue.start(serial);
    m_parts.clock.set(0.0);
    m_parts.soundDecoded = 0.0;
    m_parts.passage.takeHold();
    m_frameLastSeconds = 0.0;
    m_frameLastSerial = -1;
    m_frameTimer = double(av_gettime()) / 1000000.0;
    m_frameLastDelay = 0.04;
    m_pausedAt = av_gettime();
    m_soundAwaitedSerial = -1;
    m_soundlessSerial = -1;
    m_parts.audio->openGate();
}

double Media::clock() const
{
    const double speed = m_parts.clock.speed();
    if (!hasVideo()) {
        double heard = 0.0;
        if (m_parts.audio->heardSeconds(heard))
            return heard / speed;
        return m_parts.soundDecoded / speed;
    }
    return m_parts.clock.seconds() / speed;
}

int64_t Media::position() const
{
    if (referenceTimeBase() <= 0.0)
        return 0;
    if (m_parts.stopped && m_hasResumePosition)
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
        if (m_parts.audio->heardSeconds(heard))
            return int64_t(std::llround(heard / timeBase));
        // Between a seek and its first sound the place is where it goes.
        // The decoded time is no guide until the audio thread has taken the
        // seek: it runs on through what was read for the place left, which
        // the output drops as fast as it is decoded.
        int64_t target = 0;
        SeekRequest::Kind kind = SeekRequest::Kind::User;
        const bool jumping = m_parts.seek.take(target, kind) && kind != SeekRequest::Kind::LoopRestart;
        if (jumping || m_parts.audio->gated())
            return m_parts.seek.target();
        return int64_t(m_parts.soundDecoded / timeBase);
    }
    return int64_t(m_parts.clock.lastSet() / timeBase);
}

int64_t Media::ticks(double seconds) const
{
    return m_parts.ticks(seconds);
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
    return hoursMinutesSeconds(int(double(position) * referenceTimeBase() / m_parts.clock.speed()));
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
    m_parts.pictures.flush(m_parts.seek.userSerial());
    const VideoPicture *picture = m_parts.pictures.peek();
    if (!picture) {
        if (!m_parts.clock.paused())
            m_refreshTimer->start(10);
        return;
    }
    double soundWait = 0.0;
    const bool followsSound = pictureFollowsSound(*picture, soundWait);
    if (followsSound && soundWait > 0.002) {
        if (!m_parts.clock.paused()) // resuming looks again
            m_refreshTimer->start(std::clamp(int(soundWait * 1000.0), 1, 50));
        return;
    }
    const int64_t now = av_gettime();
    m_parts.clock.set(picture->mediaSeconds);

    // Wall time between this picture and the last.
    // Across a seek (or the start) the two pictures' times say nothing of
    // how long the first is to stand: a jump of half a second forward
    // would otherwise hold the picture half a second.
    double delay = (picture->mediaSeconds - m_frameLastSeconds) / m_parts.clock.speed();
    const bool jumped = picture->serial != m_frameLastSerial;
    m_frameLastSerial = picture->serial;
    if (jumped || delay <= 0.0 || delay >= 1.0)
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

    emit frameReady(m_parts.pictures.readIndex());
    if (!m_parts.clock.paused())
        m_refreshTimer->start(int(wait * 1000.0 + 0.5));
    m_parts.pictures.next();
}

void Media::showStill()
{
    double seconds = 0.0;
    FramePtr still = m_parts.pictureReader.takeStill(seconds);
    // Only while still held: playing, the decoders show the place.
    if (!still || !m_parts.stopped || !m_hasResumePosition)
        return;
    const int id = m_parts.pictures.readIndex();
    VideoPicture *picture = m_parts.pictures.slot(id);
    const PictureFormat &format = m_parts.pictureFormat;
    const QSize size = PictureConverter::slotSize(QSize(still->width, still->height), displaySize(),
                                                  format.fixedSize, format.pixelFormat, format.powerOfTwo);
    if (!picture || !picture->reallocate(size.width(), size.height(), format.pixelFormat)
        || !m_stillConverter.convert(still.get(), *picture, format.scaleFlags))
        return;
    picture->mediaSeconds = seconds;
    picture->serial = m_parts.seek.serial();
    emit frameReady(id);
}

bool Media::pictureFollowsSound(const VideoPicture &picture, double &wait)
{
    if (!m_parts.audioDrivesMarks() || !m_parts.audio->hasOutput() || picture.serial == m_soundlessSerial)
        return false;
    const auto due = m_parts.audio->secondsUntilHeard(picture.mediaSeconds, picture.serial, wait);
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
    if (picture.serial != m_parts.seek.serial())
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
    if (m_parts.stopped)
        return;
    if (!m_parts.clock.setPaused(pause))
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
    if (m_parts.stopped) {
        // Held: the place where playback goes on moves; the decoding
        // threads, ending, never move it.
        if (!m_hasResumePosition || loop)
            return false;
        m_resumePosition = clamped;
        // What is shown follows: the time and the slider at once, the
        // picture once read.
        if (hasVideo())
            m_parts.pictureReader.readStill(double(clamped) * referenceTimeBase());
        emit heldPlaceMoved(clamped);
        return true;
    }
    using Kind = SeekRequest::Kind;
    if (!m_parts.seek.place(clamped, retry ? Kind::Retry : loop ? Kind::LoopRestart : Kind::User))
        return false;
    // The user's seeks are heard at once: what the output holds is dropped
    // now, and what is decoded before the seek is carried out with it.
    if (!loop && !retry) {
        m_parts.passage.takeHold();
        m_parts.audio->discard();
    }
    return true;
}

void Media::seekBy(int64_t delta)
{
    if (!isOpen() || m_parts.seek.pending())
        return;
    seekTo(position() + delta);
}

void Media::seekRelative(double seconds)
{
    if (!isOpen() || m_parts.seek.pending())
        return;
    const double speed = m_parts.clock.speed();
    if (m_parts.stopped) {
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
    m_parts.allowDirtySeek = dirty;
}

void Media::setPassage(int64_t in, int64_t out, int count)
{
    passageChanged(m_parts.passage.set(in, out, count));
}

void Media::setMarkIn(int64_t position)
{
    passageChanged(m_parts.passage.setIn(position));
}

void Media::setMarkOut(int64_t position)
{
    passageChanged(m_parts.passage.setOut(position));
}

void Media::passageChanged(bool holdCalledOff)
{
    if (holdCalledOff && !m_parts.stopped)
        requestSeek(m_parts.passage.in(), true);
    // The next restart starts there, most likely seconds after a key frame:
    // its first pictures are read now, so that it shows them at once.
    // A nudge within the lead of the start read last finds its pictures
    // kept already.
    const Passage::Marks marks = m_parts.passage.marks();
    const int64_t lead = ticks(PassageHead::leadSeconds);
    const bool kept = m_headAskedFor >= 0 && marks.in >= m_headAskedFor - lead && marks.in <= m_headAskedFor + lead;
    if (hasVideo() && !kept && marks.in > startTime()) {
        m_headAskedFor = marks.in;
        m_parts.pictureReader.readHead(double(marks.in) * referenceTimeBase(),
                                       double(marks.out) * referenceTimeBase());
    }
    m_parts.seek.wakeWaiters();
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
    m_parts.passage.setLoop(loop);
}

void Media::holdWhenEndHeard()
{
    const int serial = m_parts.passage.holdSerial();
    if (serial < 0 || m_parts.stopped)
        return;
    bool heard = true;
    if (serial == m_parts.seek.serial() && m_parts.audioDrivesMarks() && m_parts.audio->hasOutput()) {
        double wait = 0.0;
        const double end = double(m_parts.passage.out()) * referenceTimeBase();
        const auto due = m_parts.audio->secondsUntilHeard(end, serial, wait);
        heard = due != IAudio::Due::Known || wait <= 0.0;
    } else if (serial == m_parts.seek.serial() && !m_parts.audioDrivesMarks()) {
        heard = m_parts.pictures.count() == 0; // the pictures up to the end are shown
    }
    if (!heard || !m_parts.passage.takeHold())
        return;
    if (!m_parts.passage.loops())
        pause(true);
    requestSeek(m_parts.passage.in(), true);
}

void Media::setRepeatCount(int count)
{
    if (m_parts.passage.setRepeatCount(count) && !m_parts.stopped)
        requestSeek(m_parts.passage.in(), true);
}

int Media::repeatCount() const
{
    return m_parts.passage.repeatCount();
}

void Media::setSpeed(double speed)
{
    m_parts.clock.setSpeed(speed);
}

double Media::speed() const
{
    return m_parts.clock.speed();
}

void Media::setPlaySpeed(int playspeed)
{
    static constexpr double speeds[] = {0.25, 0.333, 0.5, 1.0, 2.0, 3.0};
    m_parts.clock.setSpeed(playspeed >= 0 && playspeed < 6 ? speeds[playspeed] : 1.0);
    m_parts.log.append(tr("Playing speed set to %2.\n").arg(m_parts.clock.speed()));
}
