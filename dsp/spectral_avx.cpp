// The per-bin pass eight bins per register, the peak emphasis's factors four bins per double register, and
// the smoothing across bins with both channels in one register. Built with AVX (no FMA: every lane keeps the
// baseline form's roundings) and called only when the processor has it.
#include "dsp/spectral_bins.h"

#if defined(__AVX__)
#include <immintrin.h>

namespace spectral {
namespace {

inline __m256 reversed(__m256 v) {
    return _mm256_permute_ps(_mm256_permute2f128_ps(v, v, 1), _MM_SHUFFLE(0, 1, 2, 3));
}
inline __m128 lowHalf(__m256 v) {
    return _mm256_castps256_ps128(v);
}
inline __m128 highHalf(__m256 v) {
    return _mm256_extractf128_ps(v, 1);
}
inline __m256 joined(__m128 low, __m128 high) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1);
}

// Bins k..k+7: Re is one load, Im one load read backwards from 2041 - k.
struct OctBins {
    using Vector = __m256;
    struct Bins {
        __m256 re, im;
    };
    static constexpr int kWidth = 8;
    static __m256 load(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, __m256 v) { _mm256_storeu_ps(p, v); }
    static __m256 greater(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
    static __m256 broadcast(float v) { return _mm256_set1_ps(v); }
    static Bins loadBins(const float* spectrum, int k) {
        const __m256 re = load(spectrum + k);
        if (k == 0) { // bin 0 has no Im: its lane reads 0 and is never stored
            const auto low = spectral::loadBins(spectrum, 0), high = spectral::loadBins(spectrum, 4);
            return {re, joined(low.im, high.im)};
        }
        return {re, reversed(load(spectrum + kFrameLength - 7 - k))};
    }
    static void storeBins(float* spectrum, int k, Bins b) {
        _mm256_storeu_ps(spectrum + k, b.re);
        if (k == 0) {
            spectral::storeBins(spectrum, 0, {lowHalf(b.re), lowHalf(b.im)});
            spectral::storeBins(spectrum, 4, {highHalf(b.re), highHalf(b.im)});
        } else {
            _mm256_storeu_ps(spectrum + kFrameLength - 7 - k, reversed(b.im));
        }
    }
    static __m256 magnitudes(const Bins& b, int k) {
        __m256 m = _mm256_sqrt_ps(b.re * b.re + b.im * b.im);
        if (k == 0) m = _mm256_blend_ps(m, _mm256_andnot_ps(_mm256_set1_ps(-0.0f), b.re), 1);
        return m;
    }
    static __m256 select(__m256 mask, __m256 ifTrue, __m256 ifFalse) {
        return _mm256_blendv_ps(ifFalse, ifTrue, mask);
    }
    static __m256 isZero(__m256 v) { return _mm256_cmp_ps(v, _mm256_setzero_ps(), _CMP_EQ_OQ); }
    static __m256 withFirst(__m256 v, float first) { return _mm256_blend_ps(v, _mm256_set1_ps(first), 1); }
    static __m256 withoutFirst(__m256 v) { return _mm256_blend_ps(v, _mm256_setzero_ps(), 1); }
    // The four-bin form's two registers of running sums side by side.
    struct LevelSum {
        __m256 sums = _mm256_setzero_ps();
        void add(__m256 terms, int) { sums = _mm256_add_ps(sums, terms); }
        float total() const {
            QuadBins::LevelSum quads;
            quads.sums[0] = lowHalf(sums), quads.sums[1] = highHalf(sums);
            return quads.total();
        }
    };
};

struct PeakFactorQuads {
    static __m128 of(__m128 m, __m128 s, __m128 envelope) {
        return _mm256_cvtpd_ps(
            peakFactor(_mm256_cvtps_pd(m), _mm256_cvtps_pd(s), _mm256_cvtps_pd(envelope),
                       [](__m256d raised) { return _mm256_max_pd(raised, _mm256_setzero_pd()); }));
    }
    static __m256 of(__m256 m, __m256 s, __m256 envelope) {
        return joined(of(lowHalf(m), lowHalf(s), lowHalf(envelope)),
                      of(highHalf(m), highHalf(s), highHalf(envelope)));
    }
};

// The smoothing with both channels side by side: a's bins in the low half of a register, b's in the high
// half, each half getting the four-lane form's operations.
struct PairLanes {
    using V = __m256;
    static V splat(float v) { return _mm256_set1_ps(v); }
    static V fourOf(const float* v) {
        const __m128 four = _mm_loadu_ps(v);
        return _mm256_set_m128(four, four);
    }
    // Each half moved up by one or two lanes, zeros coming in (AVX has no 256-bit byte shift).
    static V upOne(V v) {
        return _mm256_blend_ps(_mm256_permute_ps(v, _MM_SHUFFLE(2, 1, 0, 0)), _mm256_setzero_ps(), 0x11);
    }
    static V upTwo(V v) { return _mm256_shuffle_ps(_mm256_setzero_ps(), v, _MM_SHUFFLE(1, 0, 0, 0)); }
    static V last(V v) { return _mm256_permute_ps(v, _MM_SHUFFLE(3, 3, 3, 3)); }
};

inline __m256 reversedHalves(__m256 v) {
    return _mm256_permute_ps(v, _MM_SHUFFLE(0, 1, 2, 3));
}

} // namespace

const BinKernels avxKernels = kernelsOf<OctBins, PeakFactorQuads>();

void smoothAcrossBinsAvx(float* a, float* b, float keep, float take) {
    const Scan<PairLanes> scan(keep, take);
    a[kHalf] = a[kHalf - 1];
    b[kHalf] = b[kHalf - 1];
    __m256 carry = _mm256_setr_ps(a[0], a[0], a[0], a[0], b[0], b[0], b[0], b[0]);
    for (int k = 0; k < kHalf; k += 8) {
        __m256 first = _mm256_loadu2_m128(b + k, a + k), second = _mm256_loadu2_m128(b + k + 4, a + k + 4);
        scan.step(first, second, carry);
        _mm256_storeu2_m128(b + k, a + k, first);
        _mm256_storeu2_m128(b + k + 4, a + k + 4, second);
    }
    // Down from bin 1024 to bin 1; bin 0 keeps its upward value.
    carry = _mm256_setr_ps(a[kHalf], a[kHalf], a[kHalf], a[kHalf], b[kHalf], b[kHalf], b[kHalf], b[kHalf]);
    for (int k = kHalf - 3; k >= 1; k -= 8) {
        __m256 first = reversedHalves(_mm256_loadu2_m128(b + k, a + k));
        __m256 second = reversedHalves(_mm256_loadu2_m128(b + k - 4, a + k - 4));
        scan.step(first, second, carry);
        _mm256_storeu2_m128(b + k, a + k, reversedHalves(first));
        _mm256_storeu2_m128(b + k - 4, a + k - 4, reversedHalves(second));
    }
}

} // namespace spectral
#endif
