#include "media/audiodecodethread.h"

#include "media/engineparts.h"
#include "media/realtime.h"

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/time.h>
}

#include <algorithm>
#include <cmath>
#include <vector>

AudioDecodeThread::AudioDecodeThread(EngineParts &parts, QObject *parent)
    : DecoderThread(parts, parts.audioQueue, parent),
      m_splice([this](char *data, int length, double seconds, double tempo) {
          write(data, length, seconds, tempo);
      })
{
    m_samples = static_cast<uint8_t *>(av_malloc(sampleBufferSize));
}

AudioDecodeThread::~AudioDecodeThread()
{
    wait();
    av_channel_layout_uninit(&m_layout);
    av_freep(&m_samples);
}

QString AudioDecodeThread::logLine(LogLine line) const
{
    switch (line) {
    case LogLine::Started:
        return tr("AudioThread:: run.\n");
    case LogLine::Flushing:
        return tr("AudioThread:: Flushing the buffers.\n");
    case LogLine::NoMorePackets:
        return tr("AudioThread:: No more packets.\n");
    case LogLine::Ended:
        break;
    }
    return tr("AudioThread:: ended.\n");
}

AVCodecContext *AudioDecodeThread::decoder() const
{
    return m_samples && m_parts.file ? m_parts.file->audioCodec() : nullptr;
}

void AudioDecodeThread::started()
{
    // The sound must not wait for busy programs beside the player: a
    // restart of the passage is decoded here, just in time.
    realtime::requestForThisThread();
    m_silentUntil = 0;
    m_nextSeconds = -1.0;
    m_waitingForRestart = false;
}

// The decoder starts afresh, and what it yields now belongs to the new
// place. (A seek by the user emptied the output when it was asked for; a
// restart of the passage keeps what the output holds, so that the start
// mark follows the end mark without a break.)
void AudioDecodeThread::flushed(bool afresh)
{
    // At the start nothing has been played that anything could follow.
    const SeekRequest::Kind kind = afresh ? SeekRequest::Kind::User : m_parts.seek.lastKind();
    m_nextSeconds = -1.0;
    m_waitingForRestart = false;
    m_splice.restart(kind == SeekRequest::Kind::LoopRestart);
    m_skipUntil = kind == SeekRequest::Kind::Retry ? m_pushedUntil : -1.0;
    m_parts.soundDecoded = double(m_parts.seek.target()) * m_parts.timeBase();
    m_parts.audio->openGate();
}

// At the end of the input the passage ends, when the sound drives it;
// otherwise all of it is heard.
void AudioDecodeThread::endDrained()
{
    // The end of a place the user has left (read before his seek, taken
    // from the queue before it was emptied) ends nothing: the passage
    // would start again under him.
    if (serial() != m_parts.seek.serial())
        return;
    if (!m_parts.audioDrivesMarks()) {
        m_splice.finish();
        return;
    }
    // The end packet stands for the end mark.
    Passage::Marks marks = m_parts.passage.marks();
    while (!marks.playsOn) {
        const Passage::Round round = m_parts.passage.endReached(serial(), marks);
        if (round != Passage::Round::Stale) {
            if (round == Passage::Round::PlayOn)
                break;
            waitForRestart(round == Passage::Round::Hold);
            return;
        }
        if (serial() != m_parts.seek.serial())
            return;
        marks = m_parts.passage.marks();
    }
    m_splice.finish();
}

