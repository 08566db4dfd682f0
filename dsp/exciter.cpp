#include "dsp/exciter.h"

#include <algorithm>
#include <cmath>

#include "dsp/all_finite.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The curve s(v): 1 from +2 up, v - v^2/4 between -2 and 2, 2v + 1 below -2. Written as the middle piece
// at v clamped to -2..2 plus 2 min(v + 2, 0), so it needs no branch on the sample. Each channel evaluates
// it at the sample and half way back to the previous one; e = (s(point) + s(half)) / 16.
#if defined(__SSE2__)
// Both channels' two points share one register. Scalar std::min and std::max here would be compiled into
// jumps that a noisy signal mispredicts; minps and maxps keep their exact semantics without them.
inline __m128d curvePair(__m128 points, __m128 inner, __m128 innerSquared) {
    const __m128d two = _mm_set1_pd(2.0);
    const __m128d tail = _mm_min_pd(_mm_setzero_pd(), _mm_add_pd(_mm_cvtps_pd(points), two));
    const __m128d middle =
        _mm_sub_pd(_mm_cvtps_pd(inner), _mm_mul_pd(_mm_cvtps_pd(innerSquared), _mm_set1_pd(0.25)));
    return _mm_add_pd(middle, _mm_mul_pd(two, tail));
}

inline float sumOfPair(__m128d pair) {
    return static_cast<float>(_mm_cvtsd_f64(_mm_add_sd(pair, _mm_unpackhi_pd(pair, pair))) * 0.0625);
}

inline void shapeBoth(float pointL, float halfL, float pointR, float halfR, float& eL, float& eR) {
    const __m128 points = _mm_setr_ps(pointL, halfL, pointR, halfR);
    const __m128 inner = _mm_min_ps(_mm_set1_ps(2.0f), _mm_max_ps(_mm_set1_ps(-2.0f), points));
    const __m128 squared = _mm_mul_ps(inner, inner); // v^2 in single precision, the rest in double
    eL = sumOfPair(curvePair(points, inner, squared));
    eR = sumOfPair(curvePair(_mm_movehl_ps(points, points), _mm_movehl_ps(inner, inner),
                             _mm_movehl_ps(squared, squared)));
}
#else
inline double shape(float v) {
    const float inner = std::min(std::max(v, -2.0f), 2.0f);
    const double middle = static_cast<double>(inner) - static_cast<double>(inner * inner) / 4.0;
    return middle + 2.0 * std::min(static_cast<double>(v) + 2.0, 0.0);
}

inline void shapeBoth(float pointL, float halfL, float pointR, float halfR, float& eL, float& eR) {
    eL = static_cast<float>((shape(pointL) + shape(halfL)) * 0.0625);
    eR = static_cast<float>((shape(pointR) + shape(halfR)) * 0.0625);
}
#endif

inline float limitPole(float coefficient) {
    return coefficient >= 0.0f && coefficient <= 1.0f ? coefficient : 1.0f;
}

struct Channel {
    float lowPass, previousHighPass, previousSum, highPass1, highPass2;
};

} // namespace

Exciter::Coefficients Exciter::coefficients(float exciterMix, float exciterFreq, float sampleRate) {
    Coefficients k;
    k.inputLowPass = limitPole(20000.0f / sampleRate);
    k.outputHighPass = limitPole((1000.0f + 24000.0f * (exciterFreq * exciterFreq)) / sampleRate);
    k.mixGain = exciterMix * std::exp(2.5f * exciterFreq) * 0.25f;
    if (!std::isfinite(k.mixGain)) k.mixGain = 0.0f;
    return k;
}

void Exciter::reset() {
    exLpL = exLpR = 0.0f;
    exPrevHpL = exPrevHpR = 0.0f;
    exPrevSumL = exPrevSumR = 0.0f;
    exHp1L = exHp1R = exHp2L = exHp2R = 0.0f;
}

void Exciter::process(float* left, float* right, int32_t n, float exciterMix, float exciterFreq,
                      float sampleRate) {
    if (n <= 0) return;
    const Coefficients k = coefficients(exciterMix, exciterFreq, sampleRate);
    const float a = k.inputLowPass, keepA = 1.0f - a;
    const float b = k.outputHighPass, keepB = 1.0f - b;
    const float gain = k.mixGain;
    Channel l{exLpL, exPrevHpL, exPrevSumL, exHp1L, exHp2L};
    Channel r{exLpR, exPrevHpR, exPrevSumR, exHp1R, exHp2R};
    for (int32_t i = 0; i < n; ++i) {
        const float xL = left[i], xR = right[i];
        l.lowPass = keepA * l.lowPass + a * xL;
        r.lowPass = keepA * r.lowPass + a * xR;
        const float highL = xL - l.lowPass, highR = xR - r.lowPass;
        const float uL = highL + l.previousHighPass, uR = highR + r.previousHighPass;
        l.previousHighPass = highL;
        r.previousHighPass = highR;
        float eL, eR;
        shapeBoth(16.0f * uL, 16.0f * (uL + l.previousSum) * 0.5f, 16.0f * uR,
                  16.0f * (uR + r.previousSum) * 0.5f, eL, eR);
        l.previousSum = uL;
        r.previousSum = uR;
        l.highPass1 = keepB * l.highPass1 + b * eL;
        r.highPass1 = keepB * r.highPass1 + b * eR;
        const float e1L = eL - l.highPass1, e1R = eR - r.highPass1;
        l.highPass2 = keepB * l.highPass2 + b * e1L;
        r.highPass2 = keepB * r.highPass2 + b * e1R;
        left[i] = xL + (e1L - l.highPass2) * gain;
        right[i] = xR + (e1R - r.highPass2) * gain;
    }
    exLpL = l.lowPass, exPrevHpL = l.previousHighPass, exPrevSumL = l.previousSum;
    exHp1L = l.highPass1, exHp2L = l.highPass2;
    exLpR = r.lowPass, exPrevHpR = r.previousHighPass, exPrevSumR = r.previousSum;
    exHp1R = r.highPass1, exHp2R = r.highPass2;
}

void Exciter::resetIfNotFinite() {
    const float state[] = {exLpL,      exLpR,  exPrevHpL, exPrevHpR, exPrevSumL,
                           exPrevSumR, exHp1L, exHp1R,    exHp2L,    exHp2R};
    if (!allFinite(state, 10)) reset();
}
