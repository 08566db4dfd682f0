// Real-valued split-radix FFT after Sorensen, Jones, Heideman and Burrus (IEEE ASSP-35, 1987).
// Forward twiddles come from the polynomial sine and cosine, inverse twiddles from libm.
//
// Two forms compute every output with the same operations in the same order, so they agree bit for bit:
// the scalar form below, and a vector form for 32..2048 points that runs independent butterflies four or
// eight at a time and takes its twiddles and block lists from tables filled once at load.
#include "dsp/fft.h"

#include <algorithm>
#include <cmath>

#include "dsp/cpu_features.h"
#include "dsp/fast_trig.h"
#include "dsp/fft_butterflies.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool isPowerOfTwo(int64_t n) {
    return n >= 1 && (n & (n - 1)) == 0;
}

// The pairs the split-radix pattern leaves at length two.
void lengthTwoButterflies(float* data, int64_t n) {
    const int64_t last = n - 1;
    int64_t start = 0;
    int64_t step = 4;
    while (start < last) {
        for (int64_t s = start; s < last; s += step)
            pairButterfly(data[s], data[s + 1]);
        step <<= 1;
        start = step - 2;
        step <<= 1;
    }
}

void bitReverse(float* data, int64_t n) {
    const int64_t half = n / 2;
    int64_t j = 0;
    for (int64_t i = 0; i < n - 1; ++i) {
        if (i < j) std::swap(data[i], data[j]);
        int64_t k = half;
        while (k <= j) {
            j -= k;
            k >>= 1;
        }
        j += k;
    }
}

struct Twiddle {
    float cc1, ss1, cc3, ss3;
};

// Twiddle j of stage m from the published angle (j - 1) 2 pi / m, by the given sine and cosine.
template <typename Cos, typename Sin> inline Twiddle twiddle(int64_t m, int64_t j, Cos cosine, Sin sine) {
    const float e = 6.2831855f / static_cast<float>(m);
    const float a = static_cast<float>(j - 1) * e;
    const float a3 = 3.0f * a;
    return {cosine(a), sine(a), cosine(a3), sine(a3)};
}

float libmCos(float a) {
    return std::cos(a);
}
float libmSin(float a) {
    return std::sin(a);
}

} // namespace

namespace fft_detail {

void realfftScalar(float* data, int64_t n) {
    if (!isPowerOfTwo(n)) return;
    bitReverse(data, n);
    lengthTwoButterflies(data, n);
    for (int64_t m = 4; m <= n; m <<= 1) {
        const int64_t m4 = m >> 2;
        const int64_t m8 = m >> 3;
        forEachGroup(n, m, [&](int64_t g) {
            forwardCorner(data[g], data[g + 2 * m4], data[g + 3 * m4]);
            if (m4 != 1) {
                const int64_t i0 = g + m8;
                forwardMiddle(data[i0], data[i0 + m4], data[i0 + 2 * m4], data[i0 + 3 * m4]);
            }
        });
        for (int64_t j = 2; j <= m8; ++j) {
            const Twiddle w = twiddle(m, j, fastCos, fastSin);
            forEachGroup(n, m, [&](int64_t g) {
                const int64_t i1 = g + j - 1;
                const int64_t i5 = g + m4 - j + 1;
                forwardTwiddled(data[i1], data[i1 + m4], data[i1 + 2 * m4], data[i1 + 3 * m4], data[i5],
                                data[i5 + m4], data[i5 + 2 * m4], data[i5 + 3 * m4], w.cc1, w.ss1, w.cc3,
                                w.ss3);
            });
        }
    }
    // n is a power of two, so multiplying by 1/n rounds exactly as dividing by n.
    const float scale = 1.0f / static_cast<float>(n);
    for (int64_t i = 0; i < n; ++i)
        data[i] *= scale;
}

void irealfftScalar(float* data, int64_t n) {
    if (!isPowerOfTwo(n)) return;
    for (int64_t m = n; m >= 4; m >>= 1) {
        const int64_t m4 = m >> 2;
        const int64_t m8 = m >> 3;
        forEachGroup(n, m, [&](int64_t g) {
            inverseCorner(data[g], data[g + m4], data[g + 2 * m4], data[g + 3 * m4]);
            if (m4 != 1) {
                const int64_t i0 = g + m8;
                inverseMiddle(data[i0], data[i0 + m4], data[i0 + 2 * m4], data[i0 + 3 * m4]);
            }
        });
        for (int64_t j = 2; j <= m8; ++j) {
            const Twiddle w = twiddle(m, j, libmCos, libmSin);
            forEachGroup(n, m, [&](int64_t g) {
                const int64_t i1 = g + j - 1;
                const int64_t i5 = g + m4 - j + 1;
                inverseTwiddled(data[i1], data[i1 + m4], data[i1 + 2 * m4], data[i1 + 3 * m4], data[i5],
                                data[i5 + m4], data[i5 + 2 * m4], data[i5 + 3 * m4], w.cc1, w.ss1, w.cc3,
                                w.ss3);
            });
        }
    }
    lengthTwoButterflies(data, n);
    bitReverse(data, n);
}

} // namespace fft_detail

