// The split-radix butterflies, written once for one float or a vector of lanes, and the loop of the large
// stages over any lane width. Names follow the published indices: the corner acts on i1..i4 of a group, the
// middle on the same positions shifted by m/8, the twiddled butterfly on i1..i8 of its j.
// Included by each instruction-set variant of the transform; the unnamed namespace keeps every variant's
// copy its own.
#pragma once

#include <algorithm>
#include <cstdint>

#include "dsp/fft.h"

namespace {

constexpr float kSqrt2 = 1.4142135f;

// (a, b) -> (a + b, a - b): the butterflies left at length two.
template <typename T> inline void pairButterfly(T& a, T& b) {
    const T first = a;
    a = first + b;
    b = first - b;
}

template <typename T> inline void forwardCorner(T& d1, T& d3, T& d4) {
    const T t1 = d4 + d3;
    d4 = d4 - d3;
    d3 = d1 - t1;
    d1 = d1 + t1;
}

template <typename T> inline void forwardMiddle(T& d0, T& d2, T& d3, T& d4) {
    const T t1 = (d3 + d4) / kSqrt2;
    const T t2 = (d3 - d4) / kSqrt2;
    d4 = d2 - t1;
    d3 = -d2 - t1;
    d2 = d0 - t2;
    d0 = d0 + t2;
}

template <typename T, typename W>
inline void forwardTwiddled(T& d1, T& d2, T& d3, T& d4, T& d5, T& d6, T& d7, T& d8, W cc1, W ss1, W cc3,
                            W ss3) {
    const T t1 = d3 * cc1 + d7 * ss1;
    const T t2 = d7 * cc1 - d3 * ss1;
    const T u3 = d4 * cc3 + d8 * ss3;
    const T u4 = d8 * cc3 - d4 * ss3;
    const T t5 = t1 + u3;
    const T t6 = t2 + u4;
    const T t3 = t1 - u3;
    const T t4 = t2 - u4;
    d8 = d6 + t6;
    d3 = t6 - d6;
    d7 = -d2 - t3;
    d4 = d2 - t3;
    d6 = d1 - t5;
    d1 = d1 + t5;
    d2 = d5 + t4;
    d5 = d5 - t4;
}

template <typename T> inline void inverseCorner(T& d1, T& d2, T& d3, T& d4) {
    const T t1 = d1 - d3;
    d1 = d1 + d3;
    d2 = d2 * 2.0f;
    d3 = t1 - 2.0f * d4;
    d4 = t1 + 2.0f * d4;
}

template <typename T> inline void inverseMiddle(T& d0, T& d2, T& d3, T& d4) {
    const T t1 = (d2 - d0) / kSqrt2;
    const T t2 = (d4 + d3) / kSqrt2;
    d0 = d0 + d2;
    d2 = d4 - d3;
    d3 = 2.0f * (-t2 - t1);
    d4 = 2.0f * (-t2 + t1);
}

template <typename T, typename W>
inline void inverseTwiddled(T& d1, T& d2, T& d3, T& d4, T& d5, T& d6, T& d7, T& d8, W cc1, W ss1, W cc3,
                            W ss3) {
    T t1 = d1 - d6;
    d1 = d1 + d6;
    T t2 = d5 - d2;
    d5 = d5 + d2;
    const T t3 = d8 + d3;
    d6 = d8 - d3;
    T t4 = d4 + d7;
    d2 = d4 - d7;
    const T t5 = t1 - t4;
    t1 = t1 + t4;
    t4 = t2 - t3;
    t2 = t2 + t3;
    d3 = t5 * cc1 + t4 * ss1;
    d7 = -t4 * cc1 + t5 * ss1;
    d4 = t1 * cc3 - t2 * ss3;
    d8 = t2 * cc3 + t1 * ss3;
}

// Calls visit(group) for every L-shaped group of stage length m, in the published order.
template <typename Visit> inline void forEachGroup(int64_t n, int64_t m, Visit visit) {
    int64_t start = 0;
    int64_t step = m << 1;
    do {
        for (int64_t group = start; group < n; group += step)
            visit(group);
        step <<= 1;
        start = step - m;
        step <<= 1;
    } while (start < n);
}

// A stage whose m/8 is a multiple of the lane width, one group at a time, twiddled butterflies Lanes::kWidth
// j at a time. The i1 side runs up through the group and the i5 side down, so the i5 side is loaded and
// stored lane-reversed. The last block of lanes reaches j = m/8 + 1, whose positions on both sides are the
// middle butterfly's: that one is computed in the same lanes from the old values and takes their place.
// isScaled (the forward's last stage) multiplies every point by 1/n as it is stored, as the scalar form
// does after the stage: the only group covers all n points, and its corner leaves p[m/4] as it is.
// table[0..3]: cos a, sin a, cos 3a, sin 3a of twiddle j of stage m at index m/8 + j - 2.
template <typename Lanes, bool isForward, bool isScaled = false>
void largeStage(float* data, int64_t n, int64_t m, const float* const* table) {
    if constexpr (isForward && !isScaled)
        if (m == n) return largeStage<Lanes, true, true>(data, n, m, table);
    using V = typename Lanes::Vector;
    constexpr int64_t width = Lanes::kWidth;
    const int64_t m4 = m >> 2;
    const int64_t m8 = m >> 3;
    const float scale = 1.0f / static_cast<float>(n);
    const auto out = [scale](auto v) {
        if constexpr (isScaled) v = v * scale;
        return v;
    };
    forEachGroup(n, m, [&](int64_t g) {
        float* p = data + g;
        if (isForward)
            forwardCorner(p[0], p[2 * m4], p[3 * m4]);
        else
            inverseCorner(p[0], p[m4], p[2 * m4], p[3 * m4]);
        if constexpr (isScaled)
            for (int q = 0; q < 4; ++q)
                p[q * m4] *= scale;
        for (int64_t j = 2; j <= m8; j += width) {
            const int64_t up = j - 1;                // i1 of the first lane
            const int64_t down = m4 - j - width + 2; // i5 of the last lane
            V d1 = Lanes::load(p + up), d2 = Lanes::load(p + up + m4);
            V d3 = Lanes::load(p + up + 2 * m4), d4 = Lanes::load(p + up + 3 * m4);
            V d5 = Lanes::loadReversed(p + down), d6 = Lanes::loadReversed(p + down + m4);
            V d7 = Lanes::loadReversed(p + down + 2 * m4), d8 = Lanes::loadReversed(p + down + 3 * m4);
            V middle[4] = {d1, d2, d3, d4};
            const int64_t at = m8 + j - 2;
            const V cc1 = Lanes::load(table[0] + at), ss1 = Lanes::load(table[1] + at);
            const V cc3 = Lanes::load(table[2] + at), ss3 = Lanes::load(table[3] + at);
            if (isForward)
                forwardTwiddled(d1, d2, d3, d4, d5, d6, d7, d8, cc1, ss1, cc3, ss3);
            else
                inverseTwiddled(d1, d2, d3, d4, d5, d6, d7, d8, cc1, ss1, cc3, ss3);
            if (j + width > m8) { // the spare lane on both sides: the middle butterfly, from the old values
                if (isForward)
                    forwardMiddle(middle[0], middle[1], middle[2], middle[3]);
                else
                    inverseMiddle(middle[0], middle[1], middle[2], middle[3]);
                d1 = Lanes::withLast(d1, middle[0]), d5 = Lanes::withLast(d5, middle[0]);
                d2 = Lanes::withLast(d2, middle[1]), d6 = Lanes::withLast(d6, middle[1]);
                d3 = Lanes::withLast(d3, middle[2]), d7 = Lanes::withLast(d7, middle[2]);
                d4 = Lanes::withLast(d4, middle[3]), d8 = Lanes::withLast(d8, middle[3]);
            }
            Lanes::store(p + up, out(d1)), Lanes::store(p + up + m4, out(d2));
            Lanes::store(p + up + 2 * m4, out(d3)), Lanes::store(p + up + 3 * m4, out(d4));
            Lanes::storeReversed(p + down, out(d5)), Lanes::storeReversed(p + down + m4, out(d6));
            Lanes::storeReversed(p + down + 2 * m4, out(d7)),
                Lanes::storeReversed(p + down + 3 * m4, out(d8));
        }
    });
}

// Stage M on one group, d holding groups as columns.
template <int M, bool isForward, typename T> inline void smallStageColumns(T* d, const float* const* table) {
    constexpr int m4 = M / 4, m8 = M / 8;
    if constexpr (isForward) {
        forwardCorner(d[0], d[2 * m4], d[3 * m4]);
        if constexpr (m8 > 0) forwardMiddle(d[m8], d[m8 + m4], d[m8 + 2 * m4], d[m8 + 3 * m4]);
    } else {
        inverseCorner(d[0], d[m4], d[2 * m4], d[3 * m4]);
        if constexpr (m8 > 0) inverseMiddle(d[m8], d[m8 + m4], d[m8 + 2 * m4], d[m8 + 3 * m4]);
    }
    for (int j = 2; j <= m8; ++j) {
        const int i1 = j - 1, i5 = m4 - j + 1, at = m8 + j - 2;
        const float cc1 = table[0][at], ss1 = table[1][at], cc3 = table[2][at], ss3 = table[3][at];
        if constexpr (isForward)
            forwardTwiddled(d[i1], d[i1 + m4], d[i1 + 2 * m4], d[i1 + 3 * m4], d[i5], d[i5 + m4],
                            d[i5 + 2 * m4], d[i5 + 3 * m4], cc1, ss1, cc3, ss3);
        else
            inverseTwiddled(d[i1], d[i1 + m4], d[i1 + 2 * m4], d[i1 + 3 * m4], d[i5], d[i5 + m4],
                            d[i5 + 2 * m4], d[i5 + 3 * m4], cc1, ss1, cc3, ss3);
    }
}

// Everything from the second length-two pass to stage 16 on one 16-point block, in the scalar form's order
// per point: a whole 16-point transform, or (isWhole false) two 8-point ones.
template <bool isForward, bool isWhole, typename T> inline void blockStages(T* d, const float* const* table) {
    if constexpr (isForward) {
        pairButterfly(d[6], d[7]);
        if constexpr (!isWhole) pairButterfly(d[14], d[15]);
        smallStageColumns<4, true>(d, table), smallStageColumns<4, true>(d + 8, table);
        if constexpr (isWhole) {
            smallStageColumns<4, true>(d + 12, table);
            smallStageColumns<8, true>(d, table), smallStageColumns<16, true>(d, table);
        } else {
            smallStageColumns<8, true>(d, table), smallStageColumns<8, true>(d + 8, table);
        }
    } else {
        if constexpr (isWhole) {
            smallStageColumns<16, false>(d, table), smallStageColumns<8, false>(d, table);
            smallStageColumns<4, false>(d + 12, table);
        } else {
            smallStageColumns<8, false>(d, table), smallStageColumns<8, false>(d + 8, table);
        }
        smallStageColumns<4, false>(d, table), smallStageColumns<4, false>(d + 8, table);
        pairButterfly(d[6], d[7]);
        if constexpr (!isWhole) pairButterfly(d[14], d[15]);
    }
}

// Stages up to 16 on 16-point blocks, and for kind 1 stage 32 over each pair of them, Lanes::kWidth blocks
// at a time as columns, transposed in and out once. A short last batch repeats its last block: the repeated
// lanes compute and store the same values.
template <typename Lanes, bool isForward, int kind>
void blockPassOf(float* data, const fft_detail::BlockBatch& batch, const float* const* table) {
    using V = typename Lanes::Vector;
    constexpr int width = Lanes::kWidth, points = 16 << kind;
    const float scale = 1.0f / 32.0f;
    for (int k = 0; k < batch.count; k += width) {
        float* p[width];
        for (int lane = 0; lane < width; ++lane)
            p[lane] = data + batch.starts[std::min(k + lane, batch.count - 1)];
        V d[points];
        for (int q = 0; q < points; q += 4) {
            for (int row = 0; row < 4; ++row)
                d[q + row] = Lanes::loadRow(p, row, q);
            Lanes::transpose(d + q);
        }
        if constexpr (kind == 0) {
            blockStages<isForward, true>(d, table);
        } else {
            if constexpr (!isForward) smallStageColumns<32, false>(d, table);
            blockStages<isForward, true>(d, table), blockStages<isForward, false>(d + 16, table);
            if constexpr (isForward) smallStageColumns<32, true>(d, table);
        }
        for (int q = 0; q < points; q += 4) {
            Lanes::transpose(d + q);
            for (int row = 0; row < 4; ++row)
                Lanes::storeRow(p, row, q, batch.scaled ? d[q + row] * scale : d[q + row]);
        }
    }
}

template <typename Lanes, bool isForward>
void blockPass(float* data, const fft_detail::BlockBatch& batch, const float* const* table) {
    if (batch.kind == 0)
        blockPassOf<Lanes, isForward, 0>(data, batch, table);
    else
        blockPassOf<Lanes, isForward, 1>(data, batch, table);
}

} // namespace
