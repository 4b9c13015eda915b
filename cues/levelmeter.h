#pragma once

#include "cues/sentencesplitter.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/rational.h>
}

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <vector>

// The loudness of a sound in short windows, measured on the decoded
// samples as they come (planar or interleaved, any sample format, no
// conversion): the mean square of the loudest channel, so a moment is
// quiet only when every channel is.
class LevelMeter final
{
public:
    static constexpr int windowMs = 10;

    // timeBase: the unit of the frame's timestamps.
    void put(const AVFrame *frame, AVRational timeBase);
    // Lays the windows on a grid from gridUs of stream time, a run's start,
    // as a run from there would: for a stretch that begins later.
    void alignTo(int64_t gridUs) { m_gridUs = gridUs; }
    // Ends the last, partial window.
    void finish() { closeWindow(); }
    // Takes over the windows of the stretch that follows this one's, both
    // finished.
    void append(const LevelMeter &next);

    // ms of stream time just after the last sample.
    int64_t endMs() const { return (positionUs() + 500) / 1000; }
    // The stretches of at least minPauseMs without speech, in ms of stream
    // time, found against lines drawn from the recording's own noise and
    // speech levels (see SentenceSplitter::speechShare).
    QList<SentenceSplitter::Pause> pauses(int minPauseMs) const;
    // The lowest and highest sample of each window, as Waveform keeps
    // them: a bucket for each windowMs from originMs of stream time.
    QByteArray peaks(int64_t originMs) const;

private:
    struct Window {
        int32_t startMs = 0; // from the first window's start
        float power = 0;     // mean square, full scale 1
    };

    int64_t positionUs() const;
    void restart(int rate, int channels, int format);
    template <typename T>
    void measure(const AVFrame *frame, bool planar);
    void closeWindow();
    // Mean squares: below quiet a pause starts; a stretch above quiet is
    // speech when somewhere it reaches speech. Both zero when the
    // recording has no speech to tell from its noise.
    struct Lines {
        float quiet = 0;
        float speech = 0;
    };
    Lines lines() const;
    // ms of stream time where window index starts.
    int64_t startMs(size_t index) const { return m_firstMs + m_windows[index].startMs; }

    std::vector<Window> m_windows;
    int64_t m_firstMs = 0;     // stream time of the first window
    int64_t m_anchorUs = 0;    // stream time of a sample the count starts from
    int64_t m_sinceAnchor = 0; // samples since then
    bool m_timed = false;      // the anchor came from a timestamp
    int m_rate = 0;
    int m_format = -1; // AVSampleFormat, none yet
    int m_length = 1;  // samples in a window
    int m_target = 1;  // samples the open window closes at
    int m_filled = 0;  // samples in the open window
    int64_t m_gridUs = INT64_MIN; // none
    int64_t m_startUs = 0;        // stream time of the open window
    std::vector<float> m_sums;    // per channel, of the open window
    // Of every channel, of the open window; full scale 1.
    float m_low = 0;
    float m_high = 0;
    // Lowest and highest sample of each window, in step with m_windows,
    // as signed bytes of full scale 127.
    std::vector<int8_t> m_extremes;
};
