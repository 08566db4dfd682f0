// The time-domain stages on 512-sample stereo blocks at 44.1 kHz. Each iteration copies fresh noise into the
// block first (about 0.1 ns per sample) so that repeated in-place filtering cannot drift into denormals or
// overflow. PunchOneByOne, the chain run sample by sample, is the baseline for the punch stage.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "dsp/exciter.h"
#include "dsp/loudness.h"
#include "dsp/punch.h"
#include "dsp/three_band.h"
#include "engine/parameter_ids.h"

namespace {

constexpr int kBlock = 512;
constexpr float kRate = 44100.0f;

struct Block {
    std::vector<float> sourceL, sourceR, left, right;

    Block() : sourceL(kBlock), sourceR(kBlock), left(kBlock), right(kBlock) {
        std::mt19937 generator(1);
        std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
        for (int i = 0; i < kBlock; ++i) {
            sourceL[i] = uniform(generator);
            sourceR[i] = uniform(generator);
        }
    }

    void refill() {
        std::memcpy(left.data(), sourceL.data(), sizeof(float) * kBlock);
        std::memcpy(right.data(), sourceR.data(), sizeof(float) * kBlock);
    }
};

void reportPerSample(benchmark::State& state) {
    const double samples = static_cast<double>(state.iterations()) * kBlock;
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    // Time per stereo sample, printed in seconds with an SI prefix (e.g. 12.3ns).
    state.counters["per_sample"] =
        benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Loudness_DesignAndFilter(benchmark::State& state) {
    Block block;
    Loudness loudness;
    for (auto _ : state) {
        block.refill();
        loudness.mix = 2.0f * 0.7f;
        loudness.bassBoost = 0.6f;
        loudness.setSampleRate(kRate);
        loudness.process(block.left.data(), block.right.data(), kBlock);
        benchmark::DoNotOptimize(block.left.data());
    }
    reportPerSample(state);
}
BENCHMARK(Loudness_DesignAndFilter);

void ThreeBand_AllControlsMoved(benchmark::State& state) {
    Block block;
    auto stage = std::make_unique<ThreeBand>();
    float params[kNumParams];
    std::fill(std::begin(params), std::end(params), 0.5f);
    const float moved[] = {0.6f, 0.3f, 0.7f, 0.8f, 0.2f, 0.9f, 0.9f, 0.1f, 0.65f, 0.4f};
    for (int k = 0; k < 10; ++k)
        params[kEqLow + k] = moved[k];
    for (auto _ : state) {
        block.refill();
        stage->process(block.left.data(), block.right.data(), kBlock, params, kRate);
        benchmark::DoNotOptimize(block.left.data());
    }
    reportPerSample(state);
}
BENCHMARK(ThreeBand_AllControlsMoved);

void Punch_49Sections(benchmark::State& state) {
    Block block;
    Punch punch;
    for (auto _ : state) {
        block.refill();
        punch.process(block.left.data(), block.right.data(), kBlock, 1.0f, kRate);
        benchmark::DoNotOptimize(block.left.data());
    }
    reportPerSample(state);
}
BENCHMARK(Punch_49Sections);

// Baseline: the same 49 sections, each sample through the whole chain before the next.
void PunchOneByOne_49Sections(benchmark::State& state) {
    Block block;
    Punch punch;
    const float c = Punch::coefficient(kRate);
    for (auto _ : state) {
        block.refill();
        for (int i = 0; i < kBlock; ++i) {
            float left = block.left[i], right = block.right[i];
            for (int j = 0; j < kMaxPunchSections; ++j) {
                const float yL = (punch.punchOutL[j] - left) * c + punch.punchInL[j];
                const float yR = (punch.punchOutR[j] - right) * c + punch.punchInR[j];
                punch.punchInL[j] = left;
                punch.punchInR[j] = right;
                punch.punchOutL[j] = left = yL;
                punch.punchOutR[j] = right = yR;
            }
            block.left[i] = left;
            block.right[i] = right;
        }
        benchmark::DoNotOptimize(block.left.data());
    }
    reportPerSample(state);
}
BENCHMARK(PunchOneByOne_49Sections);

void Exciter_FullMix(benchmark::State& state) {
    Block block;
    Exciter exciter;
    for (auto _ : state) {
        block.refill();
        exciter.process(block.left.data(), block.right.data(), kBlock, 1.0f, 0.6f, kRate);
        benchmark::DoNotOptimize(block.left.data());
    }
    reportPerSample(state);
}
BENCHMARK(Exciter_FullMix);

} // namespace
