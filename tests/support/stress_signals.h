// Inputs, rates and checks shared by the reliability battery.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

// The rates hosts use: the four the full path supports and three it passes through.
extern const float kBatteryRates[7];

enum class TestSignal { Silence, Noise, Dc, Denormal, Sine };
constexpr TestSignal kFiniteSignals[] = {TestSignal::Silence, TestSignal::Noise, TestSignal::Dc,
                                         TestSignal::Denormal, TestSignal::Sine};

// Longest lag of the output behind the input at this host rate, in host samples.
int32_t longestPathDelay(float rate);

// Fills n stereo frames; `start` is the stream position of the first one (keeps a sine continuous).
void fillSignal(TestSignal signal, std::mt19937& random, float* left, float* right, int32_t n, int64_t start,
                float rate);

// A host block length from 1 to 8192, often odd, often tiny.
int32_t randomBlockSize(std::mt19937& random);

// Index of the first non-finite sample, or -1.
int64_t firstNonFinite(const float* samples, size_t n);
double rootMeanSquare(const float* samples, size_t n);

// One stereo stream, written block by block.
struct StereoStream {
    std::vector<float> left, right;
    explicit StereoStream(size_t frames = 0) : left(frames), right(frames) {}
    size_t size() const { return left.size(); }
};
