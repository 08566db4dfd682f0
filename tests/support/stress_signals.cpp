#include "stress_signals.h"

#include <cmath>
#include <cstdlib>
#include <limits>

const float kBatteryRates[7] = {44100.0f, 48000.0f, 88200.0f, 96000.0f, 22050.0f, 32000.0f, 192000.0f};

void fillSignal(TestSignal signal, std::mt19937& random, float* left, float* right, int32_t n, int64_t start,
                float rate) {
    std::uniform_real_distribution<float> fullScale(-1.0f, 1.0f);
    for (int32_t i = 0; i < n; ++i) {
        const float tiny = std::numeric_limits<float>::denorm_min() * static_cast<float>(1 + i % 1000);
        const double phase = 2.0 * M_PI * 997.0 * static_cast<double>(start + i) / rate;
        switch (signal) {
        case TestSignal::Silence:
            left[i] = right[i] = 0.0f;
            break;
        case TestSignal::Noise:
            left[i] = fullScale(random);
            right[i] = fullScale(random);
            break;
        case TestSignal::Dc:
            left[i] = 1.0f;
            right[i] = -0.75f;
            break;
        case TestSignal::Denormal:
            left[i] = (i & 1) ? tiny : -tiny;
            right[i] = tiny;
            break;
        case TestSignal::Sine:
            left[i] = static_cast<float>(0.5 * std::sin(phase));
            right[i] = static_cast<float>(0.5 * std::cos(phase));
            break;
        }
    }
}

int32_t blockSize(BlockPattern pattern, std::mt19937& random) {
    if (pattern == BlockPattern::Fixed512) return 512;
    switch (random() % 4) {
    case 0:
        return 1 + static_cast<int32_t>(random() % 17);
    case 1:
        return 1 + 2 * static_cast<int32_t>(random() % 4096); // odd
    default:
        return 1 + static_cast<int32_t>(random() % 8192);
    }
}

int64_t firstNonFinite(const float* samples, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (!std::isfinite(samples[i])) return static_cast<int64_t>(i);
    return -1;
}

double rootMeanSquare(const float* samples, size_t n) {
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

int shrunk(int count) {
    const char* divisor = std::getenv("LUMERIC_BATTERY_SHRINK");
    const int by = divisor ? std::atoi(divisor) : 1;
    return by > 1 ? std::max(1, count / by) : count;
}
