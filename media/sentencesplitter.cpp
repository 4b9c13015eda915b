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
#include <limits>
#include <thread>
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
        if (m_gridUs != AV_NOPTS_VALUE && m_windows.empty() && m_filled == 0) {
            // A short first window puts the rest on the grid.
            const int64_t since = av_rescale(positionUs() - m_gridUs, m_rate, 1000000);
            m_target = m_length - int((since % m_length + m_length) % m_length);
            m_gridUs = AV_NOPTS_VALUE;
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

    // Lays the windows on a grid from gridUs of stream time, a run's start,
    // as a run from there would: for a stretch that begins later.
    void alignTo(int64_t gridUs) { m_gridUs = gridUs; }

    // Ends the last, partial window.
    void finish() { closeWindow(); }

    // Takes over the windows of the stretch that follows this one's, both
    // finished.
    void append(const LevelMeter &next)
    {
        if (next.m_windows.empty())
            return;
        if (m_windows.empty())
            m_firstMs = next.m_firstMs;
        for (const Window &w : next.m_windows)
            m_windows.push_back({int32_t(next.m_firstMs + w.startMs - m_firstMs), w.power});
        m_anchorUs = next.m_anchorUs;
        m_sinceAnchor = next.m_sinceAnchor;
        m_rate = next.m_rate;
    }

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
        m_target = m_length;
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
            const int take = std::min(m_target - m_filled, n - offset);
            for (int c = 0; c < channels; ++c) {
                const T *p = planar ? reinterpret_cast<const T *>(frame->extended_data[c]) + offset
                                    : reinterpret_cast<const T *>(frame->extended_data[0])
                                        + ptrdiff_t(offset) * channels + c;
                m_sums[size_t(c)] += sumSquares(p, take, planar ? 1 : channels);
            }
            m_filled += take;
            offset += take;
            m_sinceAnchor += take;
            if (m_filled == m_target)
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
        m_target = m_length;
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
    int m_target = 1; // samples the open window closes at
    int m_filled = 0; // samples in the open window
    int64_t m_gridUs = AV_NOPTS_VALUE;
    int64_t m_startUs = 0; // stream time of the open window
    std::vector<float> m_sums; // per channel, of the open window
};

// A file's sound, opened for decoding.
struct Sound {
    std::unique_ptr<AVFormatContext, FormatClose> format;
    std::unique_ptr<AVCodecContext, CodecFree> codec;
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
// frame has no timestamp to place it by. Returns false when cancelled.
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
std::vector<int64_t> stretchBounds(const AVFormatContext *format, int stream)
{
    const int cores = std::min(QThread::idealThreadCount(), maxStretches);
    const int64_t length = format->duration;
    if (cores < 2 || length == AV_NOPTS_VALUE || length < 2 * minStretchUs)
        return {openStart, openEnd};
    const AVStream *s = format->streams[stream];
    const int64_t startUs = s->start_time != AV_NOPTS_VALUE
        ? av_rescale_q(s->start_time, s->time_base, AVRational{1, 1000000}) : 0;
    const int count = int(std::min<int64_t>(cores, length / minStretchUs));
    std::vector<int64_t> bounds{openStart};
    for (int i = 1; i < count; ++i)
        bounds.push_back(startUs + length * i / count);
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
    const AVStream *s = sound.format->streams[sound.stream];
    const int64_t gridUs = s->start_time != AV_NOPTS_VALUE
        ? av_rescale_q(s->start_time, s->time_base, AVRational{1, 1000000}) : 0;
    std::vector<LevelMeter> meters(count);
    std::unique_ptr<bool[]> placed(new bool[count]);
    std::vector<std::thread> threads;
    for (size_t i = 1; i < count; ++i) {
        threads.emplace_back([&, i] {
            Sound own;
            bool untimed = false;
            meters[i].alignTo(gridUs);
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
    const std::vector<int64_t> bounds = stretchBounds(sound.format.get(), sound.stream);
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
        }
    }
    bool untimed = false;
    if (!measured && !measureStretch(sound, openStart, openEnd, &meter, &untimed, cancel))
        return false;

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
