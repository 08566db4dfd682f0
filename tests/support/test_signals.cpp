#include "test_signals.h"

#include <cmath>
#include <random>

std::vector<float> uniformNoise(size_t length, unsigned seed, float amplitude) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-amplitude, amplitude);
    std::vector<float> signal(length);
    for (float& x : signal)
        x = uniform(generator);
    return signal;
}

std::vector<float> sineWave(double freq, double rate, size_t length, double amplitude) {
    const double step = 2.0 * 3.14159265358979323846 * freq / rate;
    std::vector<float> signal(length);
    for (size_t i = 0; i < length; ++i)
        signal[i] = static_cast<float>(amplitude * std::sin(step * double(i)));
    return signal;
}

double rmsOfSecondHalf(const std::vector<float>& signal) {
    const size_t from = signal.size() / 2;
    double sum = 0.0;
    for (size_t i = from; i < signal.size(); ++i)
        sum += double(signal[i]) * signal[i];
    return std::sqrt(sum / double(signal.size() - from));
}
