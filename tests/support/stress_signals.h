// Inputs, rates and host habits shared by the reliability battery and the allocation check.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

// The rates hosts use: the four the full path supports and three it passes through.
extern const float kBatteryRates[7];

enum class TestSignal { Silence, Noise, Dc, Denormal, Sine };
constexpr TestSignal kFiniteSignals[] = {TestSignal::Silence, TestSignal::Noise, TestSignal::Dc,
                                         TestSignal::Denormal, TestSignal::Sine};

// Fills n stereo frames; `start` is the stream position of the first one (keeps a sine continuous).
void fillSignal(TestSignal signal, std::mt19937& random, float* left, float* right, int32_t n, int64_t start,
                float rate);

// How hosts cut a stream: 1 to 8192 frames, often odd, often tiny; or always 512.
enum class BlockPattern { Random, Fixed512, RateChange };
int32_t blockSize(BlockPattern pattern, std::mt19937& random);

// Index of the first non-finite sample, or -1.
int64_t firstNonFinite(const float* samples, size_t n);
double rootMeanSquare(const float* samples, size_t n);

// A count divided by LUMERIC_BATTERY_SHRINK (valgrind runs some 50 times slower), at least 1.
int shrunk(int count);

// One stereo stream, written block by block.
struct StereoStream {
    std::vector<float> left, right;
    explicit StereoStream(size_t frames = 0) : left(frames), right(frames) {}
    size_t size() const { return left.size(); }
};
