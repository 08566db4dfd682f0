// The smoothing across bins with both channels in one register and the clearness stage's peak emphasis four
// bins per double register. Built with AVX (no FMA: every lane keeps the narrower form's roundings) and
// called only when the processor has it.
#include "dsp/spectral_bins.h"

#if defined(__AVX__)
#include <immintrin.h>

namespace spectral {
namespace {

struct PeakFactorQuads {
    static __m128 of(__m128 m4, __m128 s4, __m128 envelope4) {
        const __m256d m = _mm256_cvtps_pd(m4), s = _mm256_cvtps_pd(s4), envelope = _mm256_cvtps_pd(envelope4);
        const __m256d one = _mm256_set1_pd(1.0);
        const __m256d raised =
            _mm256_add_pd(_mm256_mul_pd(m, _mm256_sub_pd(one, s)),
                          _mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(4.0), s),
                                        _mm256_sub_pd(m, _mm256_mul_pd(_mm256_set1_pd(0.5), envelope))));
        return _mm256_cvtpd_ps(_mm256_div_pd(_mm256_max_pd(raised, _mm256_setzero_pd()), m));
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

void emphasisePeaksAvx(float* spectrum, const float* magnitude, const float* envelope, const float* ramp,
                       float amount) {
    emphasisePeaksWith<PeakFactorQuads>(spectrum, magnitude, envelope, ramp, amount);
}

} // namespace spectral
#endif
