#pragma once

#include "media/audiodecodethread.h"
#include "media/media.h"
#include "media/parsingthread.h"
#include "media/videodecodethread.h"

#include <QTimer>

// Access to a Media's parts for the engine's tests: the opened file, the
// queues, the seek request, the clock, the picture queue, the threads, the
// refresh timer and the log, each through its own interface.
class MediaProbe
{
public:
    explicit MediaProbe(Media *media) : m(media) {}

    const MediaFile &file() const { return *m->m_file; }
    PacketQueue &videoQueue() { return m->m_parts.videoQueue; }
    PacketQueue &audioQueue() { return m->m_parts.audioQueue; }
    SeekRequest &seek() { return m->m_parts.seek; }
    PlaybackClock &clock() { return m->m_parts.clock; }
    PictureQueue &pictures() { return m->m_parts.pictures; }
    IAudio *audio() { return m->m_parts.audio.get(); }
    ParsingThread *parsingThread() { return m->m_parsingThread; }
    VideoDecodeThread *videoThread() { return m->m_videoThread; }
    AudioDecodeThread *audioThread() { return m->m_audioThread; }
    QString log() const { return m->log(); }

    // Shorthands for what the tests read most.
    int referenceStreamIndex() const { return file().referenceStreamIndex(); }
    int audioStreamIndex() const { return file().audioStreamIndex(); }
    AVStream *referenceStream() const { return file().referenceStream(); }
    AVStream *audioStream() const { return file().audioStream(); }
    bool hasVideo() const { return file().hasVideo(); }
    int64_t endTime() const { return file().endTime(); }
    double timeBase() const { return file().timeBase(); }
    double speed() const { return m->m_parts.clock.speed(); }
    bool loop() const { return m->m_parts.passage.loops(); }
    bool seekRequested() const { return m->m_parts.seek.pending(); }
    int64_t seekTarget() const { return m->m_parts.seek.target(); }
    bool seekBackwardForced() const { return m->m_parts.seek.backwardForced(); }
    void setSeekBackwardForced(bool forced)
    {
        if (forced)
            m->m_parts.seek.forceBackward();
    }
    // A seek to ticks carried out, as far as the decoders' cut-off goes.
    void setSeekTarget(int64_t ticks)
    {
        m->m_parts.seek.place(ticks, SeekRequest::Kind::User);
        m->m_parts.seek.finish(true, ticks);
    }
    // The parsing thread has carried the pending seek out; the decoders
    // have yet to take packets of its serial.
    void seekCarriedOut() { m->m_parts.seek.finish(true, m->m_parts.seek.target()); }
    int64_t resumePosition() const { return m->m_resumePosition; }
    int targetWidth() const { return m->m_targetWidth; }
    int targetHeight() const { return m->m_targetHeight; }
    double videoClock() const { return m->m_videoThread->predictedSeconds(); }
    // Playing seconds of the sound decoded last.
    double audioClock() const { return m->m_parts.soundDecoded / speed(); }
    void setAudioClock(double playingSeconds) { m->m_parts.soundDecoded = playingSeconds * speed(); }
    void setCurrentPts(double seconds) { m->m_parts.clock.set(seconds); }
    double currentPts() const { return m->m_parts.clock.lastSet(); }
    int pictureCount() const { return m->m_parts.pictures.count(); }
    double pictureMediaSeconds(int index) const { return m->m_parts.pictures.slot(index)->mediaSeconds; }
    bool heardSeconds(double &seconds) const { return m->m_parts.audio->heardSeconds(seconds); }
    int readIndex() const { return m->m_parts.pictures.readIndex(); }

    // The refresh timer's state and a ring filled by hand.
    double frameTimer() const { return m->m_frameTimer; }
    double frameLastDelay() const { return m->m_frameLastDelay; }
    double frameLastPts() const { return m->m_frameLastSeconds; }
    bool refreshScheduled() const { return m->m_refreshTimer->isActive(); }
    int refreshInterval() const { return m->m_refreshTimer->interval(); }
    void stopRefresh() { m->m_refreshTimer->stop(); }
    void setFrameTimer(double seconds) { m->m_frameTimer = seconds; }
    // The picture shown last, of the seek in force.
    void setFrameLastPts(double seconds)
    {
        m->m_frameLastSeconds = seconds;
        m->m_frameLastSerial = m->m_parts.seek.serial();
    }
    void queueStamp(double seconds)
    {
        VideoPicture *picture = m->m_parts.pictures.writable();
        picture->mediaSeconds = seconds;
        picture->serial = m->m_parts.seek.serial();
        m->m_parts.pictures.push();
    }
    // Keeps the refresh timer from taking pictures.
    void holdPictures() { m->m_refreshTimer->stop(); m->m_refreshTimer->blockSignals(true); }
    void releasePictures() { m->m_refreshTimer->blockSignals(false); m->m_refreshTimer->start(10); }

    // Runs the parsing thread alone, so that nothing drains the queues.
    void startParsingOnly()
    {
        m->m_parts.stopped = false;
        m->resetForStart();
        m->m_parsingThread->start();
    }
    void stopParsingOnly()
    {
        m->m_parts.stopped = true;
        m->m_parsingThread->wait();
    }
    // Runs the parsing and video threads without sound; the caller drains
    // the audio queue and takes the pictures.
    void startVideoPathOnly()
    {
        startParsingOnly();
        m->m_videoThread->start();
    }
    void stopVideoPathOnly()
    {
        m->m_parts.stopped = true;
        m->waitForThreads();
    }
    // Takes the next picture as the refresh timer would, without waiting
    // for its time. Returns its time (media seconds), or a negative value
    // when none is ready.
    double takePicture()
    {
        const VideoPicture *picture = m->m_parts.pictures.peek();
        if (!picture)
            return -1.0;
        const double seconds = picture->mediaSeconds;
        m->m_parts.pictures.next();
        return seconds;
    }
    // Lets seeks be requested without any thread to carry them out.
    void pretendRunning()
    {
        m->m_parts.stopped = false;
        m->resetForStart();
    }
    void pretendStopped() { m->m_parts.stopped = true; }

private:
    Media *m;
};