#if defined(__SSE2__)
namespace {

constexpr int64_t kLargestVectorCount = 2048;
constexpr int kLog2Largest = 11;
constexpr int64_t kSmallestVectorCount = 32;

constexpr int kBlocks = kLargestVectorCount / 16;
using TwiddleTable = float[4][kLargestVectorCount / 4];

// Everything the vector form needs, filled once at load, off the audio thread.
struct Tables {
    // Twiddle j of stage m at index m/8 + j - 2 (stages do not overlap); lanes past m/8 are unused.
    alignas(32) TwiddleTable forward;
    alignas(32) TwiddleTable inverse;
    const float* forwardRows[4] = {forward[0], forward[1], forward[2], forward[3]};
    const float* inverseRows[4] = {inverse[0], inverse[1], inverse[2], inverse[3]};
    // For the permutation's 4 x 4 blocks of 2^logN points: the blocks b equal to their reversal r, then the
    // pairs b < r, as (b, r); counts of each.
    uint8_t blockPairs[kLog2Largest + 1][kBlocks][2];
    int selfPairCount[kLog2Largest + 1], pairCount[kLog2Largest + 1];
    // Starts of the 16-point blocks outside the groups of stage 32 (kind 0) and of those groups (kind 1),
    // ascending for 2048 points; a shorter transform uses a prefix of each.
    uint16_t blockStarts[2][kBlocks];
    int blockCount[2][kLog2Largest + 1];

