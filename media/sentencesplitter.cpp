#include "media/sentencesplitter.h"

#include "media/avpointers.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QThread>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>
#include <vector>

Q_LOGGING_CATEGORY(lcSplitter, "vantiro.splitter", QtInfoMsg)

namespace {

struct FormatClose {
    void operator()(AVFormatContext *format) const { avformat_close_input(&format); }
};
struct CodecFree {
    void operator()(AVCodecContext *codec) const { avcodec_free_context(&codec); }
};

// One sample as a fraction of full scale, whatever the decoder's format.
inline float normal(float v) { return v; }
inline float normal(double v) { return float(v); }
inline float normal(uint8_t v) { return (float(v) - 128.0f) * (1.0f / 128.0f); }
inline float normal(int16_t v) { return float(v) * (1.0f / 32768.0f); }
inline float normal(int32_t v) { return float(v) * (1.0f / 2147483648.0f); }
inline float normal(int64_t v) { return float(v) * (1.0f / 9223372036854775808.0f); }

// Sum of the squares of n samples, stride apart. On the common, planar
// case sixteen running sums let the compiler work on whole vector
// registers, several at a time: the measure must cost next to nothing
// beside the decoding.
template <typename T>
float sumSquares(const T *p, int n, int stride)
{
    constexpr int lanes = 16;
    float acc[lanes] = {};
    int i = 0;
    if (stride == 1) {
        for (; i + lanes <= n; i += lanes) {
            for (int k = 0; k < lanes; ++k) {
                const float v = normal(p[i + k]);
                acc[k] += v * v;
            }
        }
    }
    for (; i < n; ++i) {
        const float v = normal(p[ptrdiff_t(i) * stride]);
        acc[0] += v * v;
    }
    float sum = 0;
    for (const float a : acc)
        sum += a;
    return sum;
}

// The loudness of a sound in short windows, measured on the decoded
// samples as they come (planar or interleaved, any sample format, no
// conversion): the mean square of the loudest channel, so a moment is
// quiet only when every channel is.
class LevelMeter
{
public:
    static constexpr int windowMs = 10;

    // timeBase: the unit of the frame's timestamps.
    void put(const AVFrame *frame, AVRational timeBase)
    {
        const int channels = frame->ch_layout.nb_channels;
        if (frame->sample_rate <= 0 || channels <= 0 || frame->nb_samples <= 0)
            return;
        if (frame->sample_rate != m_rate || channels != int(m_sums.size()) || frame->format != m_format)
            restart(frame->sample_rate, channels, frame->format);
        // Follow the frame's own time where it leaves the running count,
        // after a lost packet say; small differences are rounding.
        if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
            const int64_t us = av_rescale_q(frame->best_effort_timestamp, timeBase, AVRational{1, 1000000});
            if (!m_timed || std::abs(us - positionUs()) > windowMs * 500) {
                m_anchorUs = us;
                m_sinceAnchor = 0;
                m_timed = true;
            }
        }
        switch (AVSampleFormat(frame->format)) {
        case AV_SAMPLE_FMT_FLTP: return measure<float>(frame, true);
        case AV_SAMPLE_FMT_FLT: return measure<float>(frame, false);
        case AV_SAMPLE_FMT_S16P: return measure<int16_t>(frame, true);
        case AV_SAMPLE_FMT_S16: return measure<int16_t>(frame, false);
        case AV_SAMPLE_FMT_S32P: return measure<int32_t>(frame, true);
        case AV_SAMPLE_FMT_S32: return measure<int32_t>(frame, false);
        case AV_SAMPLE_FMT_DBLP: return measure<double>(frame, true);
        case AV_SAMPLE_FMT_DBL: return measure<double>(frame, false);
        case AV_SAMPLE_FMT_U8P: return measure<uint8_t>(frame, true);
        case AV_SAMPLE_FMT_U8: return measure<uint8_t>(frame, false);
        case AV_SAMPLE_FMT_S64P: return measure<int64_t>(frame, true);
        case AV_SAMPLE_FMT_S64: return measure<int64_t>(frame, false);
        default:
            // No decoder gives anything else; count the time all the same.
            m_sinceAnchor += frame->nb_samples;
            return;
        }
    }

    // Ends the last, partial window.
    void finish() { closeWindow(); }

    // ms of stream time just after the last sample.
    int64_t endMs() const { return (positionUs() + 500) / 1000; }

    // The stretches quieter than the line for at least minPauseMs, in ms of
    // stream time. The line is noiseDb below full scale, lowered on a quiet
    // recording to stay speechMarginDb below the level its speech reaches.
    QList<SentenceSplitter::Pause> pauses(int minPauseMs) const
    {
        const float line = threshold();
        QList<SentenceSplitter::Pause> found;
        int64_t quietFrom = -1;
        for (const Window &w : m_windows) {
            const int64_t at = m_firstMs + w.startMs;
            if (w.power < line) {
                if (quietFrom < 0)
                    quietFrom = at;
            } else if (quietFrom >= 0) {
                if (at - quietFrom >= minPauseMs)
                    found.append({quietFrom, at});
                quietFrom = -1;
            }
        }
        if (quietFrom >= 0 && endMs() - quietFrom >= minPauseMs)
            found.append({quietFrom, endMs()}); // quiet to the very end
        return found;
    }

private:
    struct Window {
        int32_t startMs = 0; // from the first window's start
        float power = 0;     // mean square, full scale 1
    };

