// The whole effect driven through its AEffect record by the host library, in process as the renderer
// does it: three programs at 44.1 kHz in 512-, 64- and 32-sample host blocks, and at 96 kHz (half-rate
// spectral path) in 512-sample blocks. realtime_factor: seconds of audio processed per second of CPU time.
#include <benchmark/benchmark.h>
#include <cmath>
#include <string>
#include <vector>

#include "engine/px_audio.h"
#include "tools/hostlib/plugin_host.h"

namespace {

AEffect* createInProcess(audioMasterCallback hostCallback) {
    AudioEffect* created = createEffectInstance(hostCallback);
    return created ? created->getAeffect() : nullptr;
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

    // Two seconds of a mix-like signal, played in a loop so the stages see changing material.
    const int length = 2 * static_cast<int>(rate);
    std::vector<float> sourceLeft(length), sourceRight(length);
    uint32_t noise = 12345;
    const float scale = 44100.0f / rate; // the same tones at every rate
    for (int i = 0; i < length; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const float hiss = (static_cast<float>(noise >> 8) / 16777216.0f - 0.5f) * 0.05f;
        const float t = static_cast<float>(i) * scale;
        sourceLeft[i] = 0.3f * std::sin(0.0142f * t) + 0.1f * std::sin(0.21f * t) + hiss;
        sourceRight[i] = 0.3f * std::sin(0.0151f * t) + 0.1f * std::sin(0.17f * t) - hiss;
    }
    std::vector<float> outLeft(block), outRight(block);
    float* outputs[2] = {outLeft.data(), outRight.data()};
    int position = 0;
    for (auto _ : state) {
        float* inputs[2] = {sourceLeft.data() + position, sourceRight.data() + position};
        host->processReplacing(inputs, outputs, block);
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::ClobberMemory();
        position += block;
        if (position + block > length) position = 0;
    }
    state.counters["realtime_factor"] =
        benchmark::Counter(block / static_cast<double>(rate), benchmark::Counter::kIsIterationInvariantRate);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * block);
    host->suspend();
    host->close();
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
    }
    return true;
}();

} // namespace
