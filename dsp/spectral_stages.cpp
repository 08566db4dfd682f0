// Spectral effects. Magnitude stages scale Re and Im by m'/m and rotations multiply by cached unit
// phasors; both equal the magnitude-and-angle form within single-precision error.
//
// The loops run four bins at a time (SSE2), or eight and sixteen where the processor has AVX and AVX-512
// (spectral_bins.h): Re of bins k..k+3 is one load, their Im one load read backwards from 2045 - k. Each bin
// gets the operations it would get alone, except the smoothing across bins, whose recurrence is evaluated
// eight bins per step (see smoothAcrossBins).
#include "dsp/spectral_stages.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <emmintrin.h>

#include "dsp/cpu_features.h"
#include "dsp/spectral_bins.h"

namespace spectral {
namespace {

VectorWidth vectorsInUse = widestVectors();

void scaleBin(float* spectrum, int k, float factor) {
    spectrum[k] *= factor;
    if (k > 0) spectrum[kFrameLength - k] *= factor;
}

// One-pole smoothing up and then down the bins, in place over values[0..1024]: y = keep y + take v.
// The recurrence is serial, so it is run eight bins per step (see Scan). This regroups the sums, so the
// result differs from the bin-by-bin form by a few units in the last place. Both channels go through one
// loop.
struct FourLanes {
    using V = __m128;
    static V splat(float v) { return _mm_set1_ps(v); }
    static V fourOf(const float* v) { return _mm_loadu_ps(v); }
    // Moved up by one or two lanes, zeros coming in.
    static V upOne(V v) { return _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(v), 4)); }
    static V upTwo(V v) { return _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(v), 8)); }
    static V last(V v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)); }
};

void smoothAcrossBins(float* a, float* b, float keep, float take) {
#if defined(__x86_64__)
    if (vectorsInUse >= VectorWidth::Avx) return smoothAcrossBinsAvx(a, b, keep, take);
#endif
    const Scan<FourLanes> scan(keep, take);
    a[kHalf] = a[kHalf - 1];
    b[kHalf] = b[kHalf - 1];
    __m128 carryA = splat(a[0]);
    __m128 carryB = splat(b[0]);
    for (int k = 0; k < kHalf; k += 8) {
        __m128 a1 = _mm_loadu_ps(a + k), a2 = _mm_loadu_ps(a + k + 4);
        __m128 b1 = _mm_loadu_ps(b + k), b2 = _mm_loadu_ps(b + k + 4);
        scan.step(a1, a2, carryA);
        scan.step(b1, b2, carryB);
        _mm_storeu_ps(a + k, a1), _mm_storeu_ps(a + k + 4, a2);
        _mm_storeu_ps(b + k, b1), _mm_storeu_ps(b + k + 4, b2);
    }
    // Down from bin 1024 to bin 1; bin 0 keeps its upward value.
    carryA = splat(a[kHalf]);
    carryB = splat(b[kHalf]);
    for (int k = kHalf - 3; k >= 1; k -= 8) {
        __m128 a1 = reversed(_mm_loadu_ps(a + k)), a2 = reversed(_mm_loadu_ps(a + k - 4));
        __m128 b1 = reversed(_mm_loadu_ps(b + k)), b2 = reversed(_mm_loadu_ps(b + k - 4));
        scan.step(a1, a2, carryA);
        scan.step(b1, b2, carryB);
        _mm_storeu_ps(a + k, reversed(a1)), _mm_storeu_ps(a + k - 4, reversed(a2));
        _mm_storeu_ps(b + k, reversed(b1)), _mm_storeu_ps(b + k - 4, reversed(b2));
    }
}

uint32_t bitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float squaredIndex(int k) {
    return static_cast<float>(k * k);
}

} // namespace

float warp(int k) {
    return k >= 10 ? 6.283185f * static_cast<float>(k - 5) : 6.283185f * 0.05f * squaredIndex(k);
}

