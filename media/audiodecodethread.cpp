#include "media/audiodecodethread.h"

#include "media/avpointers.h"
#include "media/iaudio.h"
#include "media/media.h"

#include <QtDebug>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <memory>

namespace {

constexpr double driftLimit = 100000.0; // s

} // namespace

AudioDecodeThread::AudioDecodeThread(Media *media)
    : QThread(media), m_media(media)
{
    m_samples = static_cast<uint8_t *>(av_malloc(sampleBufferSize));
}

AudioDecodeThread::~AudioDecodeThread()
{
    wait();
    swr_free(&m_converter);
    av_channel_layout_uninit(&m_layout);
    av_freep(&m_samples);
}

void AudioDecodeThread::run()
{
    Media *media = m_media;
    media->appendLog(tr("AudioThread:: run.\n"));
    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    AVCodecContext *codec = media->m_audioCodecContext;
    const double audioTimeBase = av_q2d(media->m_audioStream->time_base);
    // Offset of the audio stream's start from the reference stream's, in
    // reference ticks (0 for an audio-only file).
    const auto startOf = [](const AVStream *stream) {
        return stream->start_time == AV_NOPTS_VALUE ? int64_t(0) : stream->start_time;
    };
    const int64_t startOffset =
        av_rescale_q(startOf(media->m_audioStream), media->m_audioStream->time_base,
                     media->m_referenceStream->time_base)
        - startOf(media->m_referenceStream);
    m_silentUntil = 0;

    while (frame && packet && m_samples) {
        if (media->m_paused && !media->m_stopped) {
            msleep(100);
            continue;
        }
        if (!media->m_audioQueue.get(packet.get(), !media->m_stopped)) {
            media->appendLog(tr("AudioThread:: No more packets.\n"));
            break;
        }
        if (PacketQueue::isFlushPacket(packet.get())) {
            media->appendLog(tr("AudioThread:: Flushing the buffers.\n"));
            avcodec_flush_buffers(codec);
            av_packet_unref(packet.get());
            continue;
        }
        const double speed = media->m_speed;
        const int64_t stamp = packet->dts == AV_NOPTS_VALUE ? 0 : packet->dts;
        const double t = double(stamp) * audioTimeBase / speed;
        media->m_audioClock = t;

        const double cutOff =
            double(startOffset + media->m_seekTarget) * media->referenceTimeBase() / speed;
        if (cutOff > t) {
            av_packet_unref(packet.get());
            continue;
        }
        const double shown = media->m_currentPts;
        if (t > shown + driftLimit) {
            msleep(10);
        } else if (t < shown - driftLimit) {
            av_packet_unref(packet.get());
            continue;
        }
        if (!media->hasVideo() && packet->dts != AV_NOPTS_VALUE
            && packet->dts >= media->m_markOut - 1)
            media->endOfMark();

        decodePacket(packet.get(), frame.get());
        av_packet_unref(packet.get());
    }
    media->appendLog(tr("AudioThread:: ended.\n"));
}

// Sends one packet (an empty one drains the decoder at the end of the input)
// and pushes every frame it yields. False on a decoder error.
bool AudioDecodeThread::decodePacket(AVPacket *packet, AVFrame *frame)
{
    AVCodecContext *codec = m_media->m_audioCodecContext;
    const bool end = PacketQueue::isEndPacket(packet);
    if (!end && packet->size <= 0)
        return true; // nothing to decode
    int sent = avcodec_send_packet(codec, end ? nullptr : packet);
    if (sent == AVERROR_EOF && !end) {
        avcodec_flush_buffers(codec);
        sent = avcodec_send_packet(codec, packet);
    }
    while (avcodec_receive_frame(codec, frame) == 0) {
        const bool converted = convertAndPush(frame);
        av_frame_unref(frame);
        if (!converted)
            return false;
    }
    return sent >= 0;
}

bool AudioDecodeThread::prepareConverter(const AVFrame *frame)
{
    AVChannelLayout layout{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&layout, frame->ch_layout.nb_channels);
    else if (av_channel_layout_copy(&layout, &frame->ch_layout) < 0)
        return false;
    if (m_converter && m_inputFormat == frame->format && m_sampleRate == frame->sample_rate
        && av_channel_layout_compare(&m_layout, &layout) == 0) {
        av_channel_layout_uninit(&layout);
        return true;
    }
    swr_free(&m_converter);
    av_channel_layout_uninit(&m_layout);
    if (swr_alloc_set_opts2(&m_converter, &layout, AV_SAMPLE_FMT_S16, frame->sample_rate, &layout,
                            AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr)
            < 0
        || swr_init(m_converter) < 0) {
        swr_free(&m_converter);
        av_channel_layout_uninit(&layout);
        return false;
    }
    m_layout = layout; // takes over the copy
    m_inputFormat = frame->format;
    m_sampleRate = frame->sample_rate;
    return true;
}

// Converts a frame to interleaved signed 16-bit samples at its own rate and
// channel count and pushes them, in pieces that fit the sample buffer.
bool AudioDecodeThread::convertAndPush(const AVFrame *frame)
{
    if (frame->ch_layout.nb_channels <= 0 || frame->sample_rate <= 0 || !prepareConverter(frame))
        return false;
    const int frameBytes = m_layout.nb_channels * 2;
    const int capacity = sampleBufferSize / frameBytes;
    uint8_t *out[] = {m_samples};
    int converted = swr_convert(m_converter, out, capacity,
                                const_cast<const uint8_t **>(frame->extended_data),
                                frame->nb_samples);
    while (converted > 0 && !m_media->m_stopped) {
        push(reinterpret_cast<char *>(m_samples), converted * frameBytes);
        if (converted < capacity)
            break;
        converted = swr_convert(m_converter, out, capacity, nullptr, 0); // what did not fit
    }
    return converted >= 0;
}

// Hands the samples to the output as fast as it takes them. Gives up when
// the engine stops; without an output that takes data (no sound device) the
// samples are dropped at the pace they would have played.
void AudioDecodeThread::push(char *data, int length)
{
    Media *media = m_media;
    IAudio *audio = media->m_audio;
    int written = 0;
    int remaining = length;
    while (remaining > 0 && !media->m_stopped) {
        if (!audio->acceptsData()) {
            dropInRealTime(remaining);
            return;
        }
        const int n = audio->write(data + written, remaining);
        remaining -= n;
        written += n;
        if (remaining > 0)
            msleep(1);
    }
}

void AudioDecodeThread::dropInRealTime(int length)
{
    const int bytesPerSecond = m_sampleRate * m_layout.nb_channels * 2;
    if (bytesPerSecond <= 0)
        return;
    const int64_t now = av_gettime();
    m_silentUntil = std::max(m_silentUntil, now) + int64_t(length) * 1000000 / bytesPerSecond;
    for (int64_t left = m_silentUntil - now; left > 0 && !m_media->m_stopped;
         left = m_silentUntil - av_gettime())
        usleep(std::min<int64_t>(left, 10000));
}
