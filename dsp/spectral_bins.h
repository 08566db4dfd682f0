// Four neighbouring bins of a spectrum in the split layout, as two registers: Re of bins k..k+3 is one load,
// their Im one load read backwards from 2045 - k. Shared by the stage code built for the baseline processor
// and for AVX, so everything here has internal linkage: each build keeps its own copy.
#pragma once

#include <emmintrin.h>

#include "dsp/spectral_stages.h"

namespace spectral {
namespace {

constexpr int kHalf = kFrameLength / 2;

inline __m128 reversed(__m128 v) {
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3));
}
inline __m128 splat(float v) {
    return _mm_set1_ps(v);
}

// Bins k..k+3 (k a multiple of 4, below 1024). Bin 0 has no Im: its lane reads 0 and is never stored.
struct Bins {
    __m128 re, im;
};
inline Bins loadBins(const float* spectrum, int k) {
    const __m128 re = _mm_loadu_ps(spectrum + k);
    if (k == 0) return {re, _mm_setr_ps(0.0f, spectrum[2047], spectrum[2046], spectrum[2045])};
    return {re, reversed(_mm_loadu_ps(spectrum + kFrameLength - 3 - k))};
}
inline void storeBins(float* spectrum, int k, Bins b) {
    _mm_storeu_ps(spectrum + k, b.re);
    if (k == 0) {
        alignas(16) float im[4];
        _mm_store_ps(im, b.im);
        spectrum[2047] = im[1], spectrum[2046] = im[2], spectrum[2045] = im[3];
    } else {
        _mm_storeu_ps(spectrum + kFrameLength - 3 - k, reversed(b.im));
    }
}
// m(k) = sqrt(Re^2 + Im^2); m(0) = |Re(0)|.
inline __m128 magnitudes(const Bins& b, int k) {
    __m128 m = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(b.re, b.re), _mm_mul_ps(b.im, b.im)));
    if (k == 0) m = _mm_move_ss(m, _mm_andnot_ps(_mm_set_ss(-0.0f), b.re));
    return m;
}
inline Bins scaled(const Bins& b, __m128 factor) {
    return {_mm_mul_ps(b.re, factor), _mm_mul_ps(b.im, factor)};
}

// The weight of the peak emphasis at bin k: 0 up to bin 80, (k - 80) / 80 to bin 159, then 1.
inline float peakWeight(int k) {
    return k <= 80 ? 0.0f : k < 160 ? static_cast<float>(k - 80) / 80.0f : 1.0f;
}

// Scales bins 81..1023 by m'/m, m' = max(0, m (1 - s) + 4 s (m - 0.5 A)), s = amount r(k) / 2, in double;
// Factor::of(m, s, A) gives the four factors. magnitude: m(k) of the spectrum as it stands; ramp: r(k).
template <class Factor>
void emphasisePeaksWith(float* spectrum, const float* magnitude, const float* envelope, const float* ramp,
                        float amount) {
    // The weight is zero up to bin 80, so those bins keep their magnitude; bin 80 rides along and is put
    // back.
    const float re80 = spectrum[80], im80 = spectrum[kFrameLength - 80];
    const __m128 halfAmount = splat(0.5f * amount);
    for (int k = 80; k < kStageBins; k += 4) {
        const Bins b = loadBins(spectrum, k);
        const __m128 m = _mm_loadu_ps(magnitude + k);
        __m128 factor =
            Factor::of(m, _mm_mul_ps(halfAmount, _mm_loadu_ps(ramp + k)), _mm_loadu_ps(envelope + k));
        // A silent bin stays as it is (m'/m would be 0/0).
        const __m128 silent = _mm_cmpeq_ps(m, _mm_setzero_ps());
        factor = _mm_or_ps(_mm_and_ps(silent, splat(1.0f)), _mm_andnot_ps(silent, factor));
        storeBins(spectrum, k, scaled(b, factor));
    }
    spectrum[80] = re80, spectrum[kFrameLength - 80] = im80;
}

// The smoothing across bins (see smoothAcrossBins) runs eight bins per step: with z the recurrence inside
// the eight bins from zero, y(k + i) = z(i) + keep^(i + 1) y(k - 1). Lanes gives the register V of four bins
// (of one channel, or of each channel side by side) with its shuffles; arithmetic is V's own operators, so
// both forms perform the same operations per value.
template <class Lanes> struct Scan {
    using V = typename Lanes::V;
    V keep1, keep2, powers, powersBeyond, take;
    Scan(float keep, float share)
        : keep1(Lanes::splat(keep)), keep2(Lanes::splat(keep * keep)), take(Lanes::splat(share)) {
        float power[8]; // each rounded from the one before
        power[0] = keep;
        for (int i = 1; i < 8; ++i)
            power[i] = power[i - 1] * keep;
        powers = Lanes::fourOf(power);
        powersBeyond = Lanes::fourOf(power + 4);
    }
    // The recurrence over four values from zero.
    V local(V values) const {
        const V z = take * values;
        const V z2 = z + keep1 * Lanes::upOne(z);
        return z2 + keep2 * Lanes::upTwo(z2);
    }
    // first, second: eight inputs in the order of the recurrence; carry: y before them in every lane.
    void step(V& first, V& second, V& carry) const {
        const V z1 = local(first);
        const V z2 = local(second) + powers * Lanes::last(z1);
        first = z1 + powers * carry;
        second = z2 + powersBeyond * carry;
        carry = Lanes::last(second);
    }
};

} // namespace

// The smoothing across bins with both channels in one register, the same bits as the four-lane form (built
// with AVX; call only when the processor has it).
void smoothAcrossBinsAvx(float* a, float* b, float keep, float take);
// The peak emphasis with four double-precision lanes (built with AVX; call only when the processor has it).
void emphasisePeaksAvx(float* spectrum, const float* magnitude, const float* envelope, const float* ramp,
                       float amount);

} // namespace spectral
