// The work of aligning a transcript: the recording decoded once for both
// its frames and its pauses, the synthesis beside it on a second thread,
// the time warp, and the sentences' edges moved to the pauses.

#include "cues/transcriptaligner.h"

#include "cues/levelmeter.h"
#include "cues/mfccframes.h"
#include "cues/speechsynthesis.h"
#include "cues/timewarp.h"
#include "media/avpointers.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <QFile>
#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>

Q_LOGGING_CATEGORY(lcAligner, "vantiro.aligner", QtInfoMsg)

namespace {

// A recording decoded to what alignment needs: mono samples at the
// frames' rate from its first sound on, and its pauses.
struct Recording {
    std::vector<float> samples;
    int64_t firstMs = 0;    // media time of samples[0], from the file's first moment
    int64_t durationMs = 0; // of the sound, from the file's first moment
    QList<SentenceSplitter::Pause> pauses;
};

QString decode(const QString &mediaPath, Recording *recording, const std::atomic<bool> *cancel,
               const std::function<void(int permille)> &progress)
{
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(mediaPath).constData(), nullptr, nullptr) < 0)
        return TranscriptAligner::tr("the file cannot be opened.");
    FormatContextPtr format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return TranscriptAligner::tr("the file cannot be read.");
    const AVCodec *decoder = nullptr;
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0 || !decoder)
        return TranscriptAligner::tr("it has no sound.");
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = int(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    const AVStream *s = format->streams[stream];
    CodecContextPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), s->codecpar) < 0)
        return TranscriptAligner::tr("its sound cannot be decoded.");
    codec->pkt_timebase = s->time_base;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return TranscriptAligner::tr("its sound cannot be decoded.");

    const int64_t origin = Subtitles::originMs(format.get());
    const int64_t lengthUs = format->duration > 0 ? format->duration : 0;
    const int64_t streamStartUs = s->start_time != AV_NOPTS_VALUE
        ? av_rescale_q(s->start_time, s->time_base, AVRational{1, 1000000})
        : 0;
    LevelMeter meter;
    meter.alignTo(streamStartUs);
    ConverterPtr converter;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return TranscriptAligner::tr("out of memory.");
    bool first = true;
    int told = 0;
    auto take = [&]() -> bool {
        while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
            meter.put(frame.get(), s->time_base);
            if (!converter) {
                SwrContext *c = nullptr;
                if (swr_alloc_set_opts2(&c, &mono, AV_SAMPLE_FMT_FLT, MfccFrames::sampleRate, &frame->ch_layout,
                                        AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr) < 0
                    || swr_init(c) < 0) {
                    swr_free(&c);
                    return false;
                }
                converter.reset(c);
            }
            if (first) {
                first = false;
                const int64_t ts = frame->best_effort_timestamp;
                const int64_t us = ts != AV_NOPTS_VALUE ? av_rescale_q(ts, s->time_base, AVRational{1, 1000000})
                                                        : streamStartUs;
                recording->firstMs = us / 1000 - origin;
            }
            const int room = swr_get_out_samples(converter.get(), frame->nb_samples);
            const size_t at = recording->samples.size();
            recording->samples.resize(at + size_t(std::max(room, 0)));
            auto *out = reinterpret_cast<uint8_t *>(recording->samples.data() + at);
            const int made = swr_convert(converter.get(), &out, room, const_cast<const uint8_t **>(frame->extended_data),
                                         frame->nb_samples);
            recording->samples.resize(at + size_t(std::max(made, 0)));
            if (lengthUs > 0 && frame->best_effort_timestamp != AV_NOPTS_VALUE) {
                const int64_t us = av_rescale_q(frame->best_effort_timestamp, s->time_base, AVRational{1, 1000000});
                const int permille = int(std::clamp<int64_t>((us - streamStartUs) * 1000 / lengthUs, 0, 1000));
                if (permille != told)
                    progress(told = permille);
            }
            av_frame_unref(frame.get());
        }
        return true;
    };
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (cancel && *cancel)
            return {};
        if (packet->stream_index == stream && avcodec_send_packet(codec.get(), packet.get()) >= 0 && !take())
            return TranscriptAligner::tr("its sound cannot be decoded.");
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(codec.get(), nullptr);
    take();
    meter.finish();
    if (recording->samples.empty())
        return TranscriptAligner::tr("its sound cannot be decoded.");
    recording->durationMs = std::max<int64_t>(0, meter.endMs() - origin);
    for (SentenceSplitter::Pause p : meter.pauses(TranscriptAligner::minPauseMs)) {
        p.start = std::max<int64_t>(0, p.start - origin);
        p.end = std::max<int64_t>(p.start, p.end - origin);
        recording->pauses.append(p);
    }
    progress(1000);
    return {};
}