    int64_t positionUs() const
    {
        return m_anchorUs + (m_rate > 0 ? av_rescale(m_sinceAnchor, 1000000, m_rate) : 0);
    }

    void restart(int rate, int channels, int format)
    {
        closeWindow();
        // Keep the time reached so far in the new rate's count.
        m_anchorUs = positionUs();
        m_sinceAnchor = 0;
        m_rate = rate;
        m_format = format;
        m_length = std::max(1, rate * windowMs / 1000);
        m_sums.assign(size_t(channels), 0.0f);
    }

    template <typename T>
    void measure(const AVFrame *frame, bool planar)
    {
        const int channels = int(m_sums.size());
        const int n = frame->nb_samples;
        for (int offset = 0; offset < n;) {
            if (m_filled == 0)
                m_startUs = positionUs();
            const int take = std::min(m_length - m_filled, n - offset);
            for (int c = 0; c < channels; ++c) {
                const T *p = planar ? reinterpret_cast<const T *>(frame->extended_data[c]) + offset
                                    : reinterpret_cast<const T *>(frame->extended_data[0])
                                        + ptrdiff_t(offset) * channels + c;
                m_sums[size_t(c)] += sumSquares(p, take, planar ? 1 : channels);
            }
            m_filled += take;
            offset += take;
            m_sinceAnchor += take;
            if (m_filled == m_length)
                closeWindow();
        }
    }

    void closeWindow()
    {
        if (m_filled == 0)
            return;
        const float loudest = *std::max_element(m_sums.cbegin(), m_sums.cend());
        const int64_t startMs = (m_startUs + 500) / 1000;
        if (m_windows.empty())
            m_firstMs = startMs;
        m_windows.push_back({int32_t(startMs - m_firstMs), loudest / float(m_filled)});
        std::fill(m_sums.begin(), m_sums.end(), 0.0f);
        m_filled = 0;
    }

    float threshold() const
    {
        const auto power = [](double db) { return float(std::pow(10.0, db / 10.0)); };
        if (m_windows.empty())
            return power(SentenceSplitter::noiseDb);
        // The level the loud part of the speech reaches: the window louder
        // than all but a twentieth of the others.
        std::vector<float> levels;
        levels.reserve(m_windows.size());
        for (const Window &w : m_windows)
            levels.push_back(w.power);
        const auto at = levels.begin() + qsizetype(levels.size() * 95 / 100);
        std::nth_element(levels.begin(), at, levels.end());
        const double speechDb = 10.0 * std::log10(std::max(*at, 1e-12f));
        return power(std::clamp(speechDb - SentenceSplitter::speechMarginDb, SentenceSplitter::floorDb,
                                SentenceSplitter::noiseDb));
    }

    std::vector<Window> m_windows;
    int64_t m_firstMs = 0;     // stream time of the first window
    int64_t m_anchorUs = 0;    // stream time of a sample the count starts from
    int64_t m_sinceAnchor = 0; // samples since then
    bool m_timed = false;      // the anchor came from a timestamp
    int m_rate = 0;
    int m_format = AV_SAMPLE_FMT_NONE;
    int m_length = 1; // samples in a window
    int m_filled = 0; // samples in the open window
    int64_t m_startUs = 0; // stream time of the open window
    std::vector<float> m_sums; // per channel, of the open window
};

} // namespace

SentenceSplitter::SentenceSplitter(QObject *parent)
    : QObject(parent)
{
}

SentenceSplitter::~SentenceSplitter()
{
    stopWorker();
}

void SentenceSplitter::stopWorker()
{
    if (m_cancel)
        *m_cancel = true;
    if (m_worker) {
        m_worker->wait();
        m_worker.reset();
    }
}

void SentenceSplitter::cancel()
{
    stopWorker();
}

bool SentenceSplitter::isRunning() const
{
    return m_worker && m_worker->isRunning();
}

void SentenceSplitter::start(const QString &mediaPath, int minPauseMs)
{
    stopWorker();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_cancel = cancel;
    m_worker.reset(QThread::create([this, mediaPath, minPauseMs, cancel] {
#ifdef Q_OS_LINUX
        // Linux's ordinary scheduler ignores Qt's thread priorities, but a
        // nice value there belongs to the one thread: the decoding then
        // yields to playback's threads whenever both want a core.
        setpriority(PRIO_PROCESS, id_t(gettid()), 10);
#endif
        // A subtitle stream inside the file is better than any guess.
        Subtitles inner;
        QList<Cue> cues;
        bool ok = inner.loadStream(mediaPath, cancel.get());
        QString error;
        if (ok) {
            cues = inner.cues();
        } else if (!*cancel) {
            QList<Pause> pauses;
            int64_t duration = 0;
            ok = findPauses(mediaPath, minPauseMs, &pauses, &duration, cancel.get(), &error);
            cues = sentences(pauses, duration);
        }
        if (*cancel)
            return;
        // Queued to the GUI thread; dropped if this object is gone by then.
        if (ok) {
            QMetaObject::invokeMethod(this, [this, mediaPath, cues] { Q_EMIT finished(mediaPath, cues); },
                                      Qt::QueuedConnection);
        } else {
            QMetaObject::invokeMethod(this, [this, mediaPath, error] { Q_EMIT failed(mediaPath, error); },
                                      Qt::QueuedConnection);
        }
    }));
    // Playback comes first: the split may take the time it needs.
    m_worker->start(QThread::LowPriority);
}

