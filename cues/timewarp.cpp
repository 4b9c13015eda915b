#include "cues/timewarp.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <unordered_map>

namespace {

// Where each cell of the path came from, two bits a cell. Start is the
// path's beginning in column 0, and a jump over sentences elsewhere.
enum Step : uint8_t { Diagonal = 0, RecordingOnly = 1, ModelOnly = 2, Start = 3 };

// The band's cells take two bits each; beyond this the recording is
// better cut into pieces by its caller.
constexpr size_t maxStepBytes = size_t(400) << 20;

float distanceOf(const MfccFrames &a, size_t i, const MfccFrames &b, size_t j)
{
    return MfccFrames::distance(a.frame(i), b.frame(j));
}

double medianMismatch(const MfccFrames &recording, const MfccFrames &model)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pickI(0, recording.count() - 1);
    std::uniform_int_distribution<size_t> pickJ(0, model.count() - 1);
    std::vector<float> sample(2001);
    for (float &d : sample)
        d = distanceOf(recording, pickI(random), model, pickJ(random));
    std::nth_element(sample.begin(), sample.begin() + sample.size() / 2, sample.end());
    return std::max(1e-6f, sample[sample.size() / 2]);
}

} // namespace

bool TimeWarp::align(const MfccFrames &recording, const MfccFrames &model, const std::vector<Segment> &sentences,
                     size_t bandFrames, const std::atomic<bool> *cancel,
                     const std::function<void(int permille)> &progress)
{
    const size_t n = recording.count();
    const size_t m = model.count();
    m_first.assign(m, none);
    m_last.assign(m, none);
    m_cost.assign(m, 1.0f);
    if (n == 0 || m == 0)
        return false;
    m_mismatch = medianMismatch(recording, model);
    const auto skip = float(skipShare * m_mismatch);
    const auto jumpCost = float(jumpShare * m_mismatch);

    // The band: for row i (a recording frame), model frames lo..hi.
    const double slope = n > 1 ? double(m - 1) / double(n - 1) : 0.0;
    const auto band = std::max<size_t>(bandFrames, 2);
    std::vector<size_t> lo(n);
    std::vector<size_t> hi(n);
    std::vector<size_t> offset(n + 1, 0);
    for (size_t i = 0; i < n; ++i) {
        const auto centre = size_t(std::llround(double(i) * slope));
        lo[i] = centre > band ? centre - band : 0;
        hi[i] = std::min(m - 1, centre + band);
        // Rows must overlap for the path to go on.
        if (i > 0)
            lo[i] = std::min(lo[i], hi[i - 1]);
        offset[i + 1] = offset[i] + (hi[i] - lo[i] + 1);
    }
    if (offset[n] / 4 + 1 > maxStepBytes)
        return false;
    std::vector<uint8_t> steps(offset[n] / 4 + 1, 0);
    auto setStep = [&steps](size_t cell, Step s) { steps[cell / 4] |= uint8_t(s << ((cell % 4) * 2)); };
    auto stepAt = [&steps](size_t cell) { return Step((steps[cell / 4] >> ((cell % 4) * 2)) & 3); };

    // Jumps: into the first frame of sentence k from the frame before
    // sentence k - s, for s sentences left out. The column a jump won came
    // from is kept aside; jumps are few.
    std::vector<std::vector<size_t>> jumpsInto(m);
    for (size_t k = 1; k < sentences.size(); ++k) {
        for (size_t s = 1; s <= size_t(maxSkippedSentences) && s <= k; ++s) {
            const size_t from = sentences[k - s].first;
            if (from > 0 && sentences[k].first > from)
                jumpsInto[sentences[k].first].push_back(from - 1);
        }
    }
    std::unordered_map<size_t, size_t> jumpedFrom; // cell -> model column

    constexpr float infinite = std::numeric_limits<float>::infinity();
    size_t endRow = n - 1;
    float endCost = infinite;
    std::vector<float> previous(m, infinite);
    std::vector<float> current(m, infinite);
    for (size_t i = 0; i < n; ++i) {
        if (cancel && (i & 255) == 0 && *cancel)
            return false;
        if (progress && (i & 1023) == 0)
            progress(int(i * 1000 / n));
        for (size_t j = lo[i]; j <= hi[i]; ++j) {
            const float d = distanceOf(recording, i, model, j);
            float best = infinite;
            Step from = Start;
            size_t jumpFrom = none;
            if (j == 0)
                best = float(i) * skip; // the recording's first i frames left out
            if (i > 0 && j > 0 && previous[j - 1] < best) {
                best = previous[j - 1];
                from = Diagonal;
            }
            if (i > 0 && previous[j] < best) {
                best = previous[j];
                from = RecordingOnly;
            }
            if (j > lo[i] && current[j - 1] < best) {
                best = current[j - 1];
                from = ModelOnly;
            }
            if (i > 0) {
                for (const size_t source : jumpsInto[j]) {
                    const float cost = previous[source] + float(j - source - 1) * jumpCost;
                    if (cost < best) {
                        best = cost;
                        from = Start;
                        jumpFrom = source;
                    }
                }
            }
            current[j] = best + d;
            const size_t cell = offset[i] + (j - lo[i]);
            setStep(cell, from);
            if (jumpFrom != none)
                jumpedFrom[cell] = jumpFrom;
        }
        // The end may come before the recording's: what follows the
        // last model frame is left out at the same cost as at the start.
        if (hi[i] == m - 1 && current[m - 1] < infinite) {
            const float cost = current[m - 1] + float(n - 1 - i) * skip;
            if (cost < endCost) {
                endCost = cost;
                endRow = i;
            }
        }
        // The row before is done with: emptied, it becomes the next one.
        if (i > 0) {
            for (size_t j = lo[i - 1]; j <= hi[i - 1]; ++j)
                previous[j] = infinite;
        }
        std::swap(previous, current);
    }
    if (!(endCost < infinite))
        return false;

    // Back along the path.
    std::vector<double> sums(m, 0.0);
    std::vector<int> counts(m, 0);
    size_t i = endRow;
    size_t j = m - 1;
    while (true) {
        m_first[j] = m_first[j] == none ? i : std::min(m_first[j], i);
        m_last[j] = m_last[j] == none ? i : std::max(m_last[j], i);
        sums[j] += distanceOf(recording, i, model, j);
        ++counts[j];
        const size_t cell = offset[i] + (j - lo[i]);
        const Step s = stepAt(cell);
        if (s == Start) {
            const auto jump = jumpedFrom.find(cell);
            if (jump == jumpedFrom.end())
                break;
            --i;
            j = jump->second;
        } else if (s == Diagonal) {
            --i;
            --j;
        } else if (s == RecordingOnly) {
            --i;
        } else {
            --j;
        }
    }
    for (size_t k = 0; k < m; ++k)
        m_cost[k] = counts[k] ? float(sums[k] / counts[k] / m_mismatch) : 1.0f;
    if (progress)
        progress(1000);
    return true;
}

double TimeWarp::meanDistance(size_t from, size_t to) const
{
    to = std::min(to, m_cost.size());
    if (from >= to)
        return 1.0;
    double sum = 0;
    for (size_t k = from; k < to; ++k)
        sum += m_cost[k];
    return sum / double(to - from);
}
