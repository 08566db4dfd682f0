// Test signals for the audio stages: seeded noise, sines and levels.
#pragma once

#include <cstddef>
#include <vector>

// Uniform noise in -amplitude..amplitude, the same for the same seed.
std::vector<float> uniformNoise(size_t length, unsigned seed, float amplitude = 0.5f);
// amplitude * sin(2 pi freq i / rate)
std::vector<float> sineWave(double freq, double rate, size_t length, double amplitude = 0.5);
// Root mean square of the second half, after a filter's start-up has died away.
double rmsOfSecondHalf(const std::vector<float>& signal);
