// Finding the pauses of a file's sound: decoding, in stretches side by
// side on a long recording, and measuring.

#include "cues/sentencesplitter.h"

#include "media/avpointers.h"
#include "cues/levelmeter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

#include <QFile>
#include <QLoggingCategory>
#include <QThread>

#include <algorithm>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

Q_LOGGING_CATEGORY(lcSplitter, "vantiro.splitter", QtInfoMsg)

namespace {

// A file's sound, opened for decoding.
struct Sound {
    FormatContextPtr format;
    CodecContextPtr codec;
    int stream = -1;

    // An empty text, or why the file's sound cannot be decoded.
    QString open(const QString &mediaPath)
    {
        AVFormatContext *raw = nullptr;
        if (avformat_open_input(&raw, QFile::encodeName(mediaPath).constData(), nullptr, nullptr) < 0)
            return SentenceSplitter::tr("the file cannot be opened.");
        format.reset(raw);
        if (avformat_find_stream_info(format.get(), nullptr) < 0)
            return SentenceSplitter::tr("the file cannot be read.");
        const AVCodec *decoder = nullptr;
        stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
        if (stream < 0 || !decoder)
            return SentenceSplitter::tr("it has no sound.");
        for (unsigned i = 0; i < format->nb_streams; ++i)
            format->streams[i]->discard = int(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
        const AVStream *s = format->streams[stream];
        codec.reset(avcodec_alloc_context3(decoder));
        if (!codec || avcodec_parameters_to_context(codec.get(), s->codecpar) < 0)
            return SentenceSplitter::tr("its sound cannot be decoded.");
        codec->pkt_timebase = s->time_base;
        if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
            return SentenceSplitter::tr("its sound cannot be decoded.");
        return {};
    }
};

// µs of stream time where the sound starts: where the windows' grid lies.
int64_t startUs(const Sound &sound)
{
    const AVStream *s = sound.format->streams[sound.stream];
    return s->start_time != AV_NOPTS_VALUE ? av_rescale_q(s->start_time, s->time_base, AVRational{1, 1000000}) : 0;
}

constexpr int64_t openStart = std::numeric_limits<int64_t>::min();
constexpr int64_t openEnd = std::numeric_limits<int64_t>::max();
// The sound a decoder is given ahead of its stretch, for its state (an MP3
// frame's bit reservoir, an overlapping transform) to be what it is in a
// run from the start. Its frames are not measured.
constexpr int64_t primeUs = 1000000;
// Shorter stretches are not worth a demuxer and decoder of their own.
constexpr int64_t minStretchUs = 30 * int64_t(1000000);
constexpr int maxStretches = 8;

// Decodes the frames from fromUs up to toUs of stream time into meter.
// The packets before the stretch are read, which costs little, so that
// every frame carries the timestamp a run from the start gives it, but
// only the last primeUs of them are decoded. untimed becomes true when a
// frame has no timestamp to place it by. Returns false when cancelled or
// out of memory.
bool measureStretch(Sound &sound, int64_t fromUs, int64_t toUs, LevelMeter *meter, bool *untimed,
                    const std::atomic<bool> *cancel)
{
    const AVRational timeBase = sound.format->streams[sound.stream]->time_base;
    const auto toUsOf = [timeBase](int64_t ts) { return av_rescale_q(ts, timeBase, AVRational{1, 1000000}); };
    const bool whole = fromUs == openStart && toUs == openEnd;
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return false;
    bool past = false; // the stretch has ended
    auto drain = [&]() {
        while (!past && avcodec_receive_frame(sound.codec.get(), frame.get()) >= 0) {
            const int64_t ts = frame->best_effort_timestamp;
            if (whole) {
                meter->put(frame.get(), timeBase);
            } else if (ts == AV_NOPTS_VALUE) {
                *untimed = past = true;
            } else if (toUsOf(ts) >= toUs) {
                past = true;
            } else if (toUsOf(ts) >= fromUs) {
                meter->put(frame.get(), timeBase);
            }
            av_frame_unref(frame.get());
        }
    };
    while (!past && av_read_frame(sound.format.get(), packet.get()) >= 0) {
        if (cancel && *cancel)
            return false;
        const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        const bool ahead = fromUs != openStart && ts != AV_NOPTS_VALUE && toUsOf(ts) < fromUs - primeUs;
        if (packet->stream_index == sound.stream && !ahead) {
            // A broken packet costs a moment of sound, not the whole split.
            if (avcodec_send_packet(sound.codec.get(), packet.get()) < 0)
                qCDebug(lcSplitter) << "undecodable packet at" << packet->pts;
            drain();
        }
        av_packet_unref(packet.get());
    }
    if (!past) {
        avcodec_send_packet(sound.codec.get(), nullptr);
        drain();
    }
    meter->finish();
    return !(cancel && *cancel);
}

// The stream times where the stretches that decode side by side begin,
// and the open end; just {openStart, openEnd} where one pass is best.
std::vector<int64_t> stretchBounds(const Sound &sound)
{
    const AVFormatContext *format = sound.format.get();
    const int cores = std::min(QThread::idealThreadCount(), maxStretches);
    const int64_t length = format->duration;
    if (cores < 2 || length == AV_NOPTS_VALUE || length < 2 * minStretchUs)
        return {openStart, openEnd};
    const int count = int(std::min<int64_t>(cores, length / minStretchUs));
    std::vector<int64_t> bounds{openStart};
    for (int i = 1; i < count; ++i)
        bounds.push_back(startUs(sound) + length * i / count);
    bounds.push_back(openEnd);
    return bounds;
}

// Measures the stretches side by side, the first one through sound on
// this thread, each further one through a demuxer and decoder of its own;
// false unless every one could be placed in time.
bool measureStretches(const QString &mediaPath, Sound &sound, const std::vector<int64_t> &bounds,
                      LevelMeter *meter, const std::atomic<bool> *cancel)
{
    const size_t count = bounds.size() - 1;
    std::vector<LevelMeter> meters(count);
    for (LevelMeter &m : meters)
        m.alignTo(startUs(sound));
    std::unique_ptr<bool[]> placed(new bool[count]);
    std::vector<std::thread> threads;
    for (size_t i = 1; i < count; ++i) {
        threads.emplace_back([&, i] {
            Sound own;
            bool untimed = false;
            placed[i] = own.open(mediaPath).isEmpty()
                && measureStretch(own, bounds[i], bounds[i + 1], &meters[i], &untimed, cancel) && !untimed;
        });
    }
    bool untimed = false;
    placed[0] = measureStretch(sound, bounds[0], bounds[1], &meters[0], &untimed, cancel) && !untimed;
    for (std::thread &t : threads)
        t.join();
    for (size_t i = 0; i < count; ++i) {
        if (!placed[i])
            return false;
    }
    *meter = std::move(meters[0]);
    for (size_t i = 1; i < count; ++i)
        meter->append(meters[i]);
    return true;
}

} // namespace

bool SentenceSplitter::findPauses(const QString &mediaPath, int minPauseMs, QList<Pause> *pauses,
                                  int64_t *durationMs, const std::atomic<bool> *cancel, QString *error,
                                  Waveform *waveform)
{
    auto fail = [error, &mediaPath](const QString &why) {
        if (error)
            *error = tr("Cannot find the sentences of %1: %2").arg(mediaPath, why);
        return false;
    };
    Sound sound;
    const QString why = sound.open(mediaPath);
    if (!why.isEmpty())
        return fail(why);
    // Times from the file's first moment, as positions and cues count.
    const int64_t origin = Subtitles::originMs(sound.format.get());

    // Decoding is nearly all the work, and a decoder works on one core:
    // a long recording is cut into stretches decoded side by side. Should
    // one of them not be placeable in time, one pass does it all.
    LevelMeter meter;
    // Every way through lays the windows on the same grid, for the same
    // pauses to the ms whatever the number of cores.
    meter.alignTo(startUs(sound));
    const std::vector<int64_t> bounds = stretchBounds(sound);
    qCDebug(lcSplitter) << mediaPath << "in" << bounds.size() - 1 << "stretches";
    bool measured = false;
    if (bounds.size() > 2) {
        measured = measureStretches(mediaPath, sound, bounds, &meter, cancel);
        if (cancel && *cancel)
            return false;
        if (!measured) {
            qCDebug(lcSplitter) << "stretches without timestamps; one pass over" << mediaPath;
            meter = LevelMeter();
            const QString again = sound.open(mediaPath);
            if (!again.isEmpty())
                return fail(again);
            meter.alignTo(startUs(sound));
        }
    }
    bool untimed = false;
    if (!measured && !measureStretch(sound, openStart, openEnd, &meter, &untimed, cancel))
        return cancel && *cancel ? false : fail(tr("out of memory."));

    const int64_t end = meter.endMs() - origin;
    // A shorter pause only ever adds pauses to those of a longer one: the
    // waveform's, the shortest, hold the sentences' too.
    const int shortest = waveform ? std::min(minPauseMs, int(Waveform::minPauseMs)) : minPauseMs;
    pauses->clear();
    QList<Pause> all;
    for (Pause p : meter.pauses(shortest)) {
        const bool wanted = p.end - p.start >= minPauseMs;
        p.start = std::max<int64_t>(0, p.start - origin);
        p.end = std::max<int64_t>(p.start, p.end - origin);
        all.append(p);
        if (wanted)
            pauses->append(p);
    }
    *durationMs = std::max<int64_t>(0, end);
    if (waveform)
        *waveform = Waveform(meter.peaks(origin), *durationMs, all);
    return true;
}