// Plays the part of a frame that lies between the latest seek target and,
// while a passage repeats, its end mark. Marks and targets count in ticks of
// the reference stream; both streams' stamps run on the file's one clock.
void AudioDecodeThread::handleFrame(AVFrame *frame)
{
    const int rate = frame->sample_rate;
    const int count = frame->nb_samples;
    if (rate <= 0 || count <= 0)
        return;
    double start = m_nextSeconds >= 0.0 ? m_nextSeconds : 0.0;
    if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
        start = double(frame->best_effort_timestamp) * av_q2d(m_parts.file->audioStream()->time_base);
    m_nextSeconds = start + double(count) / rate;

    const double tick = m_parts.timeBase();
    const double cutOff = std::max(double(m_parts.seek.target()) * tick, m_skipUntil);
    const double feedFrom = m_splice.feedFrom(cutOff, m_parts.clock.speed());
    int first = 0;
    if (feedFrom > start)
        first = int(std::min<double>(count, std::llround((feedFrom - start) * rate)));
    int last = count;
    bool waits = false;
    bool holding = false;
    // A place left since (a seek carried out after this frame was read)
    // plays nothing past the end mark.
    Passage::Marks marks = m_parts.passage.marks();
    while (m_parts.audioDrivesMarks() && !marks.playsOn) {
        const double end = double(marks.out) * tick;
        if (m_nextSeconds <= end)
            break;
        last = int(std::clamp<double>(std::llround((end - start) * rate), first, count));
        // Once stopping, or on a place left, nothing is decided.
        if (m_parts.stopped || serial() != m_parts.seek.serial())
            break;
        const Passage::Round round = m_parts.passage.endReached(serial(), marks);
        if (round == Passage::Round::Stale) {
            // The marks moved while this frame was judged: judged again.
            last = count;
            marks = m_parts.passage.marks();
            continue;
        }
        if (round == Passage::Round::PlayOn)
            last = count; // the count is reached: play on through the mark
        else
            waits = true;
        holding = round == Passage::Round::Hold;
        break;
    }
    m_parts.soundDecoded = start + double(last) / rate;
    if (first < last) {
        convertAndPlay(frame, first, last - first, start + double(first) / rate);
        m_pushedUntil = start + double(last) / rate;
    }
    if (waits)
        waitForRestart(holding);
}

// Everything up to the end mark goes out; a time-stretch keeps what it holds
// of it for the start mark's samples to follow, unless playback holds at the
// end, where all of it is to be heard. What the decoder yields until the
// restart arrives lies after the end mark and is not heard.
void AudioDecodeThread::waitForRestart(bool holding)
{
    if (holding)
        m_splice.finish();
    else
        m_splice.passageEnded();
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
    m_converter.reset();
    av_channel_layout_uninit(&m_layout);
    SwrContext *converter = nullptr;
    if (swr_alloc_set_opts2(&converter, &layout, AV_SAMPLE_FMT_S16, frame->sample_rate, &layout,
                            AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr)
        < 0) {
        av_channel_layout_uninit(&layout);
        return false;
    }
    m_converter.reset(converter);
    if (swr_init(converter) < 0) {
        m_converter.reset();
        av_channel_layout_uninit(&layout);
        return false;
    }
    m_layout = layout; // takes over the copy
    m_inputFormat = frame->format;
    m_sampleRate = frame->sample_rate;
    m_splice.setFormat(m_sampleRate, m_layout);
    return true;
}

// Converts count samples of a frame, from sample first on, to interleaved
// signed 16-bit samples at their own rate and channel count and plays
// them, in pieces that fit the sample buffer. seconds is the media time of
// sample first.
bool AudioDecodeThread::convertAndPlay(const AVFrame *frame, int first, int count, double seconds)
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
    const auto stopped = [this] { return m_parts.stopped.load(); };
    int converted = swr_convert(m_converter.get(), out, capacity, in.data(), count);
    while (converted > 0 && !stopped()) {
        m_splice.play(m_samples, converted, seconds, m_parts.clock.speed(), stopped);
        seconds += double(converted) / frame->sample_rate;
        if (converted < capacity)
            break;
        converted = swr_convert(m_converter.get(), out, capacity, nullptr, 0); // what did not fit
    }
    return converted >= 0;
}

// Hands the samples to the output as fast as it takes them, telling it the
// media time of each piece and how fast media time runs in it. Gives up when
// the engine stops; without an output that takes data (no sound device) the
// samples are dropped at the pace they would have played.
void AudioDecodeThread::write(char *data, int length, double seconds, double tempo)
{
    IAudio *audio = m_parts.audio.get();
    const double secondsPerByte = tempo / (double(m_sampleRate) * m_layout.nb_channels * 2);
    int written = 0;
    int remaining = length;
    while (remaining > 0 && !m_parts.stopped) {
        if (!audio->acceptsData()) {
            dropInRealTime(remaining);
            return;
        }
        const int n = audio->write(data + written, remaining, seconds + written * secondsPerByte,
                                   secondsPerByte, serial());
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
    // A seek or the end of playback cuts the wait short.
    for (int64_t left = m_silentUntil - now;
         left > 0 && !m_parts.stopped && m_parts.seek.serial() == serial();
         left = m_silentUntil - av_gettime())
        m_parts.seek.waitForSerialChange(serial(), int(std::min<int64_t>(left / 1000 + 1, 10)));
}
