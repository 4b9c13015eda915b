#include "media/parsingthread.h"

#include "media/avpointers.h"
#include "media/engineparts.h"
#include "media/realtime.h"

#include <QtDebug>

#include <algorithm>
#include <cmath>
#include <limits>

ParsingThread::ParsingThread(EngineParts &parts, QObject *parent)
    : QThread(parent), m_parts(parts)
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
    m_parts.log.append(tr("ParsingThread:: run.\n"));
    // The sound of a restart is read here: it must not wait for busy
    // programs beside the player either. Reading takes little time.
    realtime::requestForThisThread();
    PacketPtr packet(av_packet_alloc());
    bool endOfFile = false;
    AVFormatContext *input = m_parts.file->format();
    const int audioIndex = m_parts.file->audioStreamIndex();
    const int videoIndex = m_parts.file->hasVideo() ? m_parts.file->referenceStreamIndex() : -1;

    while (packet && !m_parts.stopped) {
        const bool paused = m_parts.clock.paused();
        if (paused != m_parts.demuxerPaused) {
            m_parts.demuxerPaused = paused;
            if (paused)
                av_read_pause(input);
            else
                av_read_play(input);
        }
        if (m_parts.seek.pending())
            carryOutSeek(endOfFile);

        if (queuesFull(m_parts.videoQueue.size(), m_parts.audioQueue.size(), videoIndex >= 0,
                       audioIndex >= 0)) {
            if (m_parts.videoQueue.size() > videoQueueLimit)
                m_parts.videoQueue.waitForRoom(videoQueueLimit, 10);
            else
                m_parts.audioQueue.waitForRoom(audioQueueLimit, 10);
            continue;
        }
        if ((input->pb && avio_feof(input->pb)) || endOfFile) {
            // Told again until a seek comes: a decoder that could not place
            // the restart (one was pending) meets the end once more.
            queueEndPacket();
            m_parts.seek.waitForSerialChange(m_parts.seek.serial(), 10);
            continue;
        }
        const int read = av_read_frame(input, packet.get());
        if (read >= 0) {
            bool queued = false;
            if (packet->stream_index == audioIndex)
                queued = m_parts.audioQueue.put(packet.get());
            else if (packet->stream_index == videoIndex)
                queued = m_parts.videoQueue.put(packet.get());
            if (!queued)
                av_packet_unref(packet.get());
            continue;
        }
        if (read == AVERROR_EOF)
            endOfFile = true;
        if (input->pb && input->pb->error) {
            m_parts.log.append(tr("ParsingThread:: Couldn't read frame.\n"));
            break;
        }
        if (read != AVERROR_EOF) // try again in a moment
            m_parts.seek.waitForSerialChange(m_parts.seek.serial(), 10);
    }
    m_parts.log.append(tr("ParsingThread:: ended.\n"));
}

// After a restart far from a key frame, the pictures' queue holds seconds of
// packets that the video decoder has yet to go through before the start
// mark. Were reading to pause for them, the sound of the start mark, read
// between them, would wait too, and the learner would hear silence.
bool ParsingThread::queuesFull(int videoBytes, int audioBytes, bool hasVideo, bool hasAudio)
{
    if (videoBytes + audioBytes > queuesLimit)
        return true;
    const bool videoHasEnough = !hasVideo || videoBytes > videoQueueLimit;
    const bool audioHasEnough = !hasAudio || audioBytes > audioQueueLimit;
    return videoHasEnough && audioHasEnough;
}

void ParsingThread::carryOutSeek(bool &endOfFile)
{
    const MediaFile &file = *m_parts.file;
    int64_t requested = 0;
    SeekRequest::Kind kind = SeekRequest::Kind::User;
    if (!m_parts.seek.take(requested, kind))
        return;
    const int flags = seekFlags(requested, playingPlace(), m_parts.seek.backwardForced(),
                                m_parts.allowDirtySeek);
    // Past the end mark the passage starts again: the start mark is both
    // where reading resumes and where decoded data starts to count. A
    // restart goes to the start mark in force now, which may have moved
    // since the restart was asked for.
    const Passage::Marks marks = m_parts.passage.marks();
    const bool restart = kind == SeekRequest::Kind::LoopRestart || requested > marks.out;
    const int64_t target = restart ? marks.in : requested;
    // Reading starts early enough for the decoders to be settled at the
    // target (key frames, a sound codec's priming), and never after it: a
    // container that cannot seek exactly lands before the target, and what
    // lies before it is decoded and dropped.
    const double backoff = m_parts.seek.nextBackoff(kind);
    const int64_t from = std::max(file.startTime(), target - m_parts.ticks(prerollSeconds() + backoff));
    const int index = file.referenceStreamIndex();
    int sought = avformat_seek_file(file.format(), index, std::numeric_limits<int64_t>::min(), from,
                                    from, flags);
    // A demuxer that cannot promise to land before the target may still
    // land near it; what comes late is caught by the decoders.
    if (sought < 0)
        sought = avformat_seek_file(file.format(), index, std::numeric_limits<int64_t>::min(), from,
                                    std::numeric_limits<int64_t>::max(), flags);
    if (sought < 0) {
        m_parts.log.append(tr("ParsingThread:: Seeking error.\n"));
        qDebug("Error seeking to %d", int(target));
        m_parts.seek.finish(false, target);
        m_parts.audio->openGate(); // the sound goes on where it was
    } else {
        // What was read for the place left is dropped; what is read from
        // now on carries the new serial.
        const int serial = m_parts.seek.finish(true, target);
        // The sound reaches the end mark ahead of the pictures, which are
        // decoded only a few ahead of the screen: at the restart the video
        // decoder keeps what it has yet to show of the passage.
        if (kind == SeekRequest::Kind::LoopRestart && file.hasVideo() && m_parts.audioDrivesMarks())
            m_parts.videoQueue.flushFrom(serial, marks.out);
        else
            m_parts.videoQueue.flush(serial);
        m_parts.audioQueue.flush(serial);
    }
    endOfFile = false;
}

// How far before a seek target reading starts, in media seconds: sound
// codecs that build on earlier frames (MP3's bit reservoir, AAC's and
// Opus's priming, Vorbis's overlap) need a few frames to settle; raw and
// losslessly packed samples need none.
double ParsingThread::prerollSeconds() const
{
    const AVCodecContext *codec = m_parts.file->audioCodec();
    if (!codec)
        return 0.0;
    // The time-stretch, too, settles on sound before the target.
    if (std::abs(m_parts.clock.speed() - 1.0) > 1e-9)
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
    const int64_t out = m_parts.passage.out();
    const auto queueTo = [out](PacketQueue &queue, int streamIndex) {
        PacketPtr end(av_packet_alloc());
        if (!end)
            return;
        PacketQueue::markEndPacket(end.get());
        end->dts = out;
        end->stream_index = streamIndex;
        queue.put(end.get());
    };
    const MediaFile &file = *m_parts.file;
    if (file.audioStreamIndex() >= 0)
        queueTo(m_parts.audioQueue, file.audioStreamIndex());
    if (file.hasVideo())
        queueTo(m_parts.videoQueue, file.referenceStreamIndex());
}

int64_t ParsingThread::playingPlace() const
{
    const double base = m_parts.timeBase();
    if (base <= 0.0)
        return 0;
    const double seconds = m_parts.hasVideo() ? m_parts.clock.lastSet() : m_parts.soundDecoded.load();
    return int64_t(seconds / base);
}
