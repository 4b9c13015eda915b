#include "media/videodecodethread.h"

#include "media/avpointers.h"
#include "media/media.h"
#include "media/parsingthread.h"

#include <QtDebug>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <memory>

VideoDecodeThread::VideoDecodeThread(Media *media)
    : QThread(media), m_media(media)
{
}

VideoDecodeThread::~VideoDecodeThread()
{
    wait();
}

void VideoDecodeThread::run()
{
    Media *media = m_media;
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    if (!frame || !packet)
        qWarning("VideoDecodeThread: out of memory");
    media->appendLog(tr("VideoDecodeThread:: run.\n"));
    AVCodecContext *codec = media->m_videoCodecContext;
    m_serial = media->m_seekSerial;

    while (frame && packet) {
        if (media->m_paused && !media->m_stopped) {
            msleep(100);
            continue;
        }
        if (!media->m_videoQueue.get(packet.get(), !media->m_stopped)) {
            media->appendLog(tr("VideoDecodeThread:: No more packets.\n"));
            break;
        }
        if (PacketQueue::isFlushPacket(packet.get())) {
            media->appendLog(tr("VideoDecodeThread:: Flushing the buffers.\n"));
            if (codec)
                avcodec_flush_buffers(codec);
            m_firstAfterSeek = true;
            m_waitingForRetry = false;
            m_serial = media->m_seekSerial;
            av_packet_unref(packet.get());
            continue;
        }
        if (!codec) { // audio-only file: this queue never holds more than flushes
            av_packet_unref(packet.get());
            continue;
        }
        // An end packet drains the decoder, and its time stamp, the end
        // mark, ends the passage. Other empty packets hold no picture.
        const bool end = PacketQueue::isEndPacket(packet.get());
        if (end) {
            avcodec_send_packet(codec, nullptr);
        } else if (packet->size > 0
                   && avcodec_send_packet(codec, packet.get()) == AVERROR_EOF) {
            // Drained at an end that no seek followed: start afresh.
            avcodec_flush_buffers(codec);
            avcodec_send_packet(codec, packet.get());
        }
        if (end && packet->dts >= media->m_markOut - 1 && !media->audioDrivesMarks())
            media->endOfMark();
        while (avcodec_receive_frame(codec, frame.get()) == 0) {
            handleFrame(frame.get());
            av_frame_unref(frame.get());
        }
        av_packet_unref(packet.get());
    }
    media->appendLog(tr("DecodingThread:: ended.\n"));
}

// A frame carries the time stamp of the packet it came from through the
// decoder. A threaded or reordering decoder hands frames out several packets
// late, so the frame's own stamp, not that of the packet just sent, says
// when it is shown and whether the end mark is reached.
namespace {

// Ticks of the reference stream; 0 when the frame carries no stamp.
int64_t frameStamp(const AVFrame *frame)
{
    if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
        return frame->best_effort_timestamp;
    return frame->pts != AV_NOPTS_VALUE ? frame->pts : 0;
}

} // namespace

void VideoDecodeThread::handleFrame(AVFrame *frame)
{
    Media *media = m_media;
    const int64_t stamp = frameStamp(frame);
    if (m_firstAfterSeek) {
        m_firstAfterSeek = false;
        m_waitingForRetry = landedLate(stamp);
    }
    if (m_waitingForRetry)
        return; // too late to show: the seek is read again
    if (stamp >= media->m_markOut - 1 && !media->m_passageDone) {
        // With sound, the sound ends the passage, to the sample. A picture
        // after the end mark waits: for the restart, which drops it, or for
        // the passage to go on (the repeat count reached, the end mark
        // moved). Dropping it at once would race on through the file.
        if (!media->audioDrivesMarks()) {
            media->endOfMark();
        } else {
            const int serial = media->m_seekSerial;
            while (stamp >= media->m_markOut - 1 && !media->m_passageDone && !media->m_stopped
                   && media->m_seekSerial == serial)
                msleep(5);
            if (media->m_stopped || media->m_seekSerial != serial)
                return;
        }
    }
    double t = 0.0;
    if (frameTime(frame, t))
        queuePicture(frame, t);
}

