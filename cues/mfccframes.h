#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

// The cepstral frames of a mono sound, through aubio's phase vocoder and
// MFCC: what a recording and its synthesis are compared by. Each
// coefficient is normalised to mean 0 and variance 1 over the sound, so
// that two voices, two microphones and two loudnesses meet on one scale,
// and each frame's coefficients after the first to length 1.
class MfccFrames final
{
public:
    static constexpr int sampleRate = 16000;
    static constexpr int windowSamples = 512; // 32 ms
    static constexpr int coefficients = 13;

    // hopSamples: samples from one frame to the next. Returns false when
    // cancel became true.
    bool compute(const std::vector<float> &samples, int hopSamples, const std::atomic<bool> *cancel = nullptr);

    size_t count() const { return m_count; }
    const float *frame(size_t index) const { return m_values.data() + index * coefficients; }
    // The cosine distance of two frames over the coefficients after the
    // first: the shape of the spectrum, not its loudness, which a voice,
    // a microphone and the noise under it change. 0 for alike, about 1 for
    // unlike.
    static float distance(const float *a, const float *b)
    {
        float dot = 0;
        for (int k = 1; k < coefficients; ++k)
            dot += a[k] * b[k];
        return 1.0f - dot;
    }

private:
    void normalise();

    std::vector<float> m_values; // count x coefficients
    size_t m_count = 0;
};
