#include "media/parsingthread.h"

#include "media/avpointers.h"
#include "media/iaudio.h"
#include "media/media.h"

#include <QtDebug>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

ParsingThread::ParsingThread(Media *media)
    : QThread(media), m_media(media)
{
}

ParsingThread::~ParsingThread()
{
    wait();
}

int ParsingThread::seekFlags(int64_t target, int64_t position, bool backwardForced, bool dirty)
{
    int flags = dirty ? AVSEEK_FLAG_ANY : 0;
    if (target < position || backwardForced)
        flags |= AVSEEK_FLAG_BACKWARD;
    return flags;
}

void ParsingThread::run()
{
    Media *media = m_media;
    media->appendLog(tr("ParsingThread:: run.\n"));
    PacketPtr packet(av_packet_alloc());
    bool endOfFile = false;
    AVFormatContext *input = media->m_formatContext;

    while (packet && !media->m_stopped) {
        const bool paused = media->m_paused;
        if (paused != media->m_demuxerPaused) {
            media->m_demuxerPaused = paused;
            if (paused)
                av_read_pause(input);
            else
                av_read_play(input);
        }
        if (media->m_seekState == Media::SeekPending)
            carryOutSeek(endOfFile);

        if (media->m_videoQueue.size() > videoQueueLimit
            || media->m_audioQueue.size() > audioQueueLimit) {
            msleep(10);
            continue;
        }
        if ((input->pb && avio_feof(input->pb)) || endOfFile) {
            queueEndPacket();
            msleep(10);
            continue;
        }
        const int read = av_read_frame(input, packet.get());
        if (read >= 0) {
            bool queued = false;
            if (packet->stream_index == media->m_audioStreamIndex)
                queued = media->m_audioQueue.put(packet.get());
            else if (packet->stream_index == media->m_referenceStreamIndex)
                queued = media->m_videoQueue.put(packet.get());
            if (!queued)
                av_packet_unref(packet.get());
            continue;
        }
        if (read == AVERROR_EOF)
            endOfFile = true;
        if (input->pb && input->pb->error) {
            media->appendLog(tr("ParsingThread:: Couldn't read frame.\n"));
            break;
        }
        msleep(10);
    }
    media->m_videoQueue.flush();
    media->m_audioQueue.flush();
    media->appendLog(tr("ParsingThread:: ended.\n"));
}

void ParsingThread::carryOutSeek(bool &endOfFile)
{
    Media *media = m_media;
    const int64_t requested = media->m_seekTarget;
    const bool loop = media->m_seekIsLoop;
    const int flags = seekFlags(requested, media->position(), media->m_seekBackwardForced,
                                media->m_allowDirtySeek);
    // Past the end mark the passage starts again: the start mark is both
    // where reading resumes and where decoded data starts to count.
    int64_t target = requested;
    if (target > media->m_markOut) {
        target = media->m_markIn;
        media->m_seekTarget = target;
    }
    // Reading starts early enough for the decoders to be settled at the
    // target (key frames, a sound codec's priming), and never after it: a
    // container that cannot seek exactly lands before the target, and what
    // lies before it is decoded and dropped.
    const double backoff = !media->m_seekIsRetry ? 0.0
        : media->m_seekBackoff > 0.0                ? media->m_seekBackoff * 2.0
                                                    : 1.0;
    media->m_seekBackoff = backoff;
    const int64_t from =
        std::max(media->startTime(), target - media->ticks(prerollSeconds(media) + backoff));
    int sought = avformat_seek_file(media->m_formatContext, media->m_referenceStreamIndex,
                                    std::numeric_limits<int64_t>::min(), from, from, flags);
    // A demuxer that cannot promise to land before the target may still
    // land near it; what comes late is caught by the decoders.
    if (sought < 0)
        sought = avformat_seek_file(media->m_formatContext, media->m_referenceStreamIndex,
                                    std::numeric_limits<int64_t>::min(), from,
                                    std::numeric_limits<int64_t>::max(), flags);
    if (sought < 0) {
        media->appendLog(tr("ParsingThread:: Seeking error.\n"));
        qDebug("Error seeking to %d", int(target));
        media->m_audio->openGate(); // the sound goes on where it was
    } else {
        media->m_lastSeekWasLoop = loop;
        media->m_lastSeekWasRetry = media->m_seekIsRetry.load();
        ++media->m_seekSerial;
        if (media->m_referenceStreamIndex >= 0)
            media->m_videoQueue.flush();
        if (media->m_audioStreamIndex >= 0)
            media->m_audioQueue.flush();
    }
    media->m_seekBackwardForced = false;
    media->m_seekIsLoop = false;
    media->m_seekIsRetry = false;
    endOfFile = false;
    media->m_seekState = Media::SeekIdle;
}

// How far before a seek target reading starts, in media seconds: sound
// codecs that build on earlier frames (MP3's bit reservoir, AAC's and
// Opus's priming, Vorbis's overlap) need a few frames to settle; raw and
// losslessly packed samples need none.
double ParsingThread::prerollSeconds(const Media *media)
{
    const AVCodecContext *codec = media->m_audioCodecContext;
    if (!codec)
        return 0.0;
    // The time-stretch, too, settles on sound before the target.
    if (std::abs(media->m_speed - 1.0) > 1e-9)
        return 0.2;
    const AVCodecID id = codec->codec_id;
    const bool pcm = id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT;
    if (pcm || id == AV_CODEC_ID_FLAC || id == AV_CODEC_ID_ALAC || id == AV_CODEC_ID_WAVPACK)
        return 0.0;
    return 0.2;
}

// The end of the input is told to both decoders. The one that drives the
// marks (the sound's, or the pictures' in a silent file) takes it as the end
// of the passage; its time stamp is the end mark.
void ParsingThread::queueEndPacket()
{
    Media *media = m_media;
    const auto queueTo = [media](PacketQueue &queue, int streamIndex) {
        PacketPtr end(av_packet_alloc());
        if (!end)
            return;
        PacketQueue::markEndPacket(end.get());
        end->dts = media->m_markOut;
        end->stream_index = streamIndex;
        queue.put(end.get());
    };
    const bool audioOnly = media->m_referenceStreamIndex == media->m_audioStreamIndex;
    if (media->m_audioStreamIndex >= 0)
        queueTo(media->m_audioQueue, media->m_audioStreamIndex);
    if (!audioOnly && media->m_referenceStreamIndex >= 0)
        queueTo(media->m_videoQueue, media->m_referenceStreamIndex);
}