// Some containers (MPEG-TS, MPEG-PS) seek to a packet, not to a key frame:
// the decoder then waits for the next key frame, which may lie seconds
// after the target. Reading again from further back finds one before it.
bool VideoDecodeThread::landedLate(int64_t stamp)
{
    Media *media = m_media;
    const int64_t target = media->m_seekTarget;
    const AVCodecContext *codec = media->m_videoCodecContext;
    double frameSeconds = 0.04;
    if (codec && codec->framerate.num > 0 && codec->framerate.den > 0)
        frameSeconds = av_q2d(av_inv_q(codec->framerate));
    const bool late = stamp > target + media->ticks(1.5 * frameSeconds) && target > media->startTime();
    if (!late || media->m_seekBackoff >= ParsingThread::maxBackoffSeconds)
        return false;
    return media->requestSeek(target, media->m_lastSeekWasLoop, true);
}

bool VideoDecodeThread::frameTime(const AVFrame *frame, double &t)
{
    Media *media = m_media;
    const double scale = media->referenceTimeBase() / media->m_speed;
    // The first key frame of a file really lies at 0. Taken as unstamped it
    // would borrow the running clock and pass as the first picture after
    // every restart of a passage that starts before the next key frame.
    const bool stamped = frame->best_effort_timestamp != AV_NOPTS_VALUE || frame->pts != AV_NOPTS_VALUE;
    t = synchronize(frame, double(frameStamp(frame)) * scale, stamped);
    return t >= double(media->m_seekTarget) * scale;
}

double VideoDecodeThread::synchronize(const AVFrame *frame, double pts, bool stamped)
{
    Media *media = m_media;
    if (stamped || pts != 0.0)
        media->m_videoClock = pts;
    else
        pts = media->m_videoClock;
    // One frame time in playing seconds. Today's decoders leave the codec
    // time base unset and give the frame rate instead.
    const AVCodecContext *codec = media->m_videoCodecContext;
    double frameDelay = 0.0;
    if (codec && codec->framerate.num > 0 && codec->framerate.den > 0)
        frameDelay = av_q2d(av_inv_q(codec->framerate));
    else if (codec && codec->time_base.num > 0 && codec->time_base.den > 0)
        frameDelay = av_q2d(codec->time_base) * std::max(1, codec->ticks_per_frame);
    frameDelay /= media->m_speed;
    frameDelay += frame->repeat_pict * frameDelay * 0.5;
    media->m_videoClock = media->m_videoClock + frameDelay;
    return pts;
}

void VideoDecodeThread::queuePicture(const AVFrame *frame, double pts)
{
    Media *media = m_media;
    {
        QMutexLocker locker(&media->m_pictureMutex);
        while (media->m_pictureCount >= 3 && !media->m_stopped)
            media->m_pictureCondition.wait(&media->m_pictureMutex);
        if (media->m_stopped) {
            media->m_pictureCount = 0;
            return;
        }
        if (media->m_pictureCount > 4)
            return;
    }
    VideoPicture &picture = media->m_pictures[std::size_t(media->m_writeIndex)];
    if (!picture.frame || !media->m_scaler)
        return;
    // A broken or changing stream may hand out frames of another size or
    // format than its header promised: convert them as what they are.
    media->m_scaler = sws_getCachedContext(media->m_scaler, frame->width, frame->height,
                                           AVPixelFormat(frame->format), picture.width,
                                           picture.height, AVPixelFormat(picture.pixelFormat),
                                           media->m_scaleFlags, nullptr, nullptr, nullptr);
    if (!media->m_scaler)
        return;
    sws_scale(media->m_scaler, frame->data, frame->linesize, 0, frame->height,
              picture.frame->data, picture.frame->linesize);
    picture.pts = pts;
    picture.mediaSeconds = pts * media->m_speed;
    picture.serial = m_serial;
    media->m_writeIndex = (media->m_writeIndex + 1) % int(media->m_pictures.size());
    QMutexLocker locker(&media->m_pictureMutex);
    ++media->m_pictureCount;
}
