// The punch wavefront with the whole chain in sixteen-lane registers. Built with AVX-512 (no fused
// multiply-add, so every lane keeps its rounding) and called only when the processor has it.
#include "dsp/punch.h"

#if defined(__AVX512F__)
// The compiler's own AVX-512 header starts registers from an undefined value, which its flow analysis
// reports as uninitialised.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kLanes = 16;
constexpr int kPlaces = 2 * kMaxPunchSections + 2; // chain positions: inputs 0, 1, outputs 2..

// The lanes of register j among the chain positions [from, to).
inline __mmask16 lanesBetween(int32_t from, int32_t to, int j) {
    const int32_t low = std::max(from - kLanes * j, 0), high = std::min(to - kLanes * j, kLanes);
    return high <= low ? 0 : static_cast<__mmask16>(((1u << high) - 1) & ~((1u << low) - 1));
}

// Registers x[j]: chain positions 16 j ..; m[j]: at position p, the input last seen by the section whose
// output is p (lastIn[p - 2]). A step computes every new value from the old ones, as the wavefront in
// memory does going downwards.
template <int V>
void runInRegisters(float* chain, float* lastIn, float* left, float* right, int32_t n, int32_t sections,
                    float c) {
    alignas(64) float places[V * kLanes] = {}, remembered[V * kLanes] = {};
    std::memcpy(places, chain, sizeof(float) * static_cast<size_t>(2 * sections + 2));
    std::memcpy(remembered + 2, lastIn, sizeof(float) * static_cast<size_t>(2 * sections));
    __m512 x[V], m[V];
    for (int j = 0; j < V; ++j)
        x[j] = _mm512_load_ps(places + kLanes * j), m[j] = _mm512_load_ps(remembered + kLanes * j);
    const __m512 cs = _mm512_set1_ps(c);
    const int32_t outAt = 2 * sections, outRegister = outAt / kLanes;
    const __m512i outLanes = _mm512_set1_epi32(outAt % kLanes);
    const int32_t steps = n + sections - 1;
    for (int32_t s = 0; s < steps; ++s) {
        if (s < n)
            x[0] = _mm512_mask_mov_ps(x[0], 3, _mm512_castps128_ps512(_mm_setr_ps(left[s], right[s], 0, 0)));
        // Sections above s have not reached this block yet; those below s - n + 1 have finished it.
        const int32_t first = s < n ? 0 : s - n + 1;
        const int32_t last = s < sections ? s : sections - 1;
        __m512 below = _mm512_setzero_ps();
        for (int j = 0; j < V; ++j) {
            const __m512 previous = below;
            below = x[j];
            // Registers with no section at work (while the block enters and leaves the chain) are skipped,
            // so small host blocks cost little more per sample than large ones.
            const __mmask16 active = lanesBetween(2 * first + 2, 2 * last + 4, j);
            if (active == 0) continue;
            const __m512 in = _mm512_castsi512_ps(
                _mm512_alignr_epi32(_mm512_castps_si512(x[j]), _mm512_castps_si512(previous), kLanes - 2));
            x[j] = _mm512_mask_mov_ps(x[j], active,
                                      _mm512_add_ps(_mm512_mul_ps(_mm512_sub_ps(x[j], in), cs), m[j]));
            m[j] = _mm512_mask_mov_ps(m[j], active, in);
        }
        if (s >= sections - 1) {
            __m512 out = x[0];
            for (int j = 1; j < V; ++j)
                if (j == outRegister) out = x[j];
            const __m128 pair = _mm512_castps512_ps128(_mm512_permutexvar_ps(
                _mm512_add_epi32(outLanes, _mm512_setr_epi32(0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)),
                out));
            left[s - sections + 1] = _mm_cvtss_f32(pair);
            right[s - sections + 1] = _mm_cvtss_f32(_mm_shuffle_ps(pair, pair, 1));
        }
    }
    for (int j = 0; j < V; ++j)
        _mm512_store_ps(places + kLanes * j, x[j]), _mm512_store_ps(remembered + kLanes * j, m[j]);
    std::memcpy(chain, places, sizeof(float) * static_cast<size_t>(2 * sections + 2));
    std::memcpy(lastIn, remembered + 2, sizeof(float) * static_cast<size_t>(2 * sections));
}

} // namespace

void Punch::runWavefrontAvx512(float* chain, float* lastIn, float* left, float* right, int32_t n,
                               int32_t sections, float c) {
    static_assert(kPlaces <= 7 * kLanes, "the chain fits seven registers");
    using Run = void (*)(float*, float*, float*, float*, int32_t, int32_t, float);
    static constexpr Run kRuns[] = {runInRegisters<1>, runInRegisters<2>, runInRegisters<3>,
                                    runInRegisters<4>, runInRegisters<5>, runInRegisters<6>,
                                    runInRegisters<7>};
    kRuns[(2 * sections + 2 + kLanes - 1) / kLanes - 1](chain, lastIn, left, right, n, sections, c);
}
#endif
