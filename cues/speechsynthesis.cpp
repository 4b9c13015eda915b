#include "cues/speechsynthesis.h"

#include "cues/mfccframes.h"
#include "media/avpointers.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <espeak-ng/speak_lib.h>

#include <QCoreApplication>
#include <QMutex>

#include <algorithm>
#include <cmath>

namespace {

// espeak-ng is set up once for the process and used under this lock.
QMutex &espeakLock()
{
    static QMutex lock;
    return lock;
}

int espeakRate = 0; // samples per second; 0 until set up, -1 when it failed

// What the callback fills: the sentence being spoken, as espeak-ng gives it.
struct Collector {
    std::vector<short> samples;
    const std::atomic<bool> *cancel = nullptr;
};

int collect(short *wave, int count, espeak_EVENT *events)
{
    auto *collector = static_cast<Collector *>(events ? events->user_data : nullptr);
    if (!collector)
        return 0;
    if (collector->cancel && *collector->cancel)
        return 1;
    if (wave && count > 0)
        collector->samples.insert(collector->samples.end(), wave, wave + count);
    return 0;
}

bool startEspeak(QString *error)
{
    if (espeakRate == 0) {
        const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0);
        espeakRate = rate > 0 && espeak_SetVoiceByName("en-us") == EE_OK ? rate : -1;
        if (espeakRate > 0) {
            espeak_SetSynthCallback(collect);
            espeak_SetParameter(espeakRATE, 175, 0);
        }
    }
    if (espeakRate < 0 && error)
        *error = QCoreApplication::translate("SpeechSynthesis", "The speech synthesiser (espeak-ng) cannot be started.");
    return espeakRate > 0;
}

// The first and last sample louder than the quiet between words, in
// espeak-ng's clean output.
SpeechSynthesis::Span speechIn(const std::vector<float> &samples, size_t from, size_t to)
{
    constexpr float threshold = 0.01f;
    size_t first = from;
    while (first < to && std::fabs(samples[first]) < threshold)
        ++first;
    size_t last = to;
    while (last > first && std::fabs(samples[last - 1]) < threshold)
        --last;
    return {first, last};
}

} // namespace

bool SpeechSynthesis::speak(const QStringList &sentences, const QList<int> &paragraphs,
                            const std::atomic<bool> *cancel, QString *error,
                            const std::function<void(int done)> &progress)
{
    m_samples.clear();
    m_spans.clear();
    QMutexLocker locker(&espeakLock());
    if (!startEspeak(error))
        return false;

    SwrContext *raw = nullptr;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    if (swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_FLT, MfccFrames::sampleRate, &mono, AV_SAMPLE_FMT_S16,
                            espeakRate, 0, nullptr) < 0
        || swr_init(raw) < 0) {
        swr_free(&raw);
        if (error)
            *error = QCoreApplication::translate("SpeechSynthesis", "The synthesised speech cannot be converted.");
        return false;
    }
    ConverterPtr resampler(raw);
    Collector collector;
    collector.cancel = cancel;
    std::vector<float> converted;
    auto append = [&](const short *in, int count) {
        const int room = swr_get_out_samples(resampler.get(), count);
        converted.resize(size_t(std::max(room, 0)));
        auto *out = reinterpret_cast<uint8_t *>(converted.data());
        const auto *source = reinterpret_cast<const uint8_t *>(in);
        const int made = swr_convert(resampler.get(), &out, room, in ? &source : nullptr, count);
        if (made > 0)
            m_samples.insert(m_samples.end(), converted.begin(), converted.begin() + made);
    };
    // Quiet before the first sentence and after the last, as a recording
    // has: the recording's quiet then meets quiet.
    const auto edgeQuiet = size_t(MfccFrames::sampleRate) * edgePauseMs / 1000;
    m_samples.insert(m_samples.end(), edgeQuiet, 0.0f);
    for (qsizetype i = 0; i < sentences.size(); ++i) {
        if (cancel && *cancel)
            return false;
        if (i > 0 && paragraphs.value(i) != paragraphs.value(i - 1))
            m_samples.insert(m_samples.end(), size_t(MfccFrames::sampleRate) * paragraphPauseMs / 1000, 0.0f);
        const QByteArray text = sentences[i].toUtf8();
        collector.samples.clear();
        const size_t from = m_samples.size();
        espeak_Synth(text.constData(), size_t(text.size()) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                     &collector);
        if (cancel && *cancel)
            return false;
        append(collector.samples.data(), int(collector.samples.size()));
        // The resampler holds back a few samples: flushed at every sentence
        // so that each one's span is where its samples lie.
        append(nullptr, 0);
        swr_init(resampler.get());
        Span span = speechIn(m_samples, from, m_samples.size());
        if (span.end <= span.start)
            span = {from, from};
        m_spans.push_back(span);
        if (progress)
            progress(int(i + 1));
    }
    m_samples.insert(m_samples.end(), edgeQuiet, 0.0f);
    return true;
}
