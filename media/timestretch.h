#pragma once

#include "media/avpointers.h"

#include <cstdint>

extern "C" {
#include <libavutil/channel_layout.h>
}

struct AVFilterContext;
struct AVFilterGraph;
struct AVFrame;

// Plays sound faster or slower with its pitch kept: FFmpeg's atempo filter
// over interleaved signed 16-bit samples, chained where one filter cannot
// go as slow as asked. Fed and drained by one thread.
class TimeStretch final
{
public:
    TimeStretch() = default;
    ~TimeStretch();
    TimeStretch(const TimeStretch &) = delete;
    TimeStretch &operator=(const TimeStretch &) = delete;

    // Makes the filters for that rate, layout and tempo (media seconds per
    // second played); false when FFmpeg cannot. Drops what the old ones held.
    bool setup(int rate, const AVChannelLayout &layout, double tempo);
    // Drops the filters and what they hold.
    void reset();
    bool active() const { return m_graph != nullptr; }
    double tempo() const { return m_tempo; }
    // Media seconds by which the stretched sound starts late: output sample
    // n plays the media time of the first sample fed, plus this, plus n
    // times the tempo over the rate. Measured at setup.
    double delay() const { return m_delay; }

    // Feeds frames (samples per channel) of interleaved 16-bit samples.
    bool feed(const uint8_t *data, int frames);
    // Tells the filters that no more comes, so they hand out what they hold.
    void drain();
    // The next stretched piece into frame (unref'd by the caller); false
    // when none is ready.
    bool take(AVFrame *frame);

private:
    bool build(int rate, const AVChannelLayout &layout, double tempo);
    double measureDelay(int rate, const AVChannelLayout &layout, double tempo);

    FilterGraphPtr m_graph;
    AVFilterContext *m_source = nullptr;
    AVFilterContext *m_sink = nullptr;
    AVChannelLayout m_layout{};
    int m_rate = 0;
    double m_tempo = 1.0;
    double m_delay = 0.0;
    int64_t m_fed = 0; // frames fed since setup, the next piece's stamp
};
