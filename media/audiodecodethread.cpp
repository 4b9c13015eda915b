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
#include <cmath>
#include <memory>
#include <vector>

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
    m_silentUntil = 0;
    m_serial = media->m_seekSerial;
    m_nextSeconds = -1.0;
    m_waitingForRestart = false;

    while (frame && packet && m_samples) {
        if (media->m_paused && !media->m_stopped) {
            msleep(10);
            continue;
        }
        if (!media->m_audioQueue.get(packet.get(), !media->m_stopped)) {
            media->appendLog(tr("AudioThread:: No more packets.\n"));
            break;
        }
        if (PacketQueue::isFlushPacket(packet.get())) {
            media->appendLog(tr("AudioThread:: Flushing the buffers.\n"));
            flush();
            av_packet_unref(packet.get());
            continue;
        }
        if (!m_waitingForRestart) {
            decodePacket(packet.get(), frame.get());
            if (PacketQueue::isEndPacket(packet.get()) && media->audioDrivesMarks() && reachEndMark())
                waitForRestart();
        }
        av_packet_unref(packet.get());
    }
    media->appendLog(tr("AudioThread:: ended.\n"));
}

// After a seek the decoder starts afresh, and what it yields now belongs to
// the new place. (A seek by the user emptied the output when it was asked
// for; a restart of the passage keeps what the output holds, so that the
// start mark follows the end mark without a break.)
void AudioDecodeThread::flush()
{
    avcodec_flush_buffers(m_media->m_audioCodecContext);
    m_serial = m_media->m_seekSerial;
    m_nextSeconds = -1.0;
    m_waitingForRestart = false;
    m_stretch.reset();
    m_skipUntil = m_media->m_lastSeekWasRetry ? m_pushedUntil : -1.0;
    m_media->m_audioClock = double(m_media->m_seekTarget) * m_media->referenceTimeBase() / m_media->m_speed;
    m_media->m_audio->openGate();
}

// Sends one packet (an end packet drains the decoder at the end of the
// input) and handles every frame it yields. False on a decoder error.
bool AudioDecodeThread::decodePacket(AVPacket *packet, AVFrame *frame)
{
    AVCodecContext *codec = m_media->m_audioCodecContext;
    const bool end = PacketQueue::isEndPacket(packet);
    if (!end && packet->size <= 0)
        return true; // nothing to decode
    int sent = avcodec_send_packet(codec, end ? nullptr : packet);
    if (sent == AVERROR_EOF && !end) {
        // Drained at an end that no seek followed: start afresh.
        avcodec_flush_buffers(codec);
        sent = avcodec_send_packet(codec, packet);
    }
    while (avcodec_receive_frame(codec, frame) == 0) {
        if (!m_waitingForRestart && !m_media->m_stopped)
            handleFrame(frame);
        av_frame_unref(frame);
    }
    return sent >= 0 || sent == AVERROR_EOF;
}

// Plays the part of a frame that lies between the latest seek target and,
// while a passage repeats, its end mark. Marks and targets count in ticks of
// the reference stream; both streams' stamps run on the file's one clock.
void AudioDecodeThread::handleFrame(const AVFrame *frame)
{
    Media *media = m_media;
    const int rate = frame->sample_rate;
    const int count = frame->nb_samples;
    if (rate <= 0 || count <= 0)
        return;
    double start = m_nextSeconds >= 0.0 ? m_nextSeconds : 0.0;
    if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
        start = double(frame->best_effort_timestamp) * av_q2d(media->m_audioStream->time_base);
    m_nextSeconds = start + double(count) / rate;

    const double tick = media->referenceTimeBase();
    const double cutOff = std::max(double(media->m_seekTarget) * tick, m_skipUntil);
    // The time-stretch settles on what comes before the cut-off; what it
    // makes of that is dropped by time as it comes out.
    const bool stretching = std::abs(media->m_speed - 1.0) > 1e-9;
    const double feedFrom = stretching ? cutOff - stretchPadSeconds : cutOff;
    m_stretchFrom = cutOff;
    int first = 0;
    if (feedFrom > start)
        first = int(std::min<double>(count, std::llround((feedFrom - start) * rate)));
    int last = count;
    bool reachesEnd = false;
    if (media->audioDrivesMarks() && !media->m_passageDone) {
        const double end = double(media->m_markOut) * tick;
        if (m_nextSeconds > end) {
            last = int(std::clamp<double>(std::llround((end - start) * rate), first, count));
            reachesEnd = true;
        }
    }
    media->m_audioClock = (start + double(last) / rate) / media->m_speed;
    bool restarts = false;
    if (reachesEnd) {
        restarts = reachEndMark();
        if (!restarts)
            last = count; // the count is reached: play on through the mark
    }
    if (first < last) {
        convertAndPush(frame, first, last - first, start + double(first) / rate);
        m_pushedUntil = start + double(last) / rate;
    }
    if (restarts)
        waitForRestart();
}