    Tables() {
        for (int64_t m = 16; m <= kLargestVectorCount; m <<= 1) {
            for (int64_t j = 2; j <= m / 8; ++j) {
                const int64_t at = m / 8 + j - 2;
                const Twiddle f = twiddle(m, j, fastCos, fastSin);
                const Twiddle i = twiddle(m, j, libmCos, libmSin);
                forward[0][at] = f.cc1, forward[1][at] = f.ss1, forward[2][at] = f.cc3,
                forward[3][at] = f.ss3;
                inverse[0][at] = i.cc1, inverse[1][at] = i.ss1, inverse[2][at] = i.cc3,
                inverse[3][at] = i.ss3;
            }
        }
        for (int logN = 4; logN <= kLog2Largest; ++logN) {
            int count = 0;
            for (bool self : {true, false}) {
                for (int b = 0; b < (1 << logN) / 16; ++b) {
                    int r = 0;
                    for (int bit = 0; bit < logN - 4; ++bit)
                        r |= ((b >> bit) & 1) << (logN - 5 - bit);
                    if (self ? r != b : r <= b) continue;
                    blockPairs[logN][count][0] = static_cast<uint8_t>(b);
                    blockPairs[logN][count++][1] = static_cast<uint8_t>(r);
                }
                (self ? selfPairCount : pairCount)[logN] = count;
            }
        }
        // Every 16-point block gets the length-two pairs and stages 4, 8 and 16 as a whole 16-point
        // transform, or as two 8-point ones where it is the second half of a stage-32 group.
        bool inStage32[kBlocks / 2] = {};
        forEachGroup(kLargestVectorCount, 32, [&](int64_t g) { inStage32[g / 32] = true; });
        int filled[2] = {0, 0};
        for (int b = 0; b < kBlocks; ++b) {
            if (!inStage32[b / 2]) blockStarts[0][filled[0]++] = static_cast<uint16_t>(16 * b);
            if (inStage32[b / 2] && b % 2 == 0) blockStarts[1][filled[1]++] = static_cast<uint16_t>(16 * b);
        }
        for (int kind = 0; kind < 2; ++kind)
            for (int logN = 0; logN <= kLog2Largest; ++logN)
                blockCount[kind][logN] = static_cast<int>(
                    std::lower_bound(blockStarts[kind], blockStarts[kind] + filled[kind], 1 << logN) -
                    blockStarts[kind]);
    }
};
const Tables tables;

int log2Of(int64_t n) {
    return 63 - __builtin_clzll(static_cast<uint64_t>(n));
}

inline __m128 load(const float* p) {
    return _mm_loadu_ps(p);
}
inline void store(float* p, __m128 v) {
    _mm_storeu_ps(p, v);
}
inline __m128 reversed(__m128 v) {
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3));
}

struct SseLanes {
    using Vector = __m128;
    static constexpr int kWidth = 4;
    static __m128 load(const float* p) { return ::load(p); }
    static void store(float* p, __m128 v) { ::store(p, v); }
    static __m128 loadReversed(const float* p) { return reversed(::load(p)); }
    static void storeReversed(float* p, __m128 v) { ::store(p, reversed(v)); }
    static __m128 withLast(__m128 v, __m128 w) {
        return _mm_shuffle_ps(v, _mm_unpackhi_ps(v, w), _MM_SHUFFLE(3, 0, 1, 0));
    }
    // Four consecutive points q.. of block `row` of the batch.
    static __m128 loadRow(float* const* p, int row, int q) { return load(p[row] + q); }
    static void storeRow(float* const* p, int row, int q, __m128 v) { store(p[row] + q, v); }
    static void transpose(__m128* r) { _MM_TRANSPOSE4_PS(r[0], r[1], r[2], r[3]); }
};

// The permutation with the first length-two pass folded in, in 4 x 4 blocks. An index of n = 2^k points is
// (a: top 2 bits, b: k - 4 bits, c: low 2 bits) and moves to (rev c, rev b, rev a), so block (., b) is a
// transpose of block (., rev b). Within a source block, lanes c = 0 and 1 of one destination vector come
// from rows a = 0 and a = 2: the pairs of the first length-two pass (at multiples of 4).
template <bool isForward>
inline void permuteBlock(const float* data, int64_t quarter, int64_t from, __m128* out) {
    __m128 v0 = load(data + from), v1 = load(data + quarter + from);
    __m128 v2 = load(data + 2 * quarter + from), v3 = load(data + 3 * quarter + from);
    if (isForward) { // the pairs after the move: same lane of source rows 0 and 2
        const __m128 sum = _mm_add_ps(v0, v2), difference = _mm_sub_ps(v0, v2);
        v0 = sum, v2 = difference;
    }
    _MM_TRANSPOSE4_PS(v0, v2, v1, v3); // now v0..v3 are the destination rows 0..3
    if (!isForward) { // the pairs before the move: lanes 0 and 1 of a source row, now rows 0 and 2
        const __m128 sum = _mm_add_ps(v0, v2), difference = _mm_sub_ps(v0, v2);
        v0 = sum, v2 = difference;
    }
    out[0] = v0, out[1] = v1, out[2] = v2, out[3] = v3;
}

