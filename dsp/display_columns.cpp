// Analyser columns: log-spaced bins from bin 6 upward, smoothed level, falling peak, phase and magnitude.
// Four columns at a time (SSE2). The logarithm and the arc tangents are polynomial forms good to a few
// units in the last place: the columns are drawn, never heard, and libm calls per column cost more than
// the transforms of a block.
#include <algorithm>
#include <cmath>
#include <iterator>

#include <emmintrin.h>

#include "dsp/audio_path.h"

namespace {

constexpr int kN = spectral::kFrameLength;
constexpr int kNyquist = kN / 2;

// Where each column reads: pos = 6 x 1.0135^k in single precision, its two bins and the fraction. The bins
// that some column reads (under half of those up to Nyquist) are read once each, into slots: first every bin
// that is some column's upper one, Nyquist among them, then the rest; each part is padded to a multiple of
// four with its last bin. The phase depends on the upper bin only, so it is worked out per slot of the first
// part (about half as many as there are columns).
struct ColumnPlaces {
    static constexpr int kMaxReads = kNyquist + 8; // each bin once, and the padding
    int lowerSlot[kDisplayColumns];
    int upperSlot[kDisplayColumns];
    alignas(16) float frac[kDisplayColumns];
    alignas(16) float tilt[kDisplayColumns];          // 0.48 k
    alignas(16) float magnitudeGain[kDisplayColumns]; // 1 + k / 3
    int re[kMaxReads], im[kMaxReads];                 // where each slot reads Re and Im
    int readCount = 0, upperCount = 0, nyquistSlot = 0;
    ColumnPlaces() {
        int lower[kDisplayColumns], upper[kDisplayColumns];
        float pos = 6.0f;
        for (int k = 0; k < kDisplayColumns; ++k, pos *= 1.0135f) {
            const int i = static_cast<int>(pos);
            frac[k] = pos - static_cast<float>(i);
            lower[k] = std::min(i - 1, kNyquist);
            upper[k] = std::min(i, kNyquist);
            tilt[k] = 0.48f * static_cast<float>(k);
            magnitudeGain[k] = 1.0f + static_cast<float>(k) / 3.0f;
        }
        int slotOf[kNyquist + 1];
        std::fill(std::begin(slotOf), std::end(slotOf), -1);
        const auto list = [&](const int* columnBins) {
            bool read[kNyquist + 1] = {};
            for (int k = 0; k < kDisplayColumns; ++k)
                read[columnBins[k]] = true;
            for (int bin = 0; bin <= kNyquist; ++bin)
                if (read[bin] && slotOf[bin] < 0) slotOf[bin] = add(bin);
            while (readCount % 4 != 0)
                add(re[readCount - 1]);
        };
        list(upper);
        upperCount = readCount;
        list(lower);
        nyquistSlot = slotOf[kNyquist];
        for (int k = 0; k < kDisplayColumns; ++k)
            lowerSlot[k] = slotOf[lower[k]], upperSlot[k] = slotOf[upper[k]];
    }
    int add(int bin) {
        re[readCount] = bin;
        im[readCount] = bin == kNyquist ? kNyquist : kN - bin;
        return readCount++;
    }
};
const ColumnPlaces places;

inline __m128 splat(float v) {
    return _mm_set1_ps(v);
}
inline __m128 select(__m128 mask, __m128 ifTrue, __m128 ifFalse) {
    return _mm_or_ps(_mm_and_ps(mask, ifTrue), _mm_andnot_ps(mask, ifFalse));
}

// Natural logarithm of positive normal x: x = 2^e m with m in [sqrt(1/2), sqrt(2)), then a polynomial.
inline __m128 logPositive(__m128 x) {
    const __m128i bits = _mm_castps_si128(x);
    __m128i exponent = _mm_sub_epi32(_mm_srli_epi32(bits, 23), _mm_set1_epi32(127));
    __m128 m = _mm_castsi128_ps(
        _mm_or_si128(_mm_and_si128(bits, _mm_set1_epi32(0x007FFFFF)), _mm_set1_epi32(0x3F800000)));
    const __m128 big = _mm_cmpgt_ps(m, splat(1.41421356f));
    m = select(big, _mm_mul_ps(m, splat(0.5f)), m);
    exponent = _mm_sub_epi32(exponent, _mm_castps_si128(big)); // big is all ones: minus -1
    const __m128 e = _mm_cvtepi32_ps(exponent);
    const __m128 t = _mm_sub_ps(m, splat(1.0f));
    const __m128 t2 = _mm_mul_ps(t, t);
    __m128 p = splat(7.0376836292e-2f);
    for (float c : {-1.1514610310e-1f, 1.1676998740e-1f, -1.2420140846e-1f, 1.4249322787e-1f,
                    -1.6668057665e-1f, 2.0000714765e-1f, -2.4999993993e-1f, 3.3333331174e-1f})
        p = _mm_add_ps(_mm_mul_ps(p, t), splat(c));
    p = _mm_mul_ps(_mm_mul_ps(p, t), t2);
    p = _mm_sub_ps(p, _mm_mul_ps(t2, splat(0.5f)));
    // ln 2 in two parts, so that e ln 2 adds little rounding.
    p = _mm_add_ps(p, _mm_mul_ps(e, splat(-2.12194440e-4f)));
    return _mm_add_ps(_mm_add_ps(t, p), _mm_mul_ps(e, splat(0.693359375f)));
}

// atan2(y, x) for finite inputs, not both zero.
inline __m128 arcTangent2(__m128 y, __m128 x) {
    const __m128 sign = splat(-0.0f);
    const __m128 ax = _mm_andnot_ps(sign, x), ay = _mm_andnot_ps(sign, y);
    const __m128 steep = _mm_cmpgt_ps(ay, ax);
    __m128 t = _mm_div_ps(_mm_min_ps(ax, ay), _mm_max_ps(ax, ay)); // 0..1
    const __m128 beyond = _mm_cmpgt_ps(t, splat(0.41421356f));     // tan(pi/8)
    t = select(beyond, _mm_div_ps(_mm_sub_ps(t, splat(1.0f)), _mm_add_ps(t, splat(1.0f))), t);
    const __m128 z = _mm_mul_ps(t, t);
    __m128 p = splat(8.05374449538e-2f);
    for (float c : {-1.38776856032e-1f, 1.99777106478e-1f, -3.33329491539e-1f})
        p = _mm_add_ps(_mm_mul_ps(p, z), splat(c));
    __m128 r = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(p, z), t), t);
    r = _mm_add_ps(r, _mm_and_ps(beyond, splat(0.785398163f)));
    r = select(steep, _mm_sub_ps(splat(1.570796327f), r), r);
    r = select(_mm_cmplt_ps(x, _mm_setzero_ps()), _mm_sub_ps(splat(3.141592654f), r), r);
    return _mm_or_ps(r, _mm_and_ps(y, sign));
}

