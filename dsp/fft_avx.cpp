// The large FFT stages eight lanes wide. Built with AVX (no FMA: every lane keeps the scalar form's
// roundings) and called only when the processor has it.
#include "dsp/fft.h"

#if defined(__AVX__)
#include <immintrin.h>

#include "dsp/fft_butterflies.h"

namespace {

struct AvxLanes {
    using Vector = __m256;
    static constexpr int kWidth = 8;
    static __m256 load(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, __m256 v) { _mm256_storeu_ps(p, v); }
    static __m256 reversed(__m256 v) {
        const __m256 halvesSwapped = _mm256_permute2f128_ps(v, v, 1);
        return _mm256_permute_ps(halvesSwapped, _MM_SHUFFLE(0, 1, 2, 3));
    }
};

} // namespace

void fft_detail::largeStageAvx(float* data, int64_t n, int64_t m, const float* const* table, bool forward) {
    if (forward)
        largeStage<AvxLanes, true>(data, n, m, table);
    else
        largeStage<AvxLanes, false>(data, n, m, table);
}
#endif