// The passage is over: asks for its restart; false when the repeat count
// is reached and the engine plays on instead.
bool AudioDecodeThread::reachEndMark()
{
    m_media->endOfMark();
    return !m_media->m_passageDone;
}

// Everything up to the end mark goes out, the stretched tail too; what the
// decoder yields until the restart arrives lies after it and is not heard.
void AudioDecodeThread::waitForRestart()
{
    finishStretch();
    m_waitingForRestart = true;
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

// Converts count samples of a frame, from sample first on, to interleaved
// signed 16-bit samples at their own rate and channel count and pushes
// them, in pieces that fit the sample buffer. seconds is the media time of
// sample first.
bool AudioDecodeThread::convertAndPush(const AVFrame *frame, int first, int count, double seconds)
{
    if (frame->ch_layout.nb_channels <= 0 || frame->sample_rate <= 0 || !prepareConverter(frame))
        return false;
    const AVSampleFormat format = AVSampleFormat(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int channels = frame->ch_layout.nb_channels;
    const int skip = first * av_get_bytes_per_sample(format) * (planar ? 1 : channels);
    const int planes = planar ? channels : 1;
    std::vector<const uint8_t *> in(static_cast<std::size_t>(planes));
    for (int i = 0; i < planes; ++i)
        in[std::size_t(i)] = frame->extended_data[i] + skip;

    const int frameBytes = m_layout.nb_channels * 2;
    const int capacity = sampleBufferSize / frameBytes;
    uint8_t *out[] = {m_samples};
    int converted = swr_convert(m_converter, out, capacity, in.data(), count);
    while (converted > 0 && !m_media->m_stopped) {
        play(m_samples, converted, seconds);
        seconds += double(converted) / frame->sample_rate;
        if (converted < capacity)
            break;
        converted = swr_convert(m_converter, out, capacity, nullptr, 0); // what did not fit
    }
    return converted >= 0;
}

// Plays converted samples at the engine's speed: as they are at 1, else
// through the time-stretch, made anew when the speed changes (after what the
// old one holds has gone out).
void AudioDecodeThread::play(uint8_t *data, int frames, double seconds)
{
    const double speed = m_media->m_speed;
    if (m_stretch.active() && m_stretch.tempo() != speed)
        finishStretch();
    if (std::abs(speed - 1.0) < 1e-9) {
        push(reinterpret_cast<char *>(data), frames * m_layout.nb_channels * 2, seconds, 1.0);
        return;
    }
    if (!m_stretch.active()) {
        if (!m_stretch.setup(m_sampleRate, m_layout, speed)) {
            // Without the filter the sound at least keeps its place.
            push(reinterpret_cast<char *>(data), frames * m_layout.nb_channels * 2, seconds, 1.0);
            return;
        }
        m_stretchStart = seconds;
        m_stretchOut = 0;
    }
    m_stretch.feed(data, frames);
    pullStretched();
}

// Output sample n of the stretch plays media time start + n * tempo.
void AudioDecodeThread::pullStretched()
{
    FramePtr piece(av_frame_alloc());
    const int frameBytes = m_layout.nb_channels * 2;
    const double perSample = m_stretch.tempo() / m_sampleRate;
    while (piece && m_stretch.take(piece.get())) {
        const double at = m_stretchStart + m_stretch.delay() + double(m_stretchOut) * perSample;
        const int skip = at >= m_stretchFrom ? 0
                                             : int(std::min<double>(piece->nb_samples,
                                                                    std::ceil((m_stretchFrom - at) / perSample)));
        if (skip < piece->nb_samples)
            push(reinterpret_cast<char *>(piece->data[0]) + skip * frameBytes,
                 (piece->nb_samples - skip) * frameBytes, at + skip * perSample, m_stretch.tempo());
        m_stretchOut += piece->nb_samples;
        av_frame_unref(piece.get());
    }
}

void AudioDecodeThread::finishStretch()
{
    if (!m_stretch.active())
        return;
    m_stretch.drain();
    pullStretched();
    m_stretch.reset();
}

// Hands the samples to the output as fast as it takes them, telling it the
// media time of each piece and how fast media time runs in it. Gives up when
// the engine stops; without an output that takes data (no sound device) the
// samples are dropped at the pace they would have played.
void AudioDecodeThread::push(char *data, int length, double seconds, double tempo)
{
    Media *media = m_media;
    IAudio *audio = media->m_audio;
    const double secondsPerByte = tempo / (double(m_sampleRate) * m_layout.nb_channels * 2);
    int written = 0;
    int remaining = length;
    while (remaining > 0 && !media->m_stopped) {
        if (!audio->acceptsData()) {
            dropInRealTime(remaining);
            return;
        }
        const int n = audio->write(data + written, remaining, seconds + written * secondsPerByte,
                                   secondsPerByte, m_serial);
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
