// The whole effect driven through its AEffect record by the host library, in process as the renderer
// does it: three programs at 44.1 kHz in 512-, 64- and 32-sample host blocks, and at 96 kHz (half-rate
// spectral path) in 512-sample blocks; the default program also through the LV2 edition's binary, as an LV2
// host runs it. realtime_factor: seconds of audio processed per second of CPU time.
#include <benchmark/benchmark.h>
#include <cmath>
#include <string>
#include <vector>

#include "engine/px_audio.h"
#include "tools/hostlib/lv2_host.h"
#include "tools/hostlib/plugin_host.h"

namespace {

AEffect* createInProcess(audioMasterCallback hostCallback) {
    AudioEffect* created = createEffectInstance(hostCallback);
    return created ? created->getAeffect() : nullptr;
}

// Two seconds of a mix-like signal, played in a loop so the stages see changing material.
void mixLikeSignal(float rate, std::vector<float>& left, std::vector<float>& right) {
    const int length = 2 * static_cast<int>(rate);
    left.resize(length);
    right.resize(length);
    uint32_t noise = 12345;
    const float scale = 44100.0f / rate; // the same tones at every rate
    for (int i = 0; i < length; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const float hiss = (static_cast<float>(noise >> 8) / 16777216.0f - 0.5f) * 0.05f;
        const float t = static_cast<float>(i) * scale;
        left[i] = 0.3f * std::sin(0.0142f * t) + 0.1f * std::sin(0.21f * t) + hiss;
        right[i] = 0.3f * std::sin(0.0151f * t) + 0.1f * std::sin(0.17f * t) - hiss;
    }
}

// Runs process(inputs, outputs) over the looped signal in blocks and reports the real-time factor.
template <typename Process>
void measure(benchmark::State& state, int block, float rate, const Process& process) {
    std::vector<float> sourceLeft, sourceRight;
    mixLikeSignal(rate, sourceLeft, sourceRight);
    const int length = static_cast<int>(sourceLeft.size());
    std::vector<float> outLeft(block), outRight(block);
    float* outputs[2] = {outLeft.data(), outRight.data()};
    int position = 0;
    for (auto _ : state) {
        float* inputs[2] = {sourceLeft.data() + position, sourceRight.data() + position};
        process(inputs, outputs);
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::ClobberMemory();
        position += block;
        if (position + block > length) position = 0;
    }
    state.counters["realtime_factor"] =
        benchmark::Counter(block / static_cast<double>(rate), benchmark::Counter::kIsIterationInvariantRate);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * block);
}

void wholePath(benchmark::State& state, int program, int block, float rate) {
    auto host = PluginInstance::create(&createInProcess, PluginInstance::Behaviour{});
    if (!host) {
        state.SkipWithError("no effect");
        return;
    }
    host->dispatch(effOpen);
    host->dispatch(effSetProgram, 0, program);
    host->start(rate, block);
    measure(state, block, rate,
            [&](float** inputs, float** outputs) { host->processReplacing(inputs, outputs, block); });
    host->suspend();
    host->close();
}

// The same through the LV2 edition's binary as an LV2 host runs it, the program's values on its control
// ports.
void wholePathLv2(benchmark::State& state, int program, int block, float rate) {
    PxAudio programs(nullptr);
    const float* values = programs.program(program).values;
    std::string error;
    auto host = Lv2Instance::create(LUMERIC_LV2_BUNDLE, "lumeric.so",
                                    std::vector<float>(values, values + kNumParams), rate, &error);
    if (!host) {
        state.SkipWithError(error.c_str());
        return;
    }
    measure(state, block, rate,
            [&](float** in, float** out) { host->run(in[0], in[1], out[0], out[1], block); });
}

// Names read WholePath/<program>/<block>/<rate>; bench/report.py picks them apart.
const bool registered = [] {
    struct Program {
        const char* name;
        int index;
    };
    const Program programs[] = {{"default_program", 0}, {"program_72", 72}, {"neutral_program", 73}};
    const struct {
        int block;
        float rate;
    } settings[] = {{512, 44100.0f}, {64, 44100.0f}, {32, 44100.0f}, {512, 96000.0f}};
    for (const auto& setting : settings) {
        for (const Program& program : programs) {
            const std::string name = std::string("WholePath/") + program.name + "/" +
                                     std::to_string(setting.block) + "/" +
                                     std::to_string(static_cast<int>(setting.rate));
            benchmark::RegisterBenchmark(name.c_str(), wholePath, program.index, setting.block, setting.rate);
        }
        const std::string lv2 = "WholePath/lv2_default_program/" + std::to_string(setting.block) + "/" +
                                std::to_string(static_cast<int>(setting.rate));
        benchmark::RegisterBenchmark(lv2.c_str(), wholePathLv2, 0, setting.block, setting.rate);
    }
    return true;
}();

} // namespace
