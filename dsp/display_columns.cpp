// Analyser columns: log-spaced bins from bin 6 upward, smoothed level, falling peak, phase and magnitude.
#include <algorithm>
#include <cmath>

#include "dsp/audio_path.h"

namespace {

constexpr int kN = spectral::kFrameLength;
constexpr int kNyquist = kN / 2;

// Bin 1024 has one entry, which serves as both parts.
float columnMagnitude(const float* spectrum, int bin) {
    if (bin >= kNyquist) return std::sqrt(2.0f) * std::fabs(spectrum[kNyquist]);
    const float re = spectrum[bin];
    const float im = spectrum[kN - bin];
    return std::sqrt(re * re + im * im);
}

float imaginaryPart(const float* spectrum, int bin) {
    return bin >= kNyquist ? spectrum[kNyquist] : spectrum[kN - bin];
}

} // namespace

void AudioPath::updateDisplayColumns(const float* left, const float* right) {
    float pos = 6.0f;
    for (int k = 0; k < kDisplayColumns; ++k, pos *= 1.0135f) {
        const int i = static_cast<int>(pos);
        const float frac = pos - static_cast<float>(i);
        const int lower = std::min(i - 1, kNyquist);
        const int upper = std::min(i, kNyquist);

        const float magL = columnMagnitude(left, upper);
        const float magR = columnMagnitude(right, upper);
        const float a = columnMagnitude(left, lower) + columnMagnitude(right, lower);
        const float b = magL + magR;

        feed.magDisp[k].store((1.0f + static_cast<float>(k) / 3.0f) * b, std::memory_order_relaxed);
        float blended = std::max(1e-8f, a * (1.0f - frac) + b * frac);
        // An overflowed spectrum must not leave the smoothed level infinite for good.
        if (!(blended <= 1e30f)) blended = 1e30f;
        feed.smoothLog[k] = 0.8f * feed.smoothLog[k] + std::log(blended) * 36.0f * -0.2f;
        const float level =
            std::clamp(feed.smoothLog[k] - 0.48f * static_cast<float>(k) - 50.0f, 0.0f, 500.0f);
        feed.levelDisp[k].store(level, std::memory_order_relaxed);
        const float peak = feed.peakDisp[k].load(std::memory_order_relaxed);
        feed.peakDisp[k].store(level > peak ? 0.99f * peak + 0.01f * level : level,
                               std::memory_order_relaxed);

        float phase = std::atan2(left[upper], imaginaryPart(left, upper)) -
                      std::atan2(right[upper], imaginaryPart(right, upper));
        const bool quietL = magL < 1e-6f;
        const bool quietR = magR < 1e-6f;
        if (quietL && quietR) {
            phase = 0.0f;
        } else if (quietL) {
            phase = 1.57285f;
        } else if (quietR) {
            phase = -1.57285f;
        }
        feed.phaseDisp[k].store(phase, std::memory_order_relaxed);
    }
}
