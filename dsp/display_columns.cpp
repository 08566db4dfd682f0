// Analyser columns: log-spaced bins from bin 6 upward, smoothed level, falling peak, phase and magnitude.
// Four columns at a time (SSE2). The logarithm and the arc tangents are polynomial forms good to a few
// units in the last place: the columns are drawn, never heard, and libm calls per column cost more than
// the transforms of a block.
#include <algorithm>
#include <cmath>

#include <emmintrin.h>

#include "dsp/audio_path.h"

namespace {

constexpr int kN = spectral::kFrameLength;
constexpr int kNyquist = kN / 2;

// Where each column reads: pos = 6 x 1.0135^k in single precision, its two bins and the fraction.
struct ColumnPlaces {
    int lower[kDisplayColumns];
    int upper[kDisplayColumns];
    alignas(16) float frac[kDisplayColumns];
    alignas(16) float tilt[kDisplayColumns];          // 0.48 k
    alignas(16) float magnitudeGain[kDisplayColumns]; // 1 + k / 3
    // The bins below Nyquist that some column reads (under half of them), ascending, padded to a multiple
    // of four with the last one.
    int bins[2 * kDisplayColumns + 4];
    int binCount = 0;
    ColumnPlaces() {
        float pos = 6.0f;
        for (int k = 0; k < kDisplayColumns; ++k, pos *= 1.0135f) {
            const int i = static_cast<int>(pos);
            frac[k] = pos - static_cast<float>(i);
            lower[k] = std::min(i - 1, kNyquist);
            upper[k] = std::min(i, kNyquist);
            tilt[k] = 0.48f * static_cast<float>(k);
            magnitudeGain[k] = 1.0f + static_cast<float>(k) / 3.0f;
        }
        bool read[kNyquist] = {};
        for (int k = 0; k < kDisplayColumns; ++k)
            for (int bin : {lower[k], upper[k]})
                if (bin < kNyquist) read[bin] = true;
        for (int bin = 0; bin < kNyquist; ++bin)
            if (read[bin]) bins[binCount++] = bin;
        while (binCount % 4 != 0) {
            bins[binCount] = bins[binCount - 1];
            ++binCount;
        }
    }
};
const ColumnPlaces places;

inline __m128 splat(float v) {
    return _mm_set1_ps(v);
}
inline __m128 select(__m128 mask, __m128 ifTrue, __m128 ifFalse) {
    return _mm_or_ps(_mm_and_ps(mask, ifTrue), _mm_andnot_ps(mask, ifFalse));
}

// Natural logarithm of positive normal x: x = 2^e m with m in [sqrt(1/2), sqrt(2)), then a polynomial.
inline __m128 logPositive(__m128 x) {
    const __m128i bits = _mm_castps_si128(x);
    __m128i exponent = _mm_sub_epi32(_mm_srli_epi32(bits, 23), _mm_set1_epi32(127));
    __m128 m = _mm_castsi128_ps(
        _mm_or_si128(_mm_and_si128(bits, _mm_set1_epi32(0x007FFFFF)), _mm_set1_epi32(0x3F800000)));
    const __m128 big = _mm_cmpgt_ps(m, splat(1.41421356f));
    m = select(big, _mm_mul_ps(m, splat(0.5f)), m);
    exponent = _mm_sub_epi32(exponent, _mm_castps_si128(big)); // big is all ones: minus -1
    const __m128 e = _mm_cvtepi32_ps(exponent);
    const __m128 t = _mm_sub_ps(m, splat(1.0f));
    const __m128 t2 = _mm_mul_ps(t, t);
    __m128 p = splat(7.0376836292e-2f);
    for (float c : {-1.1514610310e-1f, 1.1676998740e-1f, -1.2420140846e-1f, 1.4249322787e-1f,
                    -1.6668057665e-1f, 2.0000714765e-1f, -2.4999993993e-1f, 3.3333331174e-1f})
        p = _mm_add_ps(_mm_mul_ps(p, t), splat(c));
    p = _mm_mul_ps(_mm_mul_ps(p, t), t2);
    p = _mm_sub_ps(p, _mm_mul_ps(t2, splat(0.5f)));
    // ln 2 in two parts, so that e ln 2 adds little rounding.
    p = _mm_add_ps(p, _mm_mul_ps(e, splat(-2.12194440e-4f)));
    return _mm_add_ps(_mm_add_ps(t, p), _mm_mul_ps(e, splat(0.693359375f)));
}

// atan2(y, x) for finite inputs, not both zero.
inline __m128 arcTangent2(__m128 y, __m128 x) {
    const __m128 sign = splat(-0.0f);
    const __m128 ax = _mm_andnot_ps(sign, x), ay = _mm_andnot_ps(sign, y);
    const __m128 steep = _mm_cmpgt_ps(ay, ax);
    __m128 t = _mm_div_ps(_mm_min_ps(ax, ay), _mm_max_ps(ax, ay)); // 0..1
    const __m128 beyond = _mm_cmpgt_ps(t, splat(0.41421356f));     // tan(pi/8)
    t = select(beyond, _mm_div_ps(_mm_sub_ps(t, splat(1.0f)), _mm_add_ps(t, splat(1.0f))), t);
    const __m128 z = _mm_mul_ps(t, t);
    __m128 p = splat(8.05374449538e-2f);
    for (float c : {-1.38776856032e-1f, 1.99777106478e-1f, -3.33329491539e-1f})
        p = _mm_add_ps(_mm_mul_ps(p, z), splat(c));
    __m128 r = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(p, z), t), t);
    r = _mm_add_ps(r, _mm_and_ps(beyond, splat(0.785398163f)));
    r = select(steep, _mm_sub_ps(splat(1.570796327f), r), r);
    r = select(_mm_cmplt_ps(x, _mm_setzero_ps()), _mm_sub_ps(splat(3.141592654f), r), r);
    return _mm_or_ps(r, _mm_and_ps(y, sign));
}

