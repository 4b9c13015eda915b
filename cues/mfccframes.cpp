#include "cues/mfccframes.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

struct AubioDeleter {
    void operator()(aubio_pvoc_t *p) const { del_aubio_pvoc(p); }
    void operator()(aubio_mfcc_t *p) const { del_aubio_mfcc(p); }
    void operator()(fvec_t *p) const { del_fvec(p); }
    void operator()(cvec_t *p) const { del_cvec(p); }
};
template <typename T>
using AubioPtr = std::unique_ptr<T, AubioDeleter>;

} // namespace

bool MfccFrames::compute(const std::vector<float> &samples, int hopSamples, const std::atomic<bool> *cancel)
{
    m_values.clear();
    m_count = 0;
    AubioPtr<aubio_pvoc_t> vocoder(new_aubio_pvoc(windowSamples, uint_t(hopSamples)));
    AubioPtr<aubio_mfcc_t> mfcc(new_aubio_mfcc(windowSamples, 40, coefficients, sampleRate));
    AubioPtr<fvec_t> hop(new_fvec(uint_t(hopSamples)));
    AubioPtr<cvec_t> spectrum(new_cvec(windowSamples));
    AubioPtr<fvec_t> out(new_fvec(coefficients));
    if (!vocoder || !mfcc || !hop || !spectrum || !out)
        return false;
    const size_t frames = samples.size() / size_t(hopSamples);
    m_values.resize(frames * coefficients);
    for (size_t f = 0; f < frames; ++f) {
        if (cancel && (f & 1023) == 0 && *cancel)
            return false;
        std::copy_n(samples.data() + f * size_t(hopSamples), hopSamples, hop->data);
        aubio_pvoc_do(vocoder.get(), hop.get(), spectrum.get());
        aubio_mfcc_do(mfcc.get(), spectrum.get(), out.get());
        std::copy_n(out->data, coefficients, m_values.data() + f * coefficients);
    }
    m_count = frames;
    normalise();
    {
        for (size_t f = 0; f < m_count; ++f) {
            float *v = m_values.data() + f * coefficients;
            float norm = 0;
            for (int k = 1; k < coefficients; ++k)
                norm += v[k] * v[k];
            norm = std::sqrt(std::max(norm, 1e-12f));
            for (int k = 1; k < coefficients; ++k)
                v[k] /= norm;
        }
    }
    return true;
}

void MfccFrames::normalise()
{
    if (m_count < 2)
        return;
    for (int k = 0; k < coefficients; ++k) {
        double sum = 0;
        double squares = 0;
        for (size_t f = 0; f < m_count; ++f) {
            const double v = m_values[f * coefficients + k];
            sum += v;
            squares += v * v;
        }
        const double mean = sum / double(m_count);
        const double deviation = std::sqrt(std::max(1e-12, squares / double(m_count) - mean * mean));
        for (size_t f = 0; f < m_count; ++f) {
            float &v = m_values[f * coefficients + k];
            v = float((v - mean) / deviation);
        }
    }
}
