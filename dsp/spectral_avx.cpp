// The clearness stage's peak emphasis four bins per double register. Built with AVX (no FMA: every lane keeps
// the two-lane form's roundings) and called only when the processor has it.
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

} // namespace

void emphasisePeaksAvx(float* spectrum, const float* magnitude, const float* envelope, const float* ramp,
                       float amount) {
    emphasisePeaksWith<PeakFactorQuads>(spectrum, magnitude, envelope, ramp, amount);
}

} // namespace spectral
#endif
