#pragma once

#include "media/audiodecodethread.h"
#include "media/iaudio.h"
#include "media/media.h"
#include "media/parsingthread.h"
#include "media/videodecodethread.h"

#include <QMutexLocker>
#include <QTimer>

extern "C" {
#include <libavformat/avformat.h>
}

// White-box access to a Media for the engine's tests: its queues, threads,
// flags and log.
class MediaProbe
{
public:
    explicit MediaProbe(Media *media) : m(media) {}

    PacketQueue &videoQueue() { return m->m_videoQueue; }
    PacketQueue &audioQueue() { return m->m_audioQueue; }
    int referenceStreamIndex() const { return m->m_referenceStreamIndex; }
    int audioStreamIndex() const { return m->m_audioStreamIndex; }
    AVStream *referenceStream() const { return m->m_referenceStream; }
    AVStream *audioStream() const { return m->m_audioStream; }
    bool hasVideo() const { return m->hasVideo(); }
    int64_t endTime() const { return m->endTime(); }
    double timeBase() const { return m->referenceTimeBase(); }
    double speed() const { return m->m_speed; }
    bool loop() const { return m->m_loop; }
    bool seekRequested() const { return m->seekPending(); }
    int64_t seekTarget() const { return m->m_seekTarget; }
    void setSeekTarget(int64_t ticks) { m->m_seekTarget = ticks; }
    // The parsing thread has carried the seek out; the decoders have yet to
    // take its flush.
    void seekCarriedOut() { m->m_seekState = Media::SeekIdle; }
    bool seekBackwardForced() const { return m->m_seekBackwardForced; }
    int64_t resumePosition() const { return m->m_resumePosition; }
    int targetWidth() const { return m->m_targetWidth; }
    int targetHeight() const { return m->m_targetHeight; }
    double videoClock() const { return m->m_videoClock; }
    double audioClock() const { return m->m_audioClock; }
    void setAudioClock(double seconds) { m->m_audioClock = seconds; }
    void setCurrentPts(double seconds) { m->m_currentPts = seconds; }
    IAudio *audio() { return m->m_audio; }
    ParsingThread *parsingThread() { return m->m_parsingThread; }
    VideoDecodeThread *videoThread() { return m->m_videoThread; }
    AudioDecodeThread *audioThread() { return m->m_audioThread; }
    QString log() const
    {
        QMutexLocker locker(&m->m_logMutex);
        return m->m_log;
    }
    int pictureCount() const
    {
        QMutexLocker locker(&m->m_pictureMutex);
        return m->m_pictureCount;
    }
    // The refresh timer's state and a ring filled by hand.
    double frameTimer() const { return m->m_frameTimer; }
    double frameLastDelay() const { return m->m_frameLastDelay; }
    double frameLastPts() const { return m->m_frameLastPts; }
    double currentPts() const { return m->m_currentPts; }
    double pictureMediaSeconds(int index) const { return m->m_pictures[std::size_t(index)].mediaSeconds; }
    bool heardSeconds(double &seconds) const { return m->heardSeconds(seconds); }
    int readIndex() const { return m->m_readIndex; }
    bool refreshScheduled() const { return m->m_refreshTimer->isActive(); }
    int refreshInterval() const { return m->m_refreshTimer->interval(); }
    void stopRefresh() { m->m_refreshTimer->stop(); }
    void setFrameTimer(double seconds) { m->m_frameTimer = seconds; }
    void setFrameLastPts(double seconds) { m->m_frameLastPts = seconds; }
    void queueStamp(double pts)
    {
        QMutexLocker locker(&m->m_pictureMutex);
        m->m_pictures[std::size_t((m->m_readIndex + m->m_pictureCount) % 4)].pts = pts;
        ++m->m_pictureCount;
    }
    // Keeps the refresh timer from taking pictures.
    void holdPictures() { m->m_refreshTimer->stop(); m->m_refreshTimer->blockSignals(true); }
    void releasePictures() { m->m_refreshTimer->blockSignals(false); m->m_refreshTimer->start(10); }

    // Runs the parsing thread alone, so that nothing drains the queues.
    void startParsingOnly()
    {
        m->m_stopped = false;
        m->resetClocks();
        m->m_parsingThread->start();
    }
    void stopParsingOnly()
    {
        m->m_stopped = true;
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
        m->m_stopped = true;
        m->waitForThreads();
    }
    // Takes the next picture as the refresh timer would, without waiting
    // for its time. Returns its time stamp, or a negative value when none
    // is ready.
    double takePicture()
    {
        QMutexLocker locker(&m->m_pictureMutex);
        if (m->m_pictureCount < 1)
            return -1.0;
        const double pts = m->m_pictures[std::size_t(m->m_readIndex)].pts;
        m->m_readIndex = (m->m_readIndex + 1) % 4;
        --m->m_pictureCount;
        m->m_pictureCondition.wakeAll();
        return pts;
    }
    void setSeekBackwardForced(bool forced) { m->m_seekBackwardForced = forced; }
    // Lets seeks be requested without any thread to carry them out.
    void pretendRunning()
    {
        m->m_stopped = false;
        m->resetClocks();
    }
    void pretendStopped() { m->m_stopped = true; }

private:
    Media *m;
};
