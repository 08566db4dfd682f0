#include "dsp/exciter.h"

#include <algorithm>
#include <cmath>

#include "dsp/all_finite.h"

namespace {

// 1 from +2 up, v - v^2/4 between -2 and 2, 2v + 1 below -2: the slope-2 tail is the last term,
// so the curve needs no branch on the sample.
inline double shape(float v) {
    const float inner = std::min(std::max(v, -2.0f), 2.0f);
    const double curve = static_cast<double>(inner) - static_cast<double>(inner * inner) / 4.0;
    return curve + 2.0 * std::min(static_cast<double>(v) + 2.0, 0.0);
}

inline float limitPole(float coefficient) {
    return coefficient >= 0.0f && coefficient <= 1.0f ? coefficient : 1.0f;
}

struct ChannelState {
    float& lowPass;
    float& previousHighPass;
    float& previousSum;
    float& highPass1;
    float& highPass2;
};

void runChannel(float* samples, int32_t n, const Exciter::Coefficients& k, ChannelState state) {
    const float a = k.inputLowPass, oneMinusA = 1.0f - a;
    const float b = k.outputHighPass, oneMinusB = 1.0f - b;
    const float gain = k.mixGain;
    float lowPass = state.lowPass, previousHighPass = state.previousHighPass, previousSum = state.previousSum;
    float highPass1 = state.highPass1, highPass2 = state.highPass2;
    for (int32_t i = 0; i < n; ++i) {
        const float x = samples[i];
        lowPass = oneMinusA * lowPass + a * x;
        const float high = x - lowPass;
        const float u = high + previousHighPass;
        previousHighPass = high;
        // The curve at the sample and half way back to the previous one.
        const float e =
            static_cast<float>((shape(16.0f * u) + shape(16.0f * (u + previousSum) * 0.5f)) * 0.0625);
        previousSum = u;
        highPass1 = oneMinusB * highPass1 + b * e;
        const float e1 = e - highPass1;
        highPass2 = oneMinusB * highPass2 + b * e1;
        const float e2 = e1 - highPass2;
        samples[i] = x + e2 * gain;
    }
    state.lowPass = lowPass;
    state.previousHighPass = previousHighPass;
    state.previousSum = previousSum;
    state.highPass1 = highPass1;
    state.highPass2 = highPass2;
}

} // namespace

Exciter::Coefficients Exciter::coefficients(float exciterMix, float exciterFreq, float sampleRate) {
    Coefficients k;
    k.inputLowPass = limitPole(20000.0f / sampleRate);
    k.outputHighPass = limitPole((1000.0f + 24000.0f * exciterFreq * exciterFreq) / sampleRate);
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
    runChannel(left, n, k, {exLpL, exPrevHpL, exPrevSumL, exHp1L, exHp2L});
    runChannel(right, n, k, {exLpR, exPrevHpR, exPrevSumR, exHp1R, exHp2R});
}

void Exciter::resetIfNotFinite() {
    const float state[] = {exLpL,      exLpR,  exPrevHpL, exPrevHpR, exPrevSumL,
                           exPrevSumR, exHp1L, exHp1R,    exHp2L,    exHp2R};
    if (!allFinite(state, 10)) reset();
}