// The edge of a pause nearest to ms within TranscriptAligner::snapMs: the
// end of a pause for a sentence's start (where speech begins), the start of
// one for its end. ms itself when none is that near.
int64_t snapped(const QList<SentenceSplitter::Pause> &pauses, int64_t ms, bool start)
{
    int64_t best = ms;
    int64_t distance = TranscriptAligner::snapMs + 1;
    for (const SentenceSplitter::Pause &p : pauses) {
        // A place inside a pause, or near it, belongs to its edge.
        const int64_t away = ms < p.start ? p.start - ms : ms > p.end ? ms - p.end : 0;
        if (away < distance) {
            distance = away;
            best = start ? p.end : p.start;
        }
    }
    return best;
}

} // namespace

bool TranscriptAligner::align(const QString &mediaPath, const QList<Transcript::Sentence> &sentences,
                              Alignment *result, const std::atomic<bool> *cancel, std::atomic<int> *percent,
                              QString *error)
{
    *result = Alignment();
    auto fail = [error, &mediaPath](const QString &why) {
        if (error)
            *error = tr("Cannot align the transcript with %1: %2").arg(mediaPath, why);
        return false;
    };
    if (sentences.isEmpty())
        return fail(tr("the transcript holds no words."));
    QStringList texts;
    QList<int> paragraphs;
    for (const Transcript::Sentence &s : sentences) {
        texts.append(s.text);
        paragraphs.append(s.paragraph);
    }

    // The recording on a thread of its own, the synthesis on this one:
    // each takes a core.
    // The recording counts for 40 %, the synthesis for 40 % and the warp
    // for 20; the first two run side by side and report from their threads.
    std::atomic<int> decoded{0}; // per mille
    std::atomic<int> spoken{0};  // sentences
    auto report = [&](int warped) {
        if (percent)
            *percent = decoded * 40 / 1000 + spoken * 40 / int(texts.size()) + warped * 20 / 1000;
    };
    Recording recording;
    QString decodeError;
    MfccFrames recordingFrames;
    int hop = MfccFrames::sampleRate / 50; // 20 ms
    std::thread decoding([&] {
        decodeError = decode(mediaPath, &recording, cancel, [&](int permille) {
            decoded = permille;
            report(0);
        });
    });
    SpeechSynthesis synthesis;
    QString synthError;
    const bool spokeAll = synthesis.speak(texts, paragraphs, cancel, &synthError, [&](int done) {
        spoken = done;
        report(0);
    });
    decoding.join();
    if (cancel && *cancel)
        return false;
    if (!decodeError.isEmpty())
        return fail(decodeError);
    if (!spokeAll)
        return fail(synthError);
    result->durationMs = recording.durationMs;

    // Frames of 40 ms on long recordings keep the warp's memory small.
    if (recording.samples.size() > size_t(MfccFrames::sampleRate) * 20 * 60)
        hop *= 2;
    MfccFrames modelFrames;
    std::thread framing([&] { recordingFrames.compute(recording.samples, hop, cancel); });
    modelFrames.compute(synthesis.samples(), hop, cancel);
    framing.join();
    if (cancel && *cancel)
        return false;

    // The band: a tenth of the recording, from 30 s to 2 minutes either side.
    const double seconds = double(recording.samples.size()) / MfccFrames::sampleRate;
    const double bandSeconds = std::clamp(seconds / 10.0, 30.0, 120.0);
    const size_t lastModelFrame = modelFrames.count() ? modelFrames.count() - 1 : 0;
    auto frameOf = [&](size_t sample) { return std::min(sample / size_t(hop), lastModelFrame); };
    std::vector<TimeWarp::Segment> segments;
    for (const SpeechSynthesis::Span &span : synthesis.spans())
        segments.push_back({frameOf(span.start), frameOf(span.end > 0 ? span.end - 1 : 0)});
    TimeWarp warp;
    if (!warp.align(recordingFrames, modelFrames, segments, size_t(bandSeconds * MfccFrames::sampleRate / hop),
                    cancel, report))
        return cancel && *cancel ? false : fail(tr("the recording is too long to align at once."));

    const double msPerSample = 1000.0 / MfccFrames::sampleRate;
    const double ratio = double(recordingFrames.count()) / double(std::max<size_t>(1, modelFrames.count()));
    // Where the warp puts each sentence; the ones it could not place are
    // listed instead.
    QList<Cue> &cues = result->cues;
    double firstExpectedMs = 0;
    double lastExpectedMs = 0;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const SpeechSynthesis::Span span = synthesis.spans()[size_t(i)];
        const TimeWarp::Segment frames = segments[size_t(i)];
        const size_t first = warp.firstFor(frames.first);
        const size_t last = warp.lastFor(frames.last);
        // Jumped over, or squeezed into a moment: not in the recording.
        const double expectedMs = double(span.end - span.start) * msPerSample * ratio;
        bool placed = span.end > span.start && first != TimeWarp::none && last != TimeWarp::none;
        int64_t startMs = 0;
        int64_t endMs = 0;
        if (placed) {
            startMs = recording.firstMs
                + int64_t(std::llround((double(first) * hop + double(span.start % size_t(hop))) * msPerSample));
            endMs = recording.firstMs
                + int64_t(std::llround((double(last) * hop + double((span.end - 1) % size_t(hop))) * msPerSample));
            placed = double(endMs - startMs) >= minLengthShare * expectedMs;
        }
        qCDebug(lcAligner) << i << startMs << endMs << "expected" << expectedMs << "placed" << placed;
        if (!placed) {
            result->unplaced.append(texts[i]);
            continue;
        }
        if (cues.isEmpty())
            firstExpectedMs = expectedMs;
        lastExpectedMs = expectedMs;
        cues.append(Cue{startMs, std::max(endMs, startMs + 1), texts[i]});
    }
    // Sentences end and begin at a pause: each meeting of two moves to the
    // pause it most likely is, a long one near rather than a short one (a
    // comma's, a breath's) nearer; the first start and the last end to the
    // edges of the pauses around them.
    // Sound before the first sentence or after the last that the text
    // lacks (a jingle) may still cling to it: a first or last sentence
    // much longer than its synthesis gives up the excess before snapping.
    if (!cues.isEmpty()) {
        Cue &first = cues.first();
        if (double(first.end - first.start) > 1.3 * firstExpectedMs)
            first.start = first.end - int64_t(firstExpectedMs);
        first.start = snapped(recording.pauses, first.start, true);
        Cue &last = cues.last();
        if (double(last.end - last.start) > 1.3 * lastExpectedMs)
            last.end = last.start + int64_t(lastExpectedMs);
        last.end = snapped(recording.pauses, last.end, false);
    }
    for (qsizetype i = 0; i + 1 < cues.size(); ++i) {
        const int64_t from = std::min(cues[i].end, cues[i + 1].start);
        const int64_t to = std::max(cues[i].end, cues[i + 1].start);
        const SentenceSplitter::Pause *best = nullptr;
        int64_t bestScore = 0;
        for (const SentenceSplitter::Pause &p : recording.pauses) {
            const int64_t away = p.end < from ? from - p.end : p.start > to ? p.start - to : 0;
            if (away > snapMs || p.end <= cues[i].start || p.start >= cues[i + 1].end)
                continue;
            const int64_t score = (p.end - p.start) - 2 * away;
            if (!best || score > bestScore) {
                best = &p;
                bestScore = score;
            }
        }
        if (best) {
            cues[i].end = best->start;
            cues[i + 1].start = best->end;
        } else if (cues[i].end > cues[i + 1].start) {
            cues[i].end = cues[i + 1].start = (cues[i].end + cues[i + 1].start) / 2;
        }
    }
    for (Cue &cue : cues)
        cue.end = std::max(cue.end, cue.start + 1);
    if (percent)
        *percent = 100;
    return true;
}
