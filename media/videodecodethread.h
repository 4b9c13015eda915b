#pragma once

#include <QThread>

#include <cstdint>

struct AVFrame;
class Media;

// Decodes the packets of the reference stream and converts each frame that
// is not before the latest seek target into the next free slot of the
// picture ring, waiting while three slots are filled.
class VideoDecodeThread final : public QThread
{
    Q_OBJECT
public:
    explicit VideoDecodeThread(Media *media);
    ~VideoDecodeThread() override;
    Q_DISABLE_COPY_MOVE(VideoDecodeThread)

    // Time stamp (playing seconds) to use for a decoded frame; pts 0 takes
    // the predicted clock unless stamped says the frame really lies at 0.
    // Advances the predicted clock by one frame time, and by half of one
    // more per repeat_pict.
    double synchronize(const AVFrame *frame, double pts, bool stamped = false);

    // Finds a decoded frame's time (playing seconds) into t. Returns false
    // for a frame before the latest seek target, which is not shown.
    bool frameTime(const AVFrame *frame, double &t);

protected:
    void run() override;

private:
    void queuePicture(const AVFrame *frame, double pts);
    void handleFrame(AVFrame *frame);
    bool landedLate(int64_t stamp);
    Media *m_media;
    bool m_firstAfterSeek = false; // the next frame is the first after a seek
    bool m_waitingForRetry = false; // the seek landed late and is read again
    int m_serial = 0;               // of the seek the frames now decoded follow
};
