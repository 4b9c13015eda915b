#pragma once

#include "media/decoderthread.h"
#include "media/passagehead.h"

#include <cstdint>
#include <memory>

// Decodes the video stream and converts each frame that is not before the
// latest seek target into the next free slot of the picture queue. Without
// sound it also drives the end of the passage.
class VideoDecodeThread final : public DecoderThread
{
    Q_OBJECT
public:
    VideoDecodeThread(EngineParts &parts, QObject *parent);
    Q_DISABLE_COPY_MOVE(VideoDecodeThread)

    // Time stamp (media seconds) to use for a decoded frame; pts 0 takes
    // the predicted time unless stamped says the frame really lies at 0.
    // Advances the prediction by one frame time, and by half of one more
    // per repeat_pict.
    double synchronize(const AVFrame *frame, double pts, bool stamped = false);
    // Media seconds the next unstamped frame is taken to lie at.
    double predictedSeconds() const { return m_predicted; }

    // Finds a decoded frame's time (media seconds) into t. Returns false
    // for a frame before the latest seek target, which is not shown.
    bool frameTime(const AVFrame *frame, double &t);

protected:
    QString logLine(LogLine line) const override;
    AVCodecContext *decoder() const override;
    void started() override;
    void flushed(bool afresh) override;
    bool drainsAtJump(int serial) const override;
    void betweenPackets() override;
    void beforeSend(const AVPacket *packet) override;
    void handleFrame(AVFrame *frame) override;
    void endSent(const AVPacket *end) override;

private:
    void queuePicture(const AVFrame *frame, double seconds);
    // The passage's first pictures: kept as a round shows them, shown from
    // the kept ones at a restart while the decoder catches up.
    void keep(const AVFrame *frame, double seconds);
    bool coveredByHead(double seconds) const;
    void replayWhileRoom();
    void finishReplay();
    void setSkipping(bool skip);
    bool landedLate(int64_t stamp);
    // A picture at or after the end mark: the passage decides (without
    // sound), or the sound has; false when the picture is not shown.
    bool reachEndMark(int64_t stamp);
    bool waitAtEndMark(int64_t stamp);

    // --- Video thread only (and the engine's tests while it does not run)
    double m_predicted = 0.0;
    bool m_firstAfterSeek = false;  // the next frame is the first after a seek
    bool m_waitingForRetry = false; // the seek landed late and is read again
    std::unique_ptr<PassageHead> m_head = std::make_unique<PassageHead>();
    bool m_replaying = false; // the kept pictures show; the decoder catches up
    int m_replayNext = 0;     // the next kept picture to show
    double m_previousShown = -1e9; // media seconds of the last picture queued
};
