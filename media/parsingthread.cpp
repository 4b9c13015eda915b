#include "media/parsingthread.h"

#include "media/avpointers.h"
#include "media/media.h"

#include <QtDebug>

extern "C" {
#include <libavformat/avformat.h>
}

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
        if (media->m_seekRequested)
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
    int64_t target = media->m_seekTarget;
    if (target > media->m_markOut)
        target = media->m_markIn;
    const int flags = seekFlags(target, media->position(), media->m_seekBackwardForced,
                                media->m_allowDirtySeek);
    const int sought = avformat_seek_file(media->m_formatContext, media->m_referenceStreamIndex,
                                          std::numeric_limits<int64_t>::min(), target,
                                          std::numeric_limits<int64_t>::max(), flags);
    if (sought < 0) {
        media->appendLog(tr("ParsingThread:: Seeking error.\n"));
        qDebug("Error seeking to %d", int(target));
    } else {
        if (media->m_referenceStreamIndex >= 0)
            media->m_videoQueue.flush();
        if (media->m_audioStreamIndex >= 0)
            media->m_audioQueue.flush();
    }
    media->m_seekBackwardForced = false;
    media->m_seekRequested = false;
    media->m_seekClaimed = false;
    endOfFile = false;
}

// The end of the input is told to the decoder of the reference stream,
// which runs the end-of-mark test: the video queue, or the audio queue of an
// audio-only file. Its time stamp is the end mark.
void ParsingThread::queueEndPacket()
{
    Media *media = m_media;
    PacketPtr end(av_packet_alloc());
    if (!end)
        return;
    PacketQueue::markEndPacket(end.get());
    end->dts = media->m_markOut;
    const bool audioOnly = media->m_referenceStreamIndex == media->m_audioStreamIndex;
    end->stream_index = audioOnly ? media->m_audioStreamIndex : media->m_referenceStreamIndex;
    PacketQueue &queue = audioOnly ? media->m_audioQueue : media->m_videoQueue;
    queue.put(end.get());
}
