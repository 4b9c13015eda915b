#include "cues/levelmeter.h"

extern "C" {
#include <libavutil/mathematics.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// One sample as a fraction of full scale, whatever the decoder's format.
inline float normal(float v) { return v; }
inline float normal(double v) { return float(v); }
inline float normal(uint8_t v) { return (float(v) - 128.0f) * (1.0f / 128.0f); }
inline float normal(int16_t v) { return float(v) * (1.0f / 32768.0f); }
inline float normal(int32_t v) { return float(v) * (1.0f / 2147483648.0f); }
inline float normal(int64_t v) { return float(v) * (1.0f / 9223372036854775808.0f); }

// Sum of the squares of n samples, stride apart, with their lowest and
// highest folded into low and high, in one walk over them. On the common,
// planar case sixteen running lanes let the compiler work on whole vector
// registers, several at a time: the measure must cost next to nothing
// beside the decoding.
template <typename T>
float measureRun(const T *p, int n, int stride, float *low, float *high)
{
    constexpr int lanes = 16;
    float acc[lanes] = {};
    float lo[lanes];
    float hi[lanes];
    std::fill(lo, lo + lanes, *low);
    std::fill(hi, hi + lanes, *high);
    int i = 0;
    if (stride == 1) {
        for (; i + lanes <= n; i += lanes) {
            for (int k = 0; k < lanes; ++k) {
                const float v = normal(p[i + k]);
                acc[k] += v * v;
                lo[k] = v < lo[k] ? v : lo[k];
                hi[k] = v > hi[k] ? v : hi[k];
            }
        }
    }
    for (; i < n; ++i) {
        const float v = normal(p[ptrdiff_t(i) * stride]);
        acc[0] += v * v;
        lo[0] = std::min(lo[0], v);
        hi[0] = std::max(hi[0], v);
    }
    float sum = 0;
    for (const float a : acc)
        sum += a;
    *low = *std::min_element(lo, lo + lanes);
    *high = *std::max_element(hi, hi + lanes);
    return sum;
}

int8_t toByte(float v)
{
    return int8_t(std::lround(std::clamp(v, -1.0f, 1.0f) * 127.0f));
}

} // namespace

