// One spectral block with all seven effects, and the whole path on factory program 72 at 44.1 kHz.
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <random>
#include <vector>

#include "dsp/audio_path.h"
#include "engine/factory_presets.h"

namespace {

struct Setup {
    std::atomic<float> params[kNumParams];
    std::unique_ptr<AudioPath> path;
    explicit Setup(const float* values) {
        for (int i = 0; i < kNumParams; ++i)
            params[i] = i < kNumUsedParams ? values[i] : 0.0f;
        path = std::make_unique<AudioPath>(params);
        path->setSampleRate(44100.0f);
        path->resetVariables();
    }
};

std::vector<float> noise(size_t length, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    std::vector<float> x(length);
    for (auto& v : x)
        v = dist(rng);
    return x;
}

void BM_SpectralBlockAllStages(benchmark::State& state) {
    float values[kNumUsedParams];
    for (int i = 0; i < kNumUsedParams; ++i)
        values[i] = factoryPresets[72].values[i];
    values[kNoiseReduction] = 0.3f; // program 72 leaves the gate off
    Setup setup(values);
    const auto left = noise(kSpectralBlock, 1);
    const auto right = noise(kSpectralBlock, 2);
    std::copy(left.begin(), left.end(), setup.path->inL);
    std::copy(right.begin(), right.end(), setup.path->inR);
    for (auto _ : state) {
        setup.path->processBlock44100LR(true);
        benchmark::DoNotOptimize(setup.path->outL);
    }
}
BENCHMARK(BM_SpectralBlockAllStages);

void BM_WholePathProgram72(benchmark::State& state) {
    constexpr int kBlock = 512;
    constexpr int kBlocks = 64;
    Setup setup(factoryPresets[72].values);
    const auto sourceL = noise(kBlock * kBlocks, 3);
    const auto sourceR = noise(kBlock * kBlocks, 4);
    std::vector<float> left(kBlock), right(kBlock);
    size_t block = 0;
    for (auto _ : state) {
        std::copy_n(sourceL.begin() + static_cast<long>(block * kBlock), kBlock, left.begin());
        std::copy_n(sourceR.begin() + static_cast<long>(block * kBlock), kBlock, right.begin());
        float* io[2] = {left.data(), right.data()};
        setup.path->processReplacing(io, io, kBlock);
        benchmark::DoNotOptimize(left.data());
        block = (block + 1) % kBlocks;
    }
    // Seconds of stereo audio processed per second of processor time.
    state.counters["realtime_factor"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock / 44100.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WholePathProgram72);

} // namespace
