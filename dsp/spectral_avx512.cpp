// The per-bin pass sixteen bins per register, the peak emphasis's factors eight bins per double register.
// Built with AVX-512 (no fused multiply-add: every lane keeps the baseline form's roundings) and called only
// when the processor has it.
#include "dsp/spectral_bins.h"

#if defined(__AVX512F__)
// The compiler's own AVX-512 header starts registers from an undefined value, which its flow analysis
// reports as uninitialised.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

namespace spectral {
namespace {

inline __m256 lowHalf(__m512 v) {
    return _mm512_castps512_ps256(v);
}
inline __m256 highHalf(__m512 v) {
    return _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(v), 1));
}
inline __m512 joined(__m256 low, __m256 high) {
    return _mm512_castpd_ps(
        _mm512_insertf64x4(_mm512_castps_pd(_mm512_castps256_ps512(low)), _mm256_castps_pd(high), 1));
}

// Bins k..k+15: Re is one load, Im one load read backwards from 2033 - k.
struct HexBins {
    using Vector = __m512;
    struct Bins {
        __m512 re, im;
    };
    static constexpr int kWidth = 16;
    static __m512 load(const float* p) { return _mm512_loadu_ps(p); }
    static void store(float* p, __m512 v) { _mm512_storeu_ps(p, v); }
    static __mmask16 greater(__m512 a, __m512 b) { return _mm512_cmp_ps_mask(a, b, _CMP_GT_OQ); }
    static __m512 broadcast(float v) { return _mm512_set1_ps(v); }
    static __m512 reversed(__m512 v) {
        return _mm512_permutexvar_ps(_mm512_setr_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0),
                                     v);
    }
    static Bins loadBins(const float* spectrum, int k) {
        const __m512 re = load(spectrum + k);
        if (k == 0) { // bin 0 has no Im: its lane reads 0 and is never stored
            alignas(64) float im[kWidth] = {};
            for (int i = 1; i < kWidth; ++i)
                im[i] = spectrum[kFrameLength - i];
            return {re, _mm512_load_ps(im)};
        }
        return {re, reversed(load(spectrum + kFrameLength - 15 - k))};
    }
    static void storeBins(float* spectrum, int k, Bins b) {
        _mm512_storeu_ps(spectrum + k, b.re);
        if (k == 0) {
            alignas(64) float im[kWidth];
            _mm512_store_ps(im, b.im);
            for (int i = 1; i < kWidth; ++i)
                spectrum[kFrameLength - i] = im[i];
        } else {
            _mm512_storeu_ps(spectrum + kFrameLength - 15 - k, reversed(b.im));
        }
    }
    static __m512 magnitudes(const Bins& b, int k) {
        const __m512 m = _mm512_sqrt_ps(b.re * b.re + b.im * b.im);
        return k == 0 ? _mm512_mask_blend_ps(1, m, _mm512_abs_ps(b.re)) : m;
    }
    static __m512 select(__mmask16 mask, __m512 ifTrue, __m512 ifFalse) {
        return _mm512_mask_blend_ps(mask, ifFalse, ifTrue);
    }
    static __mmask16 isZero(__m512 v) { return _mm512_cmp_ps_mask(v, _mm512_setzero_ps(), _CMP_EQ_OQ); }
    static __m512 withFirst(__m512 v, float first) {
        return _mm512_mask_blend_ps(1, v, _mm512_set1_ps(first));
    }
    static __m512 withoutFirst(__m512 v) { return _mm512_maskz_mov_ps(0xFFFE, v); }
    // The eight-bin form's running sums: each register's two halves added in the order of the bins.
    struct LevelSum {
        __m256 sums = _mm256_setzero_ps();
        void add(__m512 terms, int) {
            sums = _mm256_add_ps(sums, lowHalf(terms));
            sums = _mm256_add_ps(sums, highHalf(terms));
        }
        float total() const {
            QuadBins::LevelSum quads;
            quads.sums[0] = _mm256_castps256_ps128(sums), quads.sums[1] = _mm256_extractf128_ps(sums, 1);
            return quads.total();
        }
    };
};

struct PeakFactorOctets {
    static __m256 of(__m256 m, __m256 s, __m256 envelope) {
        return _mm512_cvtpd_ps(
            peakFactor(_mm512_cvtps_pd(m), _mm512_cvtps_pd(s), _mm512_cvtps_pd(envelope),
                       [](__m512d raised) { return _mm512_max_pd(raised, _mm512_setzero_pd()); }));
    }
    static __m512 of(__m512 m, __m512 s, __m512 envelope) {
        return joined(of(lowHalf(m), lowHalf(s), lowHalf(envelope)),
                      of(highHalf(m), highHalf(s), highHalf(envelope)));
    }
};

} // namespace

const BinKernels avx512Kernels = kernelsOf<HexBins, PeakFactorOctets>();

} // namespace spectral
#endif
