#include "media/sentencesplitter.h"

#include "media/avpointers.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QThread>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcSplitter, "vantiro.splitter", QtInfoMsg)

namespace {

struct FormatClose {
    void operator()(AVFormatContext *format) const { avformat_close_input(&format); }
};
struct CodecFree {
    void operator()(AVCodecContext *codec) const { avcodec_free_context(&codec); }
};
struct GraphFree {
    void operator()(AVFilterGraph *graph) const { avfilter_graph_free(&graph); }
};
struct InOutFree {
    void operator()(AVFilterInOut *io) const { avfilter_inout_free(&io); }
};

// The sound of one file running through abuffer -> silencedetect ->
// abuffersink, collecting the pauses the filter marks on
// the frames it lets through.
class PauseGraph
{
public:
    bool build(const AVCodecContext *codec, AVRational timeBase, int minPauseMs)
    {
        m_graph.reset(avfilter_graph_alloc());
        if (!m_graph)
            return false;
        m_graph->nb_threads = 1;
        char layout[128] = {};
        av_channel_layout_describe(&codec->ch_layout, layout, sizeof layout);
        const QByteArray args = QStringLiteral("time_base=%1/%2:sample_rate=%3:sample_fmt=%4:channel_layout=%5")
            .arg(timeBase.num).arg(timeBase.den).arg(codec->sample_rate)
            .arg(QString::fromLatin1(av_get_sample_fmt_name(codec->sample_fmt)), QString::fromLatin1(layout))
            .toLatin1();
        if (avfilter_graph_create_filter(&m_source, avfilter_get_by_name("abuffer"), "in",
                                         args.constData(), nullptr, m_graph.get()) < 0
            || avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("abuffersink"), "out",
                                            nullptr, nullptr, m_graph.get()) < 0)
            return false;

        std::unique_ptr<AVFilterInOut, InOutFree> outputs(avfilter_inout_alloc());
        std::unique_ptr<AVFilterInOut, InOutFree> inputs(avfilter_inout_alloc());
        if (!outputs || !inputs)
            return false;
        outputs->name = av_strdup("in");
        outputs->filter_ctx = m_source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = m_sink;
        // silencedetect takes the decoder's samples as they come and calls
        // a moment quiet only when every channel is; no conversion first.
        const QByteArray chain = QStringLiteral("silencedetect=noise=%1dB:duration=%2")
            .arg(SentenceSplitter::noiseDb).arg(minPauseMs / 1000.0).toLatin1();
        AVFilterInOut *in = inputs.release();
        AVFilterInOut *out = outputs.release();
        const int parsed = avfilter_graph_parse_ptr(m_graph.get(), chain.constData(), &in, &out, nullptr);
        avfilter_inout_free(&in);
        avfilter_inout_free(&out);
        return parsed >= 0 && avfilter_graph_config(m_graph.get(), nullptr) >= 0;
    }

    // frame nullptr: the end of the sound.
    bool put(AVFrame *frame)
    {
        // The source takes the frame's data over; the caller's frame is
        // left empty for the next one.
        if (av_buffersrc_add_frame_flags(m_source, frame, 0) < 0)
            return false;
        for (;;) {
            const int r = av_buffersink_get_frame(m_sink, m_out.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return true;
            if (r < 0)
                return false;
            collect(m_out.get());
            av_frame_unref(m_out.get());
        }
    }

    QList<SentenceSplitter::Pause> pauses() const { return m_pauses; }
    bool open() const { return m_open; }
    double lastEnd() const { return m_lastEnd; } // seconds

private:
    void collect(const AVFrame *frame)
    {
        // The filters may hand frames on in a time base of their own.
        if (frame->pts != AV_NOPTS_VALUE && frame->sample_rate > 0)
            m_lastEnd = frame->pts * av_q2d(av_buffersink_get_time_base(m_sink))
                + double(frame->nb_samples) / frame->sample_rate;
        if (const AVDictionaryEntry *e = av_dict_get(frame->metadata, "lavfi.silence_start", nullptr, 0)) {
            m_pauses.append({std::llround(std::max(0.0, std::atof(e->value)) * 1000.0), 0});
            m_open = true;
        }
        if (const AVDictionaryEntry *e = av_dict_get(frame->metadata, "lavfi.silence_end", nullptr, 0)) {
            if (m_open && !m_pauses.isEmpty()) {
                m_pauses.last().end = std::llround(std::atof(e->value) * 1000.0);
                m_open = false;
            }
        }
    }

    std::unique_ptr<AVFilterGraph, GraphFree> m_graph;
    AVFilterContext *m_source = nullptr; // owned by the graph
    AVFilterContext *m_sink = nullptr;   // owned by the graph
    FramePtr m_out{av_frame_alloc()};
    QList<SentenceSplitter::Pause> m_pauses; // ms of stream time
    bool m_open = false; // a pause has started and not ended
    double m_lastEnd = 0.0;
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

    PauseGraph graph;
    if (!graph.build(codec.get(), s->time_base, minPauseMs))
        return fail(tr("the pause filter cannot be set up."));

    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return fail(tr("out of memory."));
    auto drain = [&]() {
        while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
            frame->pts = frame->best_effort_timestamp;
            const bool ok = graph.put(frame.get());
            av_frame_unref(frame.get());
            if (!ok)
                return false;
        }
        return true;
    };
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (cancel && *cancel)
            return false;
        if (packet->stream_index == stream) {
            // A broken packet costs a moment of sound, not the whole split.
            if (avcodec_send_packet(codec.get(), packet.get()) < 0)
                qCDebug(lcSplitter) << "undecodable packet at" << packet->pts;
            if (!drain())
                return fail(tr("the pause filter failed."));
        }
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(codec.get(), nullptr);
    if (!drain() || !graph.put(nullptr))
        return fail(tr("the pause filter failed."));

    // Times from the file's first moment, as positions and cues count.
    const int64_t origin = Subtitles::originMs(format.get());
    const int64_t end = std::llround(graph.lastEnd() * 1000.0) - origin;
    QList<Pause> found = graph.pauses();
    if (graph.open() && !found.isEmpty())
        found.last().end = end + origin; // quiet to the very end
    pauses->clear();
    for (Pause p : found) {
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