float virtualSurroundDelta(float amount, int k) {
    // trunc(16 p) / 32 in float: no integer conversion, so any value is safe.
    const float q = std::trunc(16.0f * amount) / 32.0f;
    const float d =
        k >= 10 ? 3.1457f * amount * static_cast<float>(k - 5) : 3.1457f * amount * 0.05f * squaredIndex(k);
    return 0.5f * q * d;
}

float silkyDeltaLeft(float amount, int k) {
    return 0.75f * 3.1457f * amount * std::sin(warp(k) / 35.0f);
}

float silkyDeltaRight(float amount, int k) {
    return -0.75f * 3.1457f * amount * std::sin(warp(k) / 27.0f);
}

float diffuseCreamDelta(float amount, int k) {
    return 0.75f * 3.1457f * amount * std::sin(warp(k) * 0.03125f);
}

float toneGain(float tone, int k) {
    if (tone > 0.55f) {
        const float b = 4.0f * (tone - 0.5f) * (tone - 0.5f);
        const float n = k <= 4 ? 6.0f : static_cast<float>(k + 1);
        return (1.0f + 4.0f * b * std::log(n)) / (1.0f + 4.0f * b * std::log(16.0f));
    }
    if (tone < 0.45f) {
        const float a = 4.0f * (0.5f - tone) * (0.5f - tone);
        const float n = k <= 9 ? 11.0f : static_cast<float>(k + 1);
        return (1.0f + 12.0f * a) / (1.0f + 4.0f * a * std::log(n));
    }
    return 1.0f;
}

bool BinTable::needsRebuild(float value) {
    return !valid || bitsOf(value) != keyBits;
}

void BinTable::buildRotation(float value, float (*delta)(float, int)) {
    if (!needsRebuild(value)) return;
    cosDelta[0] = 1.0f;
    sinDelta[0] = 0.0f;
    for (int k = 1; k < kStageBins; ++k) {
        const float d = delta(value, k);
        cosDelta[k] = std::cos(d);
        sinDelta[k] = std::sin(d);
    }
    keyBits = bitsOf(value);
    valid = true;
    ++rebuilds;
}

void ToneTable::update(float tone) {
    if (valid && bitsOf(tone) == keyBits) return;
    for (int k = 0; k < kStageBins; ++k)
        gain[k] = toneGain(tone, k);
    keyBits = bitsOf(tone);
    valid = true;
    ++rebuilds;
}

void rotate(float* spectrum, const BinTable& table, float direction) {
    BinStages stages;
    stages.turn(table, direction);
    applyBinStages(spectrum, stages, nullptr);
}

namespace {

// Two bins per double register.
struct PeakFactorPairs {
    static __m128d pair(__m128 m, __m128 s, __m128 envelope) {
        return peakFactor(_mm_cvtps_pd(m), _mm_cvtps_pd(s), _mm_cvtps_pd(envelope),
                          [](__m128d raised) { return _mm_max_pd(raised, _mm_setzero_pd()); });
    }
    static __m128 of(__m128 m, __m128 s, __m128 e) {
        const __m128d low = pair(m, s, e);
        const __m128d high = pair(_mm_movehl_ps(m, m), _mm_movehl_ps(s, s), _mm_movehl_ps(e, e));
        return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
    }
};

const BinKernels quadKernels = kernelsOf<QuadBins, PeakFactorPairs>();

const BinKernels& kernels() {
#if defined(__x86_64__)
    if (vectorsInUse == VectorWidth::Avx512) return avx512Kernels;
    if (vectorsInUse == VectorWidth::Avx) return avxKernels;
#endif
    return quadKernels;
}

void applyGains(float* spectrum, const float* gains) {
    BinStages stages;
    stages.gain = gains;
    kernels().stages(spectrum, stages, nullptr);
}

} // namespace

VectorWidth useVectors(VectorWidth wanted) {
    vectorsInUse = vectorsUpTo(wanted);
    return vectorsInUse;
}

