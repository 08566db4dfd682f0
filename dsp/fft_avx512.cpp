// The large FFT stages sixteen lanes wide. Built with AVX-512 (no fused multiply-add: every lane keeps the
// scalar form's roundings) and called only when the processor has it.
#include "dsp/fft.h"

#if defined(__AVX512F__)
// The compiler's own AVX-512 header starts registers from an undefined value, which its flow analysis
// reports as uninitialised.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include "dsp/fft_butterflies.h"

namespace {

struct Avx512Lanes {
    using Vector = __m512;
    static constexpr int kWidth = 16;
    static __m512 load(const float* p) { return _mm512_loadu_ps(p); }
    static void store(float* p, __m512 v) { _mm512_storeu_ps(p, v); }
    static __m512 reversed(__m512 v) {
        return _mm512_permutexvar_ps(_mm512_setr_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0),
                                     v);
    }
    static __m512 loadReversed(const float* p) { return reversed(load(p)); }
    static void storeReversed(float* p, __m512 v) { store(p, reversed(v)); }
    // v with its last lane from w.
    static __m512 withLast(__m512 v, __m512 w) { return _mm512_mask_blend_ps(0x8000, v, w); }
};

} // namespace

void fft_detail::largeStageAvx512(float* data, int64_t n, int64_t m, const float* const* table,
                                  bool forward) {
    if (forward)
        largeStage<Avx512Lanes, true>(data, n, m, table);
    else
        largeStage<Avx512Lanes, false>(data, n, m, table);
}
#endif
