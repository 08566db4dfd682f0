// Spectral effects. Magnitude stages scale Re and Im by m'/m and rotations multiply by cached unit
// phasors; both equal the magnitude-and-angle form within single-precision error.
#include "dsp/spectral_stages.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace spectral {
namespace {

constexpr int kHalf = kFrameLength / 2;

float magnitude(const float* spectrum, int k) {
    if (k == 0) return std::fabs(spectrum[0]);
    const float re = spectrum[k];
    const float im = spectrum[kFrameLength - k];
    return std::sqrt(re * re + im * im);
}

void scaleBin(float* spectrum, int k, float factor) {
    spectrum[k] *= factor;
    if (k > 0) spectrum[kFrameLength - k] *= factor;
}

// One-pole smoothing up and then down the bins, in place over values[0..1024]. The two channels run
// in one loop so that their serial recurrences overlap.
void smoothAcrossBins(float* a, float* b, float keep, float take) {
    a[kHalf] = a[kHalf - 1];
    b[kHalf] = b[kHalf - 1];
    float ya = a[0];
    float yb = b[0];
    for (int k = 0; k < kHalf; ++k) {
        ya = keep * ya + take * a[k];
        yb = keep * yb + take * b[k];
        a[k] = ya;
        b[k] = yb;
    }
    ya = a[kHalf];
    yb = b[kHalf];
    for (int k = kHalf; k >= 1; --k) {
        ya = keep * ya + take * a[k];
        yb = keep * yb + take * b[k];
        a[k] = ya;
        b[k] = yb;
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
    // Bin 0 is real and every rotation is zero there.
    for (int k = 1; k < kStageBins; ++k) {
        const float c = table.cosDelta[k];
        const float s = direction * table.sinDelta[k];
        const float re = spectrum[k];
        const float im = spectrum[kFrameLength - k];
        spectrum[k] = re * c + im * s;
        spectrum[kFrameLength - k] = im * c - re * s;
    }
}

namespace {

void gateMask(const float* spectrum, float* mask, float c) {
    for (int k = 0; k < kStageBins; ++k)
        mask[k] = magnitude(spectrum, k) * c > 0.5f ? 1.0f : 1e-6f;
}

void applyMask(float* spectrum, const float* mask) {
    for (int k = 0; k < kStageBins; ++k)
        scaleBin(spectrum, k, mask[k]);
}

void magnitudes(const float* spectrum, float* out) {
    for (int k = 0; k < kStageBins; ++k)
        out[k] = magnitude(spectrum, k);
}

void emphasisePeaks(float* spectrum, const float* envelope, float amount) {
    // The weight is zero up to bin 80, so those bins keep their magnitude.
    for (int k = 81; k < kStageBins; ++k) {
        const float m = magnitude(spectrum, k);
        if (m == 0.0f) continue;
        const float ramp = k < 160 ? static_cast<float>(k - 80) / 80.0f : 1.0f;
        const double s = 0.5f * amount * ramp;
        const double raised = std::max(0.0, m * (1.0 - s) + 4.0 * s * (m - 0.5 * envelope[k]));
        scaleBin(spectrum, k, static_cast<float>(raised / m));
    }
}

} // namespace

void noiseReduction(float* left, float* right, float* scratchL, float* scratchR, float amount) {
    const float c = 1000.0f / (amount * amount + 0.001f);
    gateMask(left, scratchL, c);
    gateMask(right, scratchR, c);
    smoothAcrossBins(scratchL, scratchR, 0.875f, 0.125f);
    applyMask(left, scratchL);
    applyMask(right, scratchR);
}

void clearness(float* left, float* right, float* scratchL, float* scratchR, float amount) {
    magnitudes(left, scratchL);
    magnitudes(right, scratchR);
    smoothAcrossBins(scratchL, scratchR, 0.95f, 0.05f);
    emphasisePeaks(left, scratchL, amount);
    emphasisePeaks(right, scratchR, amount);
}

void applyTone(float* spectrum, const ToneTable& table) {
    for (int k = 0; k < kStageBins; ++k)
        scaleBin(spectrum, k, table.gain[k]);
}

namespace {

// 1e-6 + sum over k = 1..1023 of m(k) / sqrt(k).
float bassLevel(const float* spectrum) {
    float sum = 1e-6f;
    for (int k = 1; k < kStageBins; ++k)
        sum += magnitude(spectrum, k) / std::sqrt(static_cast<float>(k));
    return sum;
}

void boostBass(float* spectrum, float headroom) {
    const float c = (1.0f - 1.0f / headroom) * 0.02f;
    for (int k = 0; k < 50; ++k)
        scaleBin(spectrum, k, 1.0f / (1.0f + c * static_cast<float>(k - 50)));
}

} // namespace

uint8_t dynamicFatBass(float* left, float* right, float amount) {
    const float levels[2] = {bassLevel(left), bassLevel(right)};
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
