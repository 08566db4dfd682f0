// Four neighbouring bins of a spectrum in the split layout, as two registers: Re of bins k..k+3 is one load,
// their Im one load read backwards from 2045 - k. Shared by the stage code built for the baseline processor
// and for AVX, so everything here has internal linkage: each build keeps its own copy.
#pragma once

#include <emmintrin.h>

#include <cmath>

#include "dsp/spectral_stages.h"

namespace spectral {

// The loops over the bins of one register width.
struct BinKernels {
    void (*stages)(float* spectrum, const BinStages& stages, float* bassLevel);
    void (*gateMask)(const float* spectrum, float* mask, float c);
    void (*magnitudes)(const float* spectrum, float* out);
};

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

// The peak emphasis's factor m'/m = max(0, m (1 - s) + 4 s (m - 0.5 A)) / m in double lanes of any width;
// positive(raised) is the instruction set's max(raised, 0), which also turns a NaN into 0.
template <typename D, typename Positive> inline D peakFactor(D m, D s, D envelope, Positive positive) {
    return positive(m * (1.0 - s) + (4.0 * s) * (m - 0.5 * envelope)) / m;
}

// r(k) for the peak emphasis.
struct PeakRamp {
    float r[kStageBins];
    PeakRamp() {
        for (int k = 0; k < kStageBins; ++k)
            r[k] = peakWeight(k);
    }
};
const PeakRamp peakRamp;

// sqrt(k) as a float, k = 0..1023, for the fat-bass level.
struct RootTable {
    float root[kStageBins];
    RootTable() {
        for (int k = 0; k < kStageBins; ++k)
            root[k] = std::sqrt(static_cast<float>(k));
    }
};
const RootTable roots;

// The four-bin registers of the baseline processor, for the per-bin pass.
struct QuadBins {
    using Vector = __m128;
    using Bins = spectral::Bins;
    static constexpr int kWidth = 4;
    static __m128 load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, __m128 v) { _mm_storeu_ps(p, v); }
    static __m128 greater(__m128 a, __m128 b) { return _mm_cmpgt_ps(a, b); }
    static __m128 broadcast(float v) { return _mm_set1_ps(v); }
    static Bins loadBins(const float* spectrum, int k) { return spectral::loadBins(spectrum, k); }
    static void storeBins(float* spectrum, int k, Bins b) { spectral::storeBins(spectrum, k, b); }
    static __m128 magnitudes(const Bins& b, int k) { return spectral::magnitudes(b, k); }
    static __m128 select(__m128 mask, __m128 ifTrue, __m128 ifFalse) {
        return _mm_or_ps(_mm_and_ps(mask, ifTrue), _mm_andnot_ps(mask, ifFalse));
    }
    static __m128 isZero(__m128 v) { return _mm_cmpeq_ps(v, _mm_setzero_ps()); }
    static __m128 withFirst(__m128 v, float first) { return _mm_move_ss(v, _mm_set_ss(first)); }
    static __m128 withoutFirst(__m128 v) {
        return _mm_and_ps(v, _mm_castsi128_ps(_mm_setr_epi32(0, -1, -1, -1)));
    }
    // Eight running sums, one per bin modulo 8: bins 0..3 in the first register, 4..7 in the second.
    struct LevelSum {
        __m128 sums[2] = {_mm_setzero_ps(), _mm_setzero_ps()};
        void add(__m128 terms, int k) { sums[(k / 4) % 2] = _mm_add_ps(sums[(k / 4) % 2], terms); }
        float total() const {
            const __m128 pairs = _mm_add_ps(sums[0], sums[1]);
            const __m128 halves = _mm_add_ps(pairs, _mm_movehl_ps(pairs, pairs));
            return _mm_cvtss_f32(_mm_add_ss(halves, _mm_shuffle_ps(halves, halves, _MM_SHUFFLE(1, 1, 1, 1))));
        }
    };
};

