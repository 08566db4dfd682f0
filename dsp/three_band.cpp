#include "dsp/three_band.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/all_finite.h"
#include "dsp/path_settings.h"

namespace {

inline bool isNeutral(float value) {
    return !(value > 0.55f || value < 0.45f);
}

// offset is twice the control's distance from the middle, towards the delayed side: up to 30 ms.
int32_t delayFromOffset(float offset, float sampleRate) {
    const float samples = offset * sampleRate / 1000.0f * 30.0f;
    if (!(samples >= 1.0f) || std::isinf(samples)) return 0;
    return static_cast<int32_t>(std::fmod(samples, static_cast<float>(kBandDelayMask + 1)));
}

} // namespace

bool ThreeBand::isActive(const float* params) {
    for (int index = kEqLow; index <= kHighDelay; ++index)
        if (!isNeutral(params[index])) return true;
    return false;
}

float ThreeBand::filterCoefficient(float midFreq, float sampleRate) {
    const float centre = 500.0f + 2000.0f * (midFreq * midFreq);
    const double angle = 3.1457 * centre / sampleRate; // 3.1457, not pi
    if (!(angle > 0.0)) return 0.0f;
    if (angle >= 1.0) return 1.0f;
    return std::min(static_cast<float>(2.0 * std::sin(angle)), 1.0f);
}

int32_t ThreeBand::leftDelay(float p, float sampleRate) {
    return delayFromOffset((p - 0.5f) + (p - 0.5f), sampleRate);
}

int32_t ThreeBand::rightDelay(float p, float sampleRate) {
    return delayFromOffset((0.5f - p) + (0.5f - p), sampleRate);
}

void ThreeBand::reset() {
    svfLowMid = svfBandMid = svfLowSide = svfBandSide = 0.0f;
    for (float* line :
         {bandDelayLowL, bandDelayLowR, bandDelayMidL, bandDelayMidR, bandDelayHighL, bandDelayHighR})
        std::memset(line, 0, sizeof(float) * kBandDelayLength);
    bandDelayPos = 0;
}

void ThreeBand::process(float* left, float* right, int32_t n, const float* params, float sampleRate) {
    if (n <= 0) return;
    const float f = filterCoefficient(params[kMidFreq], sampleRate);
    const float gainLow = 4.0f * params[kEqLow] * params[kEqLow];
    const float gainMid = 4.0f * params[kEqMid] * params[kEqMid];
    const float gainHigh = 4.0f * params[kEqHigh] * params[kEqHigh];
    const uint32_t lowDelayL = leftDelay(params[kLowDelay], sampleRate);
    const uint32_t lowDelayR = rightDelay(params[kLowDelay], sampleRate);
    const uint32_t midDelayL = leftDelay(params[kMidDelay], sampleRate);
    const uint32_t midDelayR = rightDelay(params[kMidDelay], sampleRate);
    const uint32_t highDelayL = leftDelay(params[kHighDelay], sampleRate);
    const uint32_t highDelayR = rightDelay(params[kHighDelay], sampleRate);
    // Twice the width offsets: each band's side part is scaled by 2 x its widener.
    const float widthLow = 2.0f * (params[kLowWidener] - 0.5f);
    const float widthMid = 2.0f * (params[kMidWidener] - 0.5f);
    const float widthHigh = 2.0f * (params[kHighWidener] - 0.5f);

    float lowMid = svfLowMid, bandMid = svfBandMid, lowSide = svfLowSide, bandSide = svfBandSide;
    uint32_t position = bandDelayPos;
    for (int32_t i = 0; i < n; ++i) {
        const float mid = (left[i] + right[i]) * 0.5f;
        const float side = (left[i] - right[i]) * 0.5f;
        lowMid += f * bandMid;
        const float highMid = mid - lowMid - bandMid;
        bandMid += f * highMid;
        lowSide += f * bandSide;
        const float highSide = side - lowSide - bandSide;
        bandSide += f * highSide;

        const uint32_t w = position & kBandDelayMask;
        bandDelayLowL[w] = (lowMid + lowSide) * 0.5f;
        bandDelayLowR[w] = (lowMid - lowSide) * 0.5f;
        bandDelayMidL[w] = (bandMid + bandSide) * 0.5f;
        bandDelayMidR[w] = (bandMid - bandSide) * 0.5f;
        bandDelayHighL[w] = (highMid + highSide) * 0.5f;
        bandDelayHighR[w] = (highMid - highSide) * 0.5f;
        const float lowL = bandDelayLowL[(position - lowDelayL) & kBandDelayMask];
        const float lowR = bandDelayLowR[(position - lowDelayR) & kBandDelayMask];
        const float midL = bandDelayMidL[(position - midDelayL) & kBandDelayMask];
        const float midR = bandDelayMidR[(position - midDelayR) & kBandDelayMask];
        const float highL = bandDelayHighL[(position - highDelayL) & kBandDelayMask];
        const float highR = bandDelayHighR[(position - highDelayR) & kBandDelayMask];
        position = (position + 1) & 0xFFFFu;

        const float midOfLow = (lowL + lowR) * gainLow, sideOfLow = (lowL - lowR) * gainLow;
        const float midOfMid = (midL + midR) * gainMid, sideOfMid = (midL - midR) * gainMid;
        const float midOfHigh = (highL + highR) * gainHigh, sideOfHigh = (highL - highR) * gainHigh;
        // The middle band enters with a minus sign: low - band + high of this filter is an all-pass.
        const float midOut = midOfLow - midOfMid + midOfHigh;
        const float sideOut = sideOfLow - sideOfMid + sideOfHigh;
        const float widening = widthLow * sideOfLow - widthMid * sideOfMid + widthHigh * sideOfHigh;
        left[i] = midOut + sideOut + widening;
        right[i] = midOut - sideOut - widening;
    }
    svfLowMid = lowMid;
    svfBandMid = bandMid;
    svfLowSide = lowSide;
    svfBandSide = bandSide;
    bandDelayPos = static_cast<uint16_t>(position);
}

void ThreeBand::resetIfNotFinite() {
    // Anything non-finite that reached the delay lines went through the filters, whose band states keep it.
    const float state[] = {svfLowMid, svfBandMid, svfLowSide, svfBandSide};
    if (!allFinite(state, 4)) reset();
}
