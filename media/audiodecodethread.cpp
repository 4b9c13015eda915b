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
#include <cstring>
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
            if (PacketQueue::isEndPacket(packet.get())) {
                if (media->audioDrivesMarks() && reachEndMark()) {
                    waitForRestart();
                } else {
                    finishStretch(); // the end of the file: all of it is heard
                    releaseHeld();
                }
            }
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
    m_recent.clear();
    m_playedSpeed = 0.0;
    m_crossfade = false;
    if (!m_media->m_lastSeekWasLoop)
        m_held.clear(); // the output was emptied for the new place
    m_keepStretch = m_keepStretch && m_media->m_lastSeekWasLoop && m_stretch.active();
    if (!m_keepStretch) {
        m_stretch.reset();
        m_stretchRuns.clear();
    }
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
    const double feedFrom = stretching && !m_stretch.active() ? cutOff - stretchPadSeconds : cutOff;
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

// Everything up to the end mark goes out; a time-stretch keeps what it holds
// of it for the start mark's samples to follow. What the decoder yields
// until the restart arrives lies after the end mark and is not heard.
void AudioDecodeThread::waitForRestart()
{
    m_keepStretch = m_stretch.active();
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

// Plays converted samples at the engine's speed, in pieces of 10 ms, so that
// a change of speed applies from the next piece, not after a whole packet.
void AudioDecodeThread::play(uint8_t *data, int frames, double seconds)
{
    const int piece = std::max(1, m_sampleRate / 100);
    const int frameBytes = m_layout.nb_channels * 2;
    for (int done = 0; done < frames && !m_media->m_stopped; done += piece)
        playPiece(data + std::ptrdiff_t(done) * frameBytes, std::min(piece, frames - done),
                  seconds + double(done) / m_sampleRate);
}

// Plays samples as they are at speed 1, else through the time-stretch, made
// anew when the speed changes (after what the old one holds has gone out).
void AudioDecodeThread::playPiece(uint8_t *data, int frames, double seconds)
{
    const double speed = m_media->m_speed;
    const int frameBytes = m_layout.nb_channels * 2;
    // The speed changes while playing on: the sound after the change starts
    // where the sound before it ends, a crossfade's length early.
    const bool changes = m_playedSpeed > 0.0 && speed != m_playedSpeed && !m_recent.empty()
        && std::abs(m_recentEnd - seconds) < 0.5 / m_sampleRate;
    m_playedSpeed = speed;
    const int fade = std::max(1, m_sampleRate * crossfadeMilliseconds / 1000);
    // Where the sound before the change ends: a stretch still holds some of
    // what it was fed, which is not waited for but played anew from the
    // samples kept, at the new speed.
    const int64_t kept = int64_t(m_recent.size()) / frameBytes;
    double resume = seconds;
    if (changes && m_stretch.active()) {
        resume = std::clamp(m_pushedEnd, seconds - double(kept) / m_sampleRate, seconds);
        m_stretch.reset();
        m_stretchRuns.clear();
    } else if (m_stretch.active() && m_stretch.tempo() != speed) {
        finishStretch();
    }
    if (std::abs(speed - 1.0) < 1e-9) {
        const int early = changes ? int(std::min<int64_t>(kept, std::llround((seconds - resume) * m_sampleRate) + fade)) : 0;
        if (early > 0) {
            std::vector<char> joined(m_recent.end() - std::ptrdiff_t(early) * frameBytes, m_recent.end());
            joined.insert(joined.end(), data, data + std::ptrdiff_t(frames) * frameBytes);
            remember(data, frames, seconds);
            m_crossfade = true;
            push(joined.data(), int(joined.size()), seconds - double(early) / m_sampleRate, 1.0);
        } else {
            remember(data, frames, seconds); // before the output scales them by the volume
            push(reinterpret_cast<char *>(data), frames * frameBytes, seconds, 1.0);
        }
        return;
    }
    if (!m_stretch.active()) {
        if (!m_stretch.setup(m_sampleRate, m_layout, speed)) {
            // Without the filter the sound at least keeps its place.
            remember(data, frames, seconds);
            push(reinterpret_cast<char *>(data), frames * frameBytes, seconds, 1.0);
            return;
        }
        m_stretchIn = 0;
        m_stretchOut = 0;
        m_stretchRuns.clear();
        // While playing on (a change of speed), the new stretch settles on
        // the samples kept, and its sound starts where the sound before it
        // ended, less the crossfade.
        const int64_t recent = int64_t(m_recent.size()) / frameBytes;
        if (recent > 0 && std::abs(m_recentEnd - seconds) < 0.5 / m_sampleRate) {
            const double from = changes ? resume - fade * speed / m_sampleRate : seconds;
            m_crossfade = changes;
            m_stretchRuns.push_back({0, seconds - double(recent) / m_sampleRate, from});
            m_stretch.feed(m_recent.data(), int(recent));
            m_stretchIn = recent;
        } else {
            m_stretchRuns.push_back({0, seconds, m_stretchFrom});
        }
    } else {
        const StretchRun &last = m_stretchRuns.back();
        const double follows = last.seconds + double(m_stretchIn - last.fedBefore) / m_sampleRate;
        if (std::abs(seconds - follows) > 0.5 / m_sampleRate)
            m_stretchRuns.push_back({m_stretchIn, seconds, -INFINITY});
    }
    m_stretch.feed(data, frames);
    m_stretchIn += frames;
    remember(data, frames, seconds);
    pullStretched();
}

// Keeps the last stretchPadSeconds of what was played, for a stretch made
// while playing to settle on.
void AudioDecodeThread::remember(const uint8_t *data, int frames, double seconds)
{
    const int frameBytes = m_layout.nb_channels * 2;
    if (std::abs(m_recentEnd - seconds) >= 0.5 / m_sampleRate)
        m_recent.clear(); // not where the last piece ended
    m_recent.insert(m_recent.end(), data, data + std::ptrdiff_t(frames) * frameBytes);
    const std::size_t keep = std::size_t(stretchPadSeconds * m_sampleRate) * std::size_t(frameBytes);
    if (m_recent.size() > keep)
        m_recent.erase(m_recent.begin(), m_recent.end() - std::ptrdiff_t(keep));
    m_recentEnd = seconds + double(frames) / m_sampleRate;
}

// Output frame n of the stretch plays input frame delay * rate + n * tempo,
// at the media time of the run that frame was fed in. A piece of output
// that spans two runs goes out in two parts, each with its own time.
void AudioDecodeThread::pullStretched()
{
    FramePtr piece(av_frame_alloc());
    const int frameBytes = m_layout.nb_channels * 2;
    const double tempo = m_stretch.tempo();
    const double lead = m_stretch.delay() * m_sampleRate;
    while (piece && m_stretch.take(piece.get())) {
        auto *data = reinterpret_cast<char *>(piece->data[0]);
        int done = 0;
        while (done < piece->nb_samples && !m_stretchRuns.empty()) {
            const double input = lead + double(m_stretchOut + done) * tempo;
            while (m_stretchRuns.size() > 1 && double(m_stretchRuns[1].fedBefore) <= input)
                m_stretchRuns.pop_front();
            const StretchRun &run = m_stretchRuns.front();
            int count = piece->nb_samples - done;
            if (m_stretchRuns.size() > 1) {
                const double untilNext =
                    (double(m_stretchRuns[1].fedBefore) - lead) / tempo - double(m_stretchOut + done);
                count = std::clamp(int(std::ceil(untilNext)), 1, count);
            }
            const double at = run.seconds + (input - double(run.fedBefore)) / m_sampleRate;
            const double perFrame = tempo / m_sampleRate;
            const int skip = at >= run.dropBefore
                ? 0
                : int(std::min<double>(count, std::ceil((run.dropBefore - at) / perFrame)));
            if (skip < count)
                push(data + (done + skip) * frameBytes, (count - skip) * frameBytes, at + skip * perFrame, tempo);
            done += count;
        }
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
    m_stretchRuns.clear();
}

// Hands samples on to the output, all but the last few milliseconds, which
// wait for what comes next: where the speed changes, the sound before and
// after the change are crossfaded over them instead of meeting with a click.
// Anywhere else they simply go out first.
void AudioDecodeThread::push(char *data, int length, double seconds, double tempo)
{
    const int frameBytes = m_layout.nb_channels * 2;
    if (length <= 0 || frameBytes <= 0)
        return;
    if (m_crossfade && !m_held.empty()) {
        const int frames = std::min(int(m_held.size()), length) / frameBytes;
        auto *fresh = reinterpret_cast<int16_t *>(data);
        const auto *old = reinterpret_cast<const int16_t *>(m_held.data());
        for (int i = 0; i < frames; ++i) {
            const double w = (i + 0.5) / frames;
            for (int c = 0; c < m_layout.nb_channels; ++c) {
                const std::size_t k = std::size_t(i) * std::size_t(m_layout.nb_channels) + std::size_t(c);
                int16_t a, b;
                std::memcpy(&a, old + k, 2);
                std::memcpy(&b, fresh + k, 2);
                const auto mixed = int16_t(std::lround(a * (1.0 - w) + b * w));
                std::memcpy(fresh + k, &mixed, 2);
            }
        }
        m_held.clear();
    }
    m_crossfade = false;
    releaseHeld();
    const int hold = std::min(length, std::max(1, m_sampleRate * crossfadeMilliseconds / 1000) * frameBytes);
    const double secondsPerByte = tempo / (double(m_sampleRate) * frameBytes);
    m_pushedEnd = seconds + double(length) * secondsPerByte;
    m_held.assign(data + length - hold, data + length);
    m_heldSeconds = seconds + double(length - hold) * secondsPerByte;
    m_heldTempo = tempo;
    write(data, length - hold, seconds, tempo);
}

void AudioDecodeThread::releaseHeld()
{
    if (m_held.empty())
        return;
    std::vector<char> held;
    held.swap(m_held);
    write(held.data(), int(held.size()), m_heldSeconds, m_heldTempo);
}

// Hands the samples to the output as fast as it takes them, telling it the
// media time of each piece and how fast media time runs in it. Gives up when
// the engine stops; without an output that takes data (no sound device) the
// samples are dropped at the pace they would have played.
void AudioDecodeThread::write(char *data, int length, double seconds, double tempo)
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
        // Woken as the output takes bytes; the bound lets a stop be seen.
        if (remaining > 0)
            audio->waitForRoom(10);
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
