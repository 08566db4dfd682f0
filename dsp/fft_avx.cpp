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
    // Lanes in reverse order. Loading the halves swapped saves a cross-half shuffle; storing them swapped
    // (two half stores) measured slower than the shuffle.
    static __m256 loadReversed(const float* p) {
        return _mm256_permute_ps(_mm256_loadu2_m128(p, p + 4), _MM_SHUFFLE(0, 1, 2, 3));
    }
    static void storeReversed(float* p, __m256 v) {
        const __m256 halvesSwapped = _mm256_permute2f128_ps(v, v, 1);
        _mm256_storeu_ps(p, _mm256_permute_ps(halvesSwapped, _MM_SHUFFLE(0, 1, 2, 3)));
    }
    // v with its last lane from w.
    static __m256 withLast(__m256 v, __m256 w) { return _mm256_blend_ps(v, w, 0x80); }
    // Block `row` of the batch in the low half and block row + 4 in the high half.
    static __m256 loadRow(float* const* p, int row, int q) {
        return _mm256_loadu2_m128(p[row + 4] + q, p[row] + q);
    }
    static void storeRow(float* const* p, int row, int q, __m256 v) {
        _mm256_storeu2_m128(p[row + 4] + q, p[row] + q, v);
    }
    // A 4 x 4 transpose in each half.
    static void transpose(__m256* r) {
        const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpacklo_ps(r[2], r[3]);
        const __m256 t2 = _mm256_unpackhi_ps(r[0], r[1]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
        r[0] = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(1, 0, 1, 0));
        r[1] = _mm256_shuffle_ps(t0, t1, _MM_SHUFFLE(3, 2, 3, 2));
        r[2] = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(1, 0, 1, 0));
        r[3] = _mm256_shuffle_ps(t2, t3, _MM_SHUFFLE(3, 2, 3, 2));
    }
};

} // namespace

void fft_detail::largeStageAvx(float* data, int64_t n, int64_t m, const float* const* table, bool forward) {
    if (forward)
        largeStage<AvxLanes, true>(data, n, m, table);
    else
        largeStage<AvxLanes, false>(data, n, m, table);
}

void fft_detail::blockPassAvx(float* data, const fft_detail::BlockBatch& batch, const float* const* table,
                              bool forward) {
    if (forward)
        blockPass<AvxLanes, true>(data, batch, table);
    else
        blockPass<AvxLanes, false>(data, batch, table);
}
#endif