bool SentenceSplitter::findPauses(const QString &mediaPath, int minPauseMs, QList<Pause> *pauses,
                                  int64_t *durationMs, const std::atomic<bool> *cancel, QString *error)
{
    auto fail = [error, &mediaPath](const QString &why) {
        if (error)
            *error = tr("Cannot find the sentences of %1: %2").arg(mediaPath, why);
        return false;
    };
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(mediaPath).constData(), nullptr, nullptr) < 0)
        return fail(tr("the file cannot be opened."));
    std::unique_ptr<AVFormatContext, FormatClose> format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return fail(tr("the file cannot be read."));
    const AVCodec *decoder = nullptr;
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0 || !decoder)
        return fail(tr("it has no sound."));
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = int(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    const AVStream *s = format->streams[stream];

    std::unique_ptr<AVCodecContext, CodecFree> codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), s->codecpar) < 0)
        return fail(tr("its sound cannot be decoded."));
    codec->pkt_timebase = s->time_base;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return fail(tr("its sound cannot be decoded."));

    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return fail(tr("out of memory."));
    LevelMeter meter;
    auto drain = [&]() {
        while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
            meter.put(frame.get(), s->time_base);
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (cancel && *cancel)
            return false;
        if (packet->stream_index == stream) {
            // A broken packet costs a moment of sound, not the whole split.
            if (avcodec_send_packet(codec.get(), packet.get()) < 0)
                qCDebug(lcSplitter) << "undecodable packet at" << packet->pts;
            drain();
        }
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(codec.get(), nullptr);
    drain();
    meter.finish();

    // Times from the file's first moment, as positions and cues count.
    const int64_t origin = Subtitles::originMs(format.get());
    const int64_t end = meter.endMs() - origin;
    pauses->clear();
    for (Pause p : meter.pauses(minPauseMs)) {
        p.start = std::max<int64_t>(0, p.start - origin);
        p.end = std::max<int64_t>(p.start, p.end - origin);
        pauses->append(p);
    }
    *durationMs = std::max<int64_t>(0, end);
    return true;
}

QList<Cue> SentenceSplitter::sentences(const QList<Pause> &pauses, int64_t durationMs, int minPiece)
{
    QList<Cue> pieces;
    int64_t from = 0;
    for (const Pause &p : pauses) {
        if (p.start > from)
            pieces.append({from, p.start, {}});
        from = std::max(from, p.end);
    }
    if (durationMs > from)
        pieces.append({from, durationMs, {}});

    // Join the shortest piece first, each time to the neighbour it is
    // closer to, until every piece is long enough or one is left.
    while (pieces.size() > 1) {
        qsizetype shortest = -1;
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            const int64_t length = pieces[i].end - pieces[i].start;
            if (length < minPiece && (shortest < 0 || length < pieces[shortest].end - pieces[shortest].start))
                shortest = i;
        }
        if (shortest < 0)
            break;
        const qsizetype i = shortest;
        const int64_t gapBefore = i > 0 ? pieces[i].start - pieces[i - 1].end : -1;
        const int64_t gapAfter = i + 1 < pieces.size() ? pieces[i + 1].start - pieces[i].end : -1;
        const bool withPrevious = gapAfter < 0 || (gapBefore >= 0 && gapBefore <= gapAfter);
        join(pieces, withPrevious ? i - 1 : i);
    }
    return pieces;
}

bool SentenceSplitter::join(QList<Cue> &cues, qsizetype index)
{
    if (index < 0 || index + 1 >= cues.size())
        return false;
    Cue &first = cues[index];
    const Cue &second = cues[index + 1];
    first.end = std::max(first.end, second.end);
    if (!second.text.isEmpty())
        first.text = first.text.isEmpty() ? second.text : first.text + QLatin1Char('\n') + second.text;
    cues.removeAt(index + 1);
    return true;
}

bool SentenceSplitter::split(QList<Cue> &cues, qsizetype index, int64_t atMs)
{
    constexpr int64_t margin = 100;
    if (index < 0 || index >= cues.size())
        return false;
    const Cue cue = cues[index];
    if (atMs < cue.start + margin || atMs > cue.end - margin)
        return false;
    cues[index].end = atMs;
    // Text cannot be cut by time: it stays with the first part.
    cues.insert(index + 1, Cue{atMs, cue.end, {}});
    return true;
}