inline __m128 gather(const float* values, const int* at) {
    return _mm_setr_ps(values[at[0]], values[at[1]], values[at[2]], values[at[3]]);
}

// Per read slot: |X_b| of both channels and their sum (Nyquist: sqrt 2 |X|), and for the upper slots the
// phase difference the columns show.
struct SlotValues {
    alignas(16) float magL[ColumnPlaces::kMaxReads], magR[ColumnPlaces::kMaxReads];
    alignas(16) float sum[ColumnPlaces::kMaxReads], phase[ColumnPlaces::kMaxReads];

    SlotValues(const float* left, const float* right) {
        const auto magnitude = [](const float* spectrum, int j) {
            const __m128 r = gather(spectrum, places.re + j), i = gather(spectrum, places.im + j);
            return _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(r, r), _mm_mul_ps(i, i)));
        };
        for (int j = 0; j < places.readCount; j += 4) {
            const __m128 l = magnitude(left, j), r = magnitude(right, j);
            _mm_store_ps(magL + j, l), _mm_store_ps(magR + j, r), _mm_store_ps(sum + j, _mm_add_ps(l, r));
        }
        const int n = places.nyquistSlot;
        magL[n] = std::sqrt(2.0f) * std::fabs(left[kNyquist]);
        magR[n] = std::sqrt(2.0f) * std::fabs(right[kNyquist]);
        sum[n] = magL[n] + magR[n];

        const __m128 quiet = splat(1e-6f);
        for (int j = 0; j < places.upperCount; j += 4) {
            const __m128 quietL = _mm_cmplt_ps(_mm_load_ps(magL + j), quiet),
                         quietR = _mm_cmplt_ps(_mm_load_ps(magR + j), quiet);
            __m128 difference =
                _mm_sub_ps(arcTangent2(gather(left, places.re + j), gather(left, places.im + j)),
                           arcTangent2(gather(right, places.re + j), gather(right, places.im + j)));
            difference = select(quietL, splat(1.57285f), difference);
            difference = select(quietR, splat(-1.57285f), difference);
            _mm_store_ps(phase + j, select(_mm_and_ps(quietL, quietR), _mm_setzero_ps(), difference));
        }
    }
};

} // namespace