template <bool isForward> void permuteWithFirstPairs(float* data, int64_t n) {
    const int64_t quarter = n / 4;
    const int logN = log2Of(n);
    const uint8_t(*pairs)[2] = tables.blockPairs[logN];
    int k = 0;
    for (; k < tables.selfPairCount[logN]; ++k) {
        __m128 a[4];
        permuteBlock<isForward>(data, quarter, 4 * pairs[k][0], a);
        for (int row = 0; row < 4; ++row)
            store(data + row * quarter + 4 * pairs[k][0], a[row]);
    }
    for (; k < tables.pairCount[logN]; ++k) {
        const int64_t b = pairs[k][0], r = pairs[k][1];
        __m128 a[4], c[4];
        permuteBlock<isForward>(data, quarter, 4 * b, a);
        permuteBlock<isForward>(data, quarter, 4 * r, c);
        for (int row = 0; row < 4; ++row)
            store(data + row * quarter + 4 * r, a[row]), store(data + row * quarter + 4 * b, c[row]);
    }
}

VectorWidth vectorsInUse = widestVectors();

// The block pass (see blockPass) four blocks at a time, or eight where the processor has AVX. With 32
// points stage 32 is the last, so it stores scaled by 1/32 as the scalar form scales its result.
template <bool isForward, int kind> void runBlockPass(float* data, int logN) {
    const float* const* table = isForward ? tables.forwardRows : tables.inverseRows;
    const fft_detail::BlockBatch batch = {tables.blockStarts[kind], tables.blockCount[kind][logN], kind,
                                          isForward && kind == 1 && logN == 5};
#if defined(__x86_64__)
    if (vectorsInUse >= VectorWidth::Avx) return fft_detail::blockPassAvx(data, batch, table, isForward);
#endif
    blockPass<SseLanes, isForward>(data, batch, table);
}

// Stages from 64 points run eight lanes wide where the processor has AVX, and from 128 points sixteen lanes
// wide where it has AVX-512.
template <bool isForward> void runLargeStage(float* data, int64_t n, int64_t m) {
    const float* const* table = isForward ? tables.forwardRows : tables.inverseRows;
#if defined(__x86_64__)
    if (vectorsInUse == VectorWidth::Avx512 && m >= 128)
        return fft_detail::largeStageAvx512(data, n, m, table, isForward);
    if (vectorsInUse >= VectorWidth::Avx) return fft_detail::largeStageAvx(data, n, m, table, isForward);
#endif
    largeStage<SseLanes, isForward>(data, n, m, table);
}

bool servedByVectors(int64_t n) {
    return isPowerOfTwo(n) && n >= kSmallestVectorCount && n <= kLargestVectorCount;
}

} // namespace

VectorWidth fft_detail::useVectors(VectorWidth wanted) {
    vectorsInUse = vectorsUpTo(wanted);
    return vectorsInUse;
}

void realfft_split(float* data, int64_t n) {
    if (!servedByVectors(n)) return fft_detail::realfftScalar(data, n);
    const int logN = log2Of(n);
    permuteWithFirstPairs<true>(data, n);
    runBlockPass<true, 0>(data, logN);
    runBlockPass<true, 1>(data, logN);
    for (int64_t m = 64; m <= n; m <<= 1)
        runLargeStage<true>(data, n, m);
}

void irealfft_split(float* data, int64_t n) {
    if (!servedByVectors(n)) return fft_detail::irealfftScalar(data, n);
    const int logN = log2Of(n);
    for (int64_t m = n; m >= 64; m >>= 1)
        runLargeStage<false>(data, n, m);
    runBlockPass<false, 0>(data, logN);
    runBlockPass<false, 1>(data, logN);
    permuteWithFirstPairs<false>(data, n);
}
#else
VectorWidth fft_detail::useVectors(VectorWidth) {
    return VectorWidth::Sse2;
}

void realfft_split(float* data, int64_t n) {
    fft_detail::realfftScalar(data, n);
}
void irealfft_split(float* data, int64_t n) {
    fft_detail::irealfftScalar(data, n);
}
#endif
