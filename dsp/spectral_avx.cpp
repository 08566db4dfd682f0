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
// half. Each half gets exactly the four-lane form's operations (see Scan in spectral_stages.cpp), so the
// bits are the same and one instruction serves both channels.
struct PairScan {
    __m256 keep1, keep2, powers, powersBeyond, take;
    PairScan(float keep, float share)
        : keep1(_mm256_set1_ps(keep)), keep2(_mm256_set1_ps(keep * keep)), take(_mm256_set1_ps(share)) {
        float power[8];
        keepPowers(keep, power);
        powers =
            _mm256_setr_ps(power[0], power[1], power[2], power[3], power[0], power[1], power[2], power[3]);
        powersBeyond =
            _mm256_setr_ps(power[4], power[5], power[6], power[7], power[4], power[5], power[6], power[7]);
    }
    // Each half moved up by one or two lanes, zeros coming in (AVX has no 256-bit byte shift).
    static __m256 upOne(__m256 v) {
        return _mm256_blend_ps(_mm256_permute_ps(v, _MM_SHUFFLE(2, 1, 0, 0)), _mm256_setzero_ps(), 0x11);
    }
    static __m256 upTwo(__m256 v) {
        return _mm256_shuffle_ps(_mm256_setzero_ps(), v, _MM_SHUFFLE(1, 0, 0, 0));
    }
    __m256 local(__m256 values) const {
        __m256 z = _mm256_mul_ps(take, values);
        z = _mm256_add_ps(z, _mm256_mul_ps(keep1, upOne(z)));
        return _mm256_add_ps(z, _mm256_mul_ps(keep2, upTwo(z)));
    }
    static __m256 last(__m256 v) { return _mm256_permute_ps(v, _MM_SHUFFLE(3, 3, 3, 3)); }
    void step(__m256& first, __m256& second, __m256& carry) const {
        const __m256 z1 = local(first);
        const __m256 z2 = _mm256_add_ps(local(second), _mm256_mul_ps(powers, last(z1)));
        first = _mm256_add_ps(z1, _mm256_mul_ps(powers, carry));
        second = _mm256_add_ps(z2, _mm256_mul_ps(powersBeyond, carry));
        carry = last(second);
    }
};

inline __m256 reversedHalves(__m256 v) {
    return _mm256_permute_ps(v, _MM_SHUFFLE(0, 1, 2, 3));
}

} // namespace

void smoothAcrossBinsAvx(float* a, float* b, float keep, float take) {
    const PairScan scan(keep, take);
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