// In short loops over arrays rather than one long one, so that the processor overlaps the columns: the
// logarithm and the arc tangents are long serial chains.
void AudioPath::updateDisplayColumns(const float* left, const float* right) {
    const SlotValues slots(left, right);

    alignas(16) float blended[kDisplayColumns];
    const __m128 tiny = splat(1e-8f), huge = splat(1e30f);
    for (int k = 0; k < kDisplayColumns; k += 4) {
        const __m128 a = gather(slots.sum, places.lowerSlot + k), b = gather(slots.sum, places.upperSlot + k);
        const __m128 frac = _mm_load_ps(places.frac + k);
        const __m128 blend =
            _mm_max_ps(_mm_add_ps(_mm_mul_ps(a, _mm_sub_ps(splat(1.0f), frac)), _mm_mul_ps(b, frac)), tiny);
        // An overflowed spectrum must not leave the smoothed level infinite for good (NaN included).
        _mm_store_ps(blended + k, select(_mm_cmple_ps(blend, huge), blend, huge));
    }

    alignas(16) float levels[kDisplayColumns], peaks[kDisplayColumns];
    for (int k = 0; k < kDisplayColumns; k += 4) {
        const __m128 smooth = _mm_add_ps(
            _mm_mul_ps(splat(0.8f), _mm_loadu_ps(feed.smoothLog + k)),
            _mm_mul_ps(_mm_mul_ps(logPositive(_mm_load_ps(blended + k)), splat(36.0f)), splat(-0.2f)));
        _mm_storeu_ps(feed.smoothLog + k, smooth);
        const __m128 level = _mm_sub_ps(_mm_sub_ps(smooth, _mm_load_ps(places.tilt + k)), splat(50.0f));
        _mm_store_ps(levels + k, _mm_min_ps(_mm_max_ps(level, _mm_setzero_ps()), splat(500.0f)));
    }

    for (int k = 0; k < kDisplayColumns; k += 4) {
        const auto peakAt = [&](int c) { return feed.peakDisp[k + c].load(std::memory_order_relaxed); };
        const __m128 peak = _mm_setr_ps(peakAt(0), peakAt(1), peakAt(2), peakAt(3));
        const __m128 level = _mm_load_ps(levels + k);
        const __m128 falling = _mm_add_ps(_mm_mul_ps(splat(0.99f), peak), _mm_mul_ps(splat(0.01f), level));
        _mm_store_ps(peaks + k, select(_mm_cmpgt_ps(level, peak), falling, level));
    }

    for (int k = 0; k < kDisplayColumns; ++k) {
        const int upper = places.upperSlot[k];
        feed.magDisp[k].store(places.magnitudeGain[k] * slots.sum[upper], std::memory_order_relaxed);
        feed.levelDisp[k].store(levels[k], std::memory_order_relaxed);
        feed.peakDisp[k].store(peaks[k], std::memory_order_relaxed);
        feed.phaseDisp[k].store(slots.phase[upper], std::memory_order_relaxed);
    }
}
