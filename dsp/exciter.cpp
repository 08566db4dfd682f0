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
//
// Only the two one-pole filters at either end are recursive. The curve between them depends on this sample
// and the previous one alone, so it runs over a whole chunk of samples at a time.
constexpr int32_t kChunk = 64;

#if defined(__SSE2__)
// s(v) for the low two of four points: v^2 in single precision, the rest in double, as the plain form.
// minps/maxps keep std::min/std::max semantics without the jumps a noisy signal would mispredict.
inline __m128d curveLow(__m128 points, __m128 inner, __m128 innerSquared) {
    const __m128d two = _mm_set1_pd(2.0);
    const __m128d tail = _mm_min_pd(_mm_setzero_pd(), _mm_add_pd(_mm_cvtps_pd(points), two));
    const __m128d middle =
        _mm_sub_pd(_mm_cvtps_pd(inner), _mm_mul_pd(_mm_cvtps_pd(innerSquared), _mm_set1_pd(0.25)));
    return _mm_add_pd(middle, _mm_mul_pd(two, tail));
}

// e for two neighbouring samples from their points and half points (each in the low two lanes).
inline __m128 shapeTwo(__m128 point, __m128 half) {
    const __m128 lower = _mm_set1_ps(-2.0f), upper = _mm_set1_ps(2.0f);
    const __m128 innerPoint = _mm_min_ps(upper, _mm_max_ps(lower, point));
    const __m128 innerHalf = _mm_min_ps(upper, _mm_max_ps(lower, half));
    const __m128d sum = _mm_add_pd(curveLow(point, innerPoint, _mm_mul_ps(innerPoint, innerPoint)),
                                   curveLow(half, innerHalf, _mm_mul_ps(innerHalf, innerHalf)));
    return _mm_cvtpd_ps(_mm_mul_pd(sum, _mm_set1_pd(0.0625)));
}

// u[-1] is the previous chunk's last value.
void shapeChunk(const float* u, float* e, int32_t n) {
    int32_t i = 0;
    const __m128 sixteen = _mm_set1_ps(16.0f), oneHalf = _mm_set1_ps(0.5f);
    for (; i + 4 <= n; i += 4) {
        const __m128 now = _mm_loadu_ps(u + i), before = _mm_loadu_ps(u + i - 1);
        const __m128 point = _mm_mul_ps(sixteen, now);
        const __m128 half = _mm_mul_ps(_mm_mul_ps(sixteen, _mm_add_ps(now, before)), oneHalf);
        const __m128 low = shapeTwo(point, half);
        const __m128 high = shapeTwo(_mm_movehl_ps(point, point), _mm_movehl_ps(half, half));
        _mm_storeu_ps(e + i, _mm_movelh_ps(low, high));
    }
    for (; i < n; ++i) {
        const __m128 point = _mm_set_ss(16.0f * u[i]);
        const __m128 half = _mm_set_ss(16.0f * (u[i] + u[i - 1]) * 0.5f);
        e[i] = _mm_cvtss_f32(shapeTwo(point, half));
    }
}
#else
inline double shape(float v) {
    const float inner = std::min(std::max(v, -2.0f), 2.0f);
    const double middle = static_cast<double>(inner) - static_cast<double>(inner * inner) / 4.0;
    return middle + 2.0 * std::min(static_cast<double>(v) + 2.0, 0.0);
}

void shapeChunk(const float* u, float* e, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        e[i] = static_cast<float>((shape(16.0f * u[i]) + shape(16.0f * (u[i] + u[i - 1]) * 0.5f)) * 0.0625);
}
#endif

inline float limitPole(float coefficient) {
    return coefficient >= 0.0f && coefficient <= 1.0f ? coefficient : 1.0f;
}

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
    float lowPassL = exLpL, lowPassR = exLpR, previousHighL = exPrevHpL, previousHighR = exPrevHpR;
    float highPass1L = exHp1L, highPass1R = exHp1R, highPass2L = exHp2L, highPass2R = exHp2R;
    // u[0] carries the previous sample's u into each chunk.
    float uL[kChunk + 1], uR[kChunk + 1], eL[kChunk], eR[kChunk];
    uL[0] = exPrevSumL;
    uR[0] = exPrevSumR;
    for (int32_t start = 0; start < n; start += kChunk) {
        const int32_t count = std::min(kChunk, n - start);
        float* const l = left + start;
        float* const r = right + start;
        for (int32_t i = 0; i < count; ++i) {
            lowPassL = keepA * lowPassL + a * l[i];
            lowPassR = keepA * lowPassR + a * r[i];
            const float highL = l[i] - lowPassL, highR = r[i] - lowPassR;
            uL[i + 1] = highL + previousHighL;
            uR[i + 1] = highR + previousHighR;
            previousHighL = highL;
            previousHighR = highR;
        }
        shapeChunk(uL + 1, eL, count);
        shapeChunk(uR + 1, eR, count);
        for (int32_t i = 0; i < count; ++i) {
            highPass1L = keepB * highPass1L + b * eL[i];
            highPass1R = keepB * highPass1R + b * eR[i];
            const float e1L = eL[i] - highPass1L, e1R = eR[i] - highPass1R;
            highPass2L = keepB * highPass2L + b * e1L;
            highPass2R = keepB * highPass2R + b * e1R;
            l[i] += (e1L - highPass2L) * gain;
            r[i] += (e1R - highPass2R) * gain;
        }
        uL[0] = uL[count];
        uR[0] = uR[count];
    }
    exLpL = lowPassL, exLpR = lowPassR, exPrevHpL = previousHighL, exPrevHpR = previousHighR;
    exPrevSumL = uL[0], exPrevSumR = uR[0];
    exHp1L = highPass1L, exHp1R = highPass1R, exHp2L = highPass2L, exHp2R = highPass2R;
}

void Exciter::resetIfNotFinite() {
    const float state[] = {exLpL,      exLpR,  exPrevHpL, exPrevHpR, exPrevSumL,
                           exPrevSumR, exHp1L, exHp1R,    exHp2L,    exHp2R};
    if (!allFinite(state, 10)) reset();
}
