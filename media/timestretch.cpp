#include "media/timestretch.h"

#include <QByteArray>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

#include <cstdlib>
#include <cstring>
#include <vector>

TimeStretch::~TimeStretch()
{
    reset();
}

void TimeStretch::reset()
{
    m_graph.reset();
    m_source = nullptr;
    m_sink = nullptr;
    av_channel_layout_uninit(&m_layout);
    m_fed = 0;
}

bool TimeStretch::setup(int rate, const AVChannelLayout &layout, double tempo)
{
    m_delay = measureDelay(rate, layout, tempo);
    return build(rate, layout, tempo);
}

// Sends a click through filters of the same kind and finds where it comes
// out: the filter drops part of its first window, so its output runs a
// little ahead of the input's times.
double TimeStretch::measureDelay(int rate, const AVChannelLayout &layout, double tempo)
{
    TimeStretch probe;
    if (!probe.build(rate, layout, tempo))
        return 0.0;
    const int channels = layout.nb_channels;
    const int frames = rate / 5;
    const int click = rate / 10;
    std::vector<int16_t> samples(std::size_t(frames) * std::size_t(channels), 0);
    for (int c = 0; c < channels; ++c)
        samples[std::size_t(click) * std::size_t(channels) + std::size_t(c)] = 30000;
    probe.feed(reinterpret_cast<const uint8_t *>(samples.data()), frames);
    probe.drain();
    FramePtr piece(av_frame_alloc());
    int64_t out = 0;
    int64_t peakAt = -1;
    int peak = 0;
    while (piece && probe.take(piece.get())) {
        const auto *data = reinterpret_cast<const int16_t *>(piece->data[0]);
        for (int i = 0; i < piece->nb_samples; ++i) {
            const int value = std::abs(int(data[std::size_t(i) * std::size_t(channels)]));
            if (value > peak) {
                peak = value;
                peakAt = out + i;
            }
        }
        out += piece->nb_samples;
        av_frame_unref(piece.get());
    }
    if (peakAt < 0)
        return 0.0;
    return (double(click) - double(peakAt) * tempo) / rate;
}

bool TimeStretch::build(int rate, const AVChannelLayout &layout, double tempo)
{
    reset();
    m_tempo = tempo;
    m_rate = rate;
    if (av_channel_layout_copy(&m_layout, &layout) < 0)
        return false;
    m_graph.reset(avfilter_graph_alloc());
    if (!m_graph)
        return false;
    char layoutName[128] = {};
    av_channel_layout_describe(&m_layout, layoutName, sizeof layoutName);
    const QByteArray source = QByteArray("sample_rate=") + QByteArray::number(rate)
        + ":sample_fmt=s16:channel_layout=" + layoutName + ":time_base=1/" + QByteArray::number(rate);
    static const AVSampleFormat formats[] = {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_NONE};
    const int rates[] = {rate, -1};
    // One atempo goes down to half the speed; slower takes several.
    QByteArray chain;
    double left = tempo;
    while (left < 0.5) {
        chain += "atempo=0.5,";
        left /= 0.5;
    }
    chain += "atempo=" + QByteArray::number(left, 'f', 6);
    AVFilterInOut *outputs = avfilter_inout_alloc();
    AVFilterInOut *inputs = avfilter_inout_alloc();
    bool made = outputs && inputs
        && avfilter_graph_create_filter(&m_source, avfilter_get_by_name("abuffer"), "in",
                                        source.constData(), nullptr, m_graph.get()) >= 0
        && avfilter_graph_create_filter(&m_sink, avfilter_get_by_name("abuffersink"), "out", nullptr,
                                        nullptr, m_graph.get()) >= 0
        && av_opt_set_int_list(m_sink, "sample_fmts", formats, AV_SAMPLE_FMT_NONE,
                               AV_OPT_SEARCH_CHILDREN) >= 0
        && av_opt_set_int_list(m_sink, "sample_rates", rates, -1, AV_OPT_SEARCH_CHILDREN) >= 0
        && av_opt_set(m_sink, "ch_layouts", layoutName, AV_OPT_SEARCH_CHILDREN) >= 0;
    if (made) {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = m_source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = m_sink;
        made = avfilter_graph_parse_ptr(m_graph.get(), chain.constData(), &inputs, &outputs, nullptr) >= 0
            && avfilter_graph_config(m_graph.get(), nullptr) >= 0;
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (!made)
        reset();
    return made;
}

bool TimeStretch::feed(const uint8_t *data, int frames)
{
    if (!m_graph || frames <= 0)
        return false;
    FramePtr frame(av_frame_alloc());
    if (!frame)
        return false;
    frame->format = AV_SAMPLE_FMT_S16;
    frame->nb_samples = frames;
    frame->sample_rate = m_rate;
    frame->pts = m_fed;
    bool fed = av_channel_layout_copy(&frame->ch_layout, &m_layout) >= 0
        && av_frame_get_buffer(frame.get(), 0) >= 0;
    if (fed) {
        std::memcpy(frame->data[0], data, std::size_t(frames) * std::size_t(m_layout.nb_channels) * 2);
        fed = av_buffersrc_add_frame(m_source, frame.get()) >= 0;
    }
    if (fed)
        m_fed += frames;
    return fed;
}

void TimeStretch::drain()
{
    // A graph that cannot take the end simply keeps its last few samples.
    if (m_graph && av_buffersrc_add_frame(m_source, nullptr) < 0)
        return;
}

bool TimeStretch::take(AVFrame *frame)
{
    return m_graph && av_buffersink_get_frame(m_sink, frame) >= 0;
}