// |X_b| of both channels and their sum, at the bins the columns read; Nyquist has one entry, which serves as
// both parts.
void binMagnitudes(const float* left, const float* right, float* magL, float* magR, float* sum) {
    for (int j = 0; j < places.binCount; j += 4) {
        alignas(16) float reL[4], imL[4], reR[4], imR[4], outL[4], outR[4], outSum[4];
        for (int c = 0; c < 4; ++c) {
            const int bin = places.bins[j + c];
            reL[c] = left[bin], imL[c] = left[kN - bin], reR[c] = right[bin], imR[c] = right[kN - bin];
        }
        const auto magnitude = [](const float* re, const float* im) {
            const __m128 r = _mm_load_ps(re), i = _mm_load_ps(im);
            return _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(r, r), _mm_mul_ps(i, i)));
        };
        const __m128 l = magnitude(reL, imL), r = magnitude(reR, imR);
        _mm_store_ps(outL, l), _mm_store_ps(outR, r), _mm_store_ps(outSum, _mm_add_ps(l, r));
        for (int c = 0; c < 4; ++c) {
            const int bin = places.bins[j + c];
            magL[bin] = outL[c], magR[bin] = outR[c], sum[bin] = outSum[c];
        }
    }
    magL[kNyquist] = std::sqrt(2.0f) * std::fabs(left[kNyquist]);
    magR[kNyquist] = std::sqrt(2.0f) * std::fabs(right[kNyquist]);
    sum[kNyquist] = magL[kNyquist] + magR[kNyquist];
}

inline float imaginaryPart(const float* spectrum, int bin) {
    return bin >= kNyquist ? spectrum[kNyquist] : spectrum[kN - bin];
}

} // namespace

void AudioPath::updateDisplayColumns(const float* left, const float* right) {
    alignas(16) float magL[kNyquist + 4], magR[kNyquist + 4], sum[kNyquist + 4];
    binMagnitudes(left, right, magL, magR, sum);

    const __m128 tiny = splat(1e-8f), huge = splat(1e30f), quiet = splat(1e-6f);
    for (int k = 0; k < kDisplayColumns; k += 4) {
        alignas(16) float a[4], b[4], bL[4], bR[4], reL[4], imL[4], reR[4], imR[4];
        for (int c = 0; c < 4; ++c) {
            const int lower = places.lower[k + c], upper = places.upper[k + c];
            a[c] = sum[lower], b[c] = sum[upper], bL[c] = magL[upper], bR[c] = magR[upper];
            reL[c] = left[upper], imL[c] = imaginaryPart(left, upper);
            reR[c] = right[upper], imR[c] = imaginaryPart(right, upper);
        }
        const __m128 A = _mm_load_ps(a), B = _mm_load_ps(b), frac = _mm_load_ps(places.frac + k);
        const __m128 magnitude = _mm_mul_ps(_mm_load_ps(places.magnitudeGain + k), B);
        __m128 blended =
            _mm_max_ps(_mm_add_ps(_mm_mul_ps(A, _mm_sub_ps(splat(1.0f), frac)), _mm_mul_ps(B, frac)), tiny);
        // An overflowed spectrum must not leave the smoothed level infinite for good (NaN included).
        blended = select(_mm_cmple_ps(blended, huge), blended, huge);
        const __m128 smooth =
            _mm_add_ps(_mm_mul_ps(splat(0.8f), _mm_loadu_ps(feed.smoothLog + k)),
                       _mm_mul_ps(_mm_mul_ps(logPositive(blended), splat(36.0f)), splat(-0.2f)));
        _mm_storeu_ps(feed.smoothLog + k, smooth);
        const __m128 level =
            _mm_min_ps(_mm_max_ps(_mm_sub_ps(_mm_sub_ps(smooth, _mm_load_ps(places.tilt + k)), splat(50.0f)),
                                  _mm_setzero_ps()),
                       splat(500.0f));

        const __m128 quietL = _mm_cmplt_ps(_mm_load_ps(bL), quiet),
                     quietR = _mm_cmplt_ps(_mm_load_ps(bR), quiet);
        __m128 phase = _mm_sub_ps(arcTangent2(_mm_load_ps(reL), _mm_load_ps(imL)),
                                  arcTangent2(_mm_load_ps(reR), _mm_load_ps(imR)));
        phase = select(quietL, splat(1.57285f), phase);
        phase = select(quietR, splat(-1.57285f), phase);
        phase = select(_mm_and_ps(quietL, quietR), _mm_setzero_ps(), phase);

        alignas(16) float magnitudes[4], levels[4], phases[4];
        _mm_store_ps(magnitudes, magnitude);
        _mm_store_ps(levels, level);
        _mm_store_ps(phases, phase);
        for (int c = 0; c < 4; ++c) {
            feed.magDisp[k + c].store(magnitudes[c], std::memory_order_relaxed);
            feed.levelDisp[k + c].store(levels[c], std::memory_order_relaxed);
            const float peak = feed.peakDisp[k + c].load(std::memory_order_relaxed);
            feed.peakDisp[k + c].store(levels[c] > peak ? 0.99f * peak + 0.01f * levels[c] : levels[c],
                                       std::memory_order_relaxed);
            feed.phaseDisp[k + c].store(phases[c], std::memory_order_relaxed);
        }
    }
}