void LevelMeter::put(const AVFrame *frame, AVRational timeBase)
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
    if (m_gridUs != INT64_MIN && m_windows.empty() && m_filled == 0) {
        // A short first window puts the rest on the grid.
        const int64_t since = av_rescale(positionUs() - m_gridUs, m_rate, 1000000);
        m_target = m_length - int((since % m_length + m_length) % m_length);
        m_gridUs = INT64_MIN;
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

void LevelMeter::append(const LevelMeter &next)
{
    if (next.m_windows.empty())
        return;
    if (m_windows.empty())
        m_firstMs = next.m_firstMs;
    for (const Window &w : next.m_windows)
        m_windows.push_back({int32_t(next.m_firstMs + w.startMs - m_firstMs), w.power});
    m_extremes.insert(m_extremes.end(), next.m_extremes.begin(), next.m_extremes.end());
    m_anchorUs = next.m_anchorUs;
    m_sinceAnchor = next.m_sinceAnchor;
    m_rate = next.m_rate;
}

QList<SentenceSplitter::Pause> LevelMeter::pauses(int minPauseMs) const
{
    QList<SentenceSplitter::Pause> found;
    const Lines line = lines();
    if (line.speech <= 0)
        return found;
    const size_t count = m_windows.size();
    int64_t quietFrom = -1; // ms of the pause under way; -1 in speech
    for (size_t i = 0; i < count;) {
        if (quietFrom < 0) {
            if (m_windows[i].power < line.quiet)
                quietFrom = startMs(i);
            ++i;
            continue;
        }
        if (m_windows[i].power < line.quiet) {
            ++i;
            continue;
        }
        // A stretch above the quiet line: speech only when it is long
        // enough and loud enough somewhere; else it belongs to the pause.
        size_t j = i;
        bool loud = false;
        for (; j < count && m_windows[j].power >= line.quiet; ++j)
            loud = loud || m_windows[j].power >= line.speech;
        const int64_t stretchEnd = j < count ? startMs(j) : endMs();
        if (loud && stretchEnd - startMs(i) >= SentenceSplitter::minSpeechMs) {
            if (startMs(i) - quietFrom >= minPauseMs)
                found.append({quietFrom, startMs(i)});
            quietFrom = -1;
        }
        i = j;
    }
    if (quietFrom >= 0 && endMs() - quietFrom >= minPauseMs)
        found.append({quietFrom, endMs()}); // quiet to the very end
    return found;
}

QByteArray LevelMeter::peaks(int64_t originMs) const
{
    const int64_t buckets = std::max<int64_t>(0, (endMs() - originMs + windowMs - 1) / windowMs);
    QByteArray out(qsizetype(buckets) * 2, '\0');
    auto *p = reinterpret_cast<int8_t *>(out.data());
    std::vector<bool> filled(size_t(buckets), false);
    for (size_t i = 0; i < m_windows.size(); ++i) {
        // Windows lie on the bucket grid but for a short first one, and
        // a stretch's windows may start a ms off: the nearest bucket.
        const int64_t at = (startMs(i) - originMs + windowMs / 2) / windowMs;
        if (at < 0 || at >= buckets)
            continue;
        int8_t &low = p[2 * at];
        int8_t &high = p[2 * at + 1];
        const int8_t wl = m_extremes[2 * i];
        const int8_t wh = m_extremes[2 * i + 1];
        low = filled[size_t(at)] ? std::min(low, wl) : wl;
        high = filled[size_t(at)] ? std::max(high, wh) : wh;
        filled[size_t(at)] = true;
    }
    return out;
}

int64_t LevelMeter::positionUs() const
{
    return m_anchorUs + (m_rate > 0 ? av_rescale(m_sinceAnchor, 1000000, m_rate) : 0);
}

void LevelMeter::restart(int rate, int channels, int format)
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
void LevelMeter::measure(const AVFrame *frame, bool planar)
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
            m_sums[size_t(c)] += measureRun(p, take, planar ? 1 : channels, &m_low, &m_high);
        }
        m_filled += take;
        offset += take;
        m_sinceAnchor += take;
        if (m_filled == m_target)
            closeWindow();
    }
}

void LevelMeter::closeWindow()
{
    if (m_filled == 0)
        return;
    const float loudest = *std::max_element(m_sums.cbegin(), m_sums.cend());
    const int64_t startMs = (m_startUs + 500) / 1000;
    if (m_windows.empty())
        m_firstMs = startMs;
    m_windows.push_back({int32_t(startMs - m_firstMs), loudest / float(m_filled)});
    m_extremes.push_back(toByte(m_low));
    m_extremes.push_back(toByte(m_high));
    m_low = m_high = 0;
    std::fill(m_sums.begin(), m_sums.end(), 0.0f);
    m_filled = 0;
    m_target = m_length;
}

LevelMeter::Lines LevelMeter::lines() const
{
    using S = SentenceSplitter;
    if (m_windows.empty())
        return {};
    std::vector<float> levels;
    levels.reserve(m_windows.size());
    for (const Window &w : m_windows)
        levels.push_back(w.power);
    const auto percentile = [&levels](int percent) {
        const auto at = levels.begin() + qsizetype(levels.size() * size_t(percent) / 100);
        std::nth_element(levels.begin(), at, levels.end());
        return 10.0 * std::log10(std::max(double(*at), 1e-12));
    };
    const double noiseDb = std::max(percentile(S::noisePercentile), S::floorDb);
    const double speechDb = percentile(S::speechPercentile);
    if (speechDb - noiseDb < S::minContrastDb)
        return {};
    const double quietDb =
        noiseDb + std::clamp(S::speechShare * (speechDb - noiseDb), S::minMarginDb, S::maxMarginDb);
    const auto power = [](double db) { return float(std::pow(10.0, db / 10.0)); };
    return {power(quietDb), power(quietDb + S::hysteresisDb)};
}