// One pass of the per-bin stages over a channel, Lanes::kWidth bins at a time; Factor::of gives the peak
// emphasis's factors (peakFactor) for one register of bins. The fat-bass level keeps eight running sums, one
// per bin modulo 8, added at the end (added in order of k, each addition would wait for the last); every
// width adds them in the same order.
template <class Lanes, class Factor>
void binStagesWith(float* spectrum, const BinStages& stages, float* bassLevel) {
    using V = typename Lanes::Vector;
    using Registers = typename Lanes::Bins;
    constexpr int width = Lanes::kWidth;
    const float re0 = spectrum[0];
    const V halfAmount = Lanes::broadcast(0.5f * stages.amount), one = Lanes::broadcast(1.0f);
    typename Lanes::LevelSum level;
    for (int k = 0; k < kStageBins; k += width) {
        Registers b = Lanes::loadBins(spectrum, k);
        // Bins up to 80 have weight zero and keep their magnitude; a silent bin stays as it is (0/0).
        if (stages.magnitude && k >= 80) {
            const V m = Lanes::load(stages.magnitude + k);
            V factor =
                Factor::of(m, halfAmount * Lanes::load(peakRamp.r + k), Lanes::load(stages.envelope + k));
            factor = Lanes::select(Lanes::isZero(m), one, factor);
            if (k == 80) factor = Lanes::withFirst(factor, 1.0f);
            b = {b.re * factor, b.im * factor};
        }
        for (int r = 0; r < stages.rotations; ++r) {
            const V c = Lanes::load(stages.rotation[r]->cosDelta + k);
            const V s = Lanes::broadcast(stages.direction[r]) * Lanes::load(stages.rotation[r]->sinDelta + k);
            b = {b.re * c + b.im * s, b.im * c - b.re * s};
        }
        // Bin 0 is real and every rotation is zero there; its entries (1, 0) would only flip a zero's sign.
        if (k == 0) b.re = Lanes::withFirst(b.re, re0);
        if (stages.gain) {
            const V gain = Lanes::load(stages.gain + k);
            b = {b.re * gain, b.im * gain};
        }
        Lanes::storeBins(spectrum, k, b);
        if (bassLevel) {
            V terms = Lanes::magnitudes(b, k) / Lanes::load(roots.root + k);
            if (k == 0) terms = Lanes::withoutFirst(terms); // not part of the sum (and divides by zero)
            level.add(terms, k);
        }
    }
    if (bassLevel) *bassLevel = 1e-6f + level.total();
}

// The gate of the noise reduction: 1 where m(k) c > 0.5, else 1e-6.
template <class Lanes> void gateMaskWith(const float* spectrum, float* mask, float c) {
    using V = typename Lanes::Vector;
    const V c4 = Lanes::broadcast(c), half = Lanes::broadcast(0.5f), one = Lanes::broadcast(1.0f),
            floor = Lanes::broadcast(1e-6f);
    for (int k = 0; k < kStageBins; k += Lanes::kWidth) {
        const auto open = Lanes::greater(Lanes::magnitudes(Lanes::loadBins(spectrum, k), k) * c4, half);
        Lanes::store(mask + k, Lanes::select(open, one, floor));
    }
}

template <class Lanes> void magnitudesWith(const float* spectrum, float* out) {
    for (int k = 0; k < kStageBins; k += Lanes::kWidth)
        Lanes::store(out + k, Lanes::magnitudes(Lanes::loadBins(spectrum, k), k));
}

template <class Lanes, class Factor> constexpr BinKernels kernelsOf() {
    return {binStagesWith<Lanes, Factor>, gateMaskWith<Lanes>, magnitudesWith<Lanes>};
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

// The same loops eight and sixteen bins at a time, built with AVX and AVX-512: use only where the processor
// has them.
extern const BinKernels avxKernels;
extern const BinKernels avx512Kernels;

// The smoothing across bins with both channels in one register, the same bits as the four-lane form (built
// with AVX; call only when the processor has it).
void smoothAcrossBinsAvx(float* a, float* b, float keep, float take);

} // namespace spectral
