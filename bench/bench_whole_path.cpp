// The whole effect at 44.1 kHz in 512-sample blocks, driven through its AEffect record as a host does.
// realtime_factor: seconds of audio processed per second of CPU time.
#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

#include "engine/px_audio.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr int kBlock = 512;

VstIntPtr VSTCALLBACK benchHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

void BM_WholePath(benchmark::State& state, int program) {
    AudioEffect* created = createEffectInstance(benchHost);
    if (!created) {
        state.SkipWithError("no effect");
        return;
    }
    AEffect* effect = created->getAeffect();
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, kRate);
    effect->dispatcher(effect, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
    effect->dispatcher(effect, effSetProgram, 0, program, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

    // Two seconds of a mix-like signal, played in a loop so the stages see changing material.
    const int length = 2 * static_cast<int>(kRate);
    std::vector<float> sourceLeft(length), sourceRight(length);
    uint32_t noise = 12345;
    for (int i = 0; i < length; ++i) {
        noise = noise * 1664525u + 1013904223u;
        float hiss = (static_cast<float>(noise >> 8) / 16777216.0f - 0.5f) * 0.05f;
        sourceLeft[i] = 0.3f * std::sin(0.0142f * i) + 0.1f * std::sin(0.21f * i) + hiss;
        sourceRight[i] = 0.3f * std::sin(0.0151f * i) + 0.1f * std::sin(0.17f * i) - hiss;
    }
    std::vector<float> outLeft(kBlock), outRight(kBlock);
    float* outputs[2] = {outLeft.data(), outRight.data()};
    int position = 0;
    for (auto _ : state) {
        float* inputs[2] = {sourceLeft.data() + position, sourceRight.data() + position};
        effect->processReplacing(effect, inputs, outputs, kBlock);
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::ClobberMemory();
        position += kBlock;
        if (position + kBlock > length) position = 0;
    }
    state.counters["realtime_factor"] = benchmark::Counter(kBlock / static_cast<double>(kRate),
                                                           benchmark::Counter::kIsIterationInvariantRate);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kBlock);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

} // namespace

BENCHMARK_CAPTURE(BM_WholePath, default_program, 0);
BENCHMARK_CAPTURE(BM_WholePath, program_72, 72);
BENCHMARK_CAPTURE(BM_WholePath, neutral_program, 73);