void noiseReduction(float* left, float* right, float* scratchL, float* scratchR, float amount) {
    const float c = 1000.0f / (amount * amount + 0.001f);
    kernels().gateMask(left, scratchL, c);
    kernels().gateMask(right, scratchR, c);
    smoothAcrossBins(scratchL, scratchR, 0.875f, 0.125f);
    applyGains(left, scratchL);
    applyGains(right, scratchR);
}

void clearnessEnvelopes(const float* left, const float* right, float* magnitudeL, float* magnitudeR,
                        float* scratchL, float* scratchR) {
    kernels().magnitudes(left, magnitudeL);
    kernels().magnitudes(right, magnitudeR);
    std::memcpy(scratchL, magnitudeL, sizeof(float) * kStageBins);
    std::memcpy(scratchR, magnitudeR, sizeof(float) * kStageBins);
    smoothAcrossBins(scratchL, scratchR, 0.95f, 0.05f);
}

void clearness(float* left, float* right, float* scratchL, float* scratchR, float amount) {
    float magnitudeL[kStageBins], magnitudeR[kStageBins];
    clearnessEnvelopes(left, right, magnitudeL, magnitudeR, scratchL, scratchR);
    BinStages stagesL, stagesR;
    stagesL.emphasisePeaks(magnitudeL, scratchL, amount);
    stagesR.emphasisePeaks(magnitudeR, scratchR, amount);
    applyBinStages(left, stagesL, nullptr);
    applyBinStages(right, stagesR, nullptr);
}

void applyTone(float* spectrum, const ToneTable& table) {
    applyGains(spectrum, table.gain);
}

void applyBinStages(float* spectrum, const BinStages& stages, float* bassLevel) {
    kernels().stages(spectrum, stages, bassLevel);
}

namespace {

void boostBass(float* spectrum, float headroom) {
    const float c = (1.0f - 1.0f / headroom) * 0.02f;
    const __m128 c4 = splat(c), one = splat(1.0f);
    // Bins 0..47 four at a time, then 48 and 49.
    for (int k = 0; k < 48; k += 4) {
        const __m128 offset = _mm_setr_ps(static_cast<float>(k - 50), static_cast<float>(k - 49),
                                          static_cast<float>(k - 48), static_cast<float>(k - 47));
        const __m128 gain = _mm_div_ps(one, _mm_add_ps(one, _mm_mul_ps(c4, offset)));
        storeBins(spectrum, k, scaled(loadBins(spectrum, k), gain));
    }
    for (int k = 48; k < 50; ++k)
        scaleBin(spectrum, k, 1.0f / (1.0f + c * static_cast<float>(k - 50)));
}

} // namespace

uint8_t dynamicFatBass(float* left, float* right, float amount) {
    float levels[2];
    applyBinStages(left, BinStages{}, &levels[0]);
    applyBinStages(right, BinStages{}, &levels[1]);
    return boostFatBass(left, right, amount, levels);
}

uint8_t boostFatBass(float* left, float* right, float amount, const float* levels) {
    float boost[2];
    float headroom[2];
    for (int ch = 0; ch < 2; ++ch) {
        boost[ch] = (0.05f / levels[ch]) * amount * amount * 4.0f;
        if (boost[ch] > 3.0f) {
            boost[ch] = 3.0f;
            headroom[ch] = 4.0f;
        } else {
            headroom[ch] = boost[ch] + 1.0f;
        }
    }
    float meter = std::trunc((boost[0] + boost[1]) / 6.0f * 5.0f);
    if (levels[0] + levels[1] < 1e-5f) meter = 0.0f;
    // Also keeps a NaN level from reaching the integer conversion.
    meter = meter >= 0.0f ? std::min(meter, 5.0f) : 0.0f;
    boostBass(left, headroom[0]);
    boostBass(right, headroom[1]);
    return static_cast<uint8_t>(meter);
}

} // namespace spectral
