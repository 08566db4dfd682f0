// The complete audio path through the module: every factory program, block-size independence, agreement
// with the stages run by hand, recovery from non-finite input.
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "dsp/exciter.h"
#include "dsp/loudness.h"
#include "dsp/punch.h"
#include "dsp/three_band.h"
#include "engine/factory_presets.h"
#include "test_helpers.h"
#include "test_signals.h"

namespace {

struct Stereo {
    std::vector<float> left, right;
};

Stereo noise(size_t length, unsigned seed) {
    return {uniformNoise(length, seed), uniformNoise(length, seed + 7)};
}

// A running instance on program p whose loudness fade-in is over: the section fades in across the first
// block it ever sees and keeps its state across suspends, so one 512-sample block of silence settles it.
std::unique_ptr<PluginInstance> settledInstance(int program, float rate = 44100.0f) {
    auto plugin = newInstance();
    plugin->start(rate, 512);
    plugin->dispatch(effSetProgram, 0, program);
    std::vector<float> left(512, 0.0f), right(512, 0.0f);
    plugin->process(left.data(), right.data(), 512);
    plugin->suspend();
    plugin->resume();
    return plugin;
}

Stereo runBlocks(PluginInstance& instance, Stereo signal, int blockSize) {
    instance.processInBlocks(signal.left.data(), signal.right.data(), signal.left.size(), blockSize);
    return signal;
}

bool allFinite(const Stereo& s) {
    for (size_t i = 0; i < s.left.size(); ++i)
        if (!std::isfinite(s.left[i]) || !std::isfinite(s.right[i])) return false;
    return true;
}

void mixToMono(std::vector<float>& left, std::vector<float>& right, size_t from, size_t n) {
    for (size_t i = from; i < from + n; ++i)
        left[i] = right[i] = (left[i] + right[i]) * 0.5f;
}

// The time-domain part of the path, built from the stage classes in the documented order.
Stereo byHand(const float* p, Stereo s, int blockSize, float rate) {
    Loudness loudness;
    Punch punch;
    ThreeBand threeBand;
    Exciter exciter;
    punch.reset();
    threeBand.reset();
    exciter.reset();
    // The same settling block the module saw.
    std::vector<float> silenceL(512, 0.0f), silenceR(512, 0.0f);
    const auto design = [&] {
        loudness.mix = 2.0f * p[kLoudnessMix];
        loudness.bassBoost = p[kLoudnessBassBoost];
        loudness.setSampleRate(rate);
    };
    design();
    loudness.process(silenceL.data(), silenceR.data(), 512);
    const float gain = 8.0f * p[kVolume] * p[kVolume] * p[kVolume];
    for (size_t start = 0; start < s.left.size(); start += static_cast<size_t>(blockSize)) {
        const size_t n = std::min<size_t>(static_cast<size_t>(blockSize), s.left.size() - start);
        float* l = s.left.data() + start;
        float* r = s.right.data() + start;
        const int32_t count = static_cast<int32_t>(n);
        design();
        loudness.process(l, r, count);
        if (Punch::sectionCount(p[kLazerPunch]) > 0) punch.process(l, r, count, p[kLazerPunch], rate);
        if (ThreeBand::isActive(p)) threeBand.process(l, r, count, p, rate);
        if (p[kMono] > 0.5f) mixToMono(s.left, s.right, start, n);
        if (Exciter::isActive(p[kExciterMix]))
            exciter.process(l, r, count, p[kExciterMix], p[kExciterFreq], rate);
        for (size_t i = 0; i < n; ++i) {
            l[i] *= gain;
            r[i] *= gain;
        }
        if (p[kMono] > 0.5f) mixToMono(s.left, s.right, start, n);
    }
    return s;
}

} // namespace

TEST(WholePath, EveryFactoryProgramIsFiniteAndIndependentOfTheBlockSize) {
    const auto input = noise(6000, 3);
    for (int program = 0; program < kNumNamedPresets + 1; ++program) {
        Stereo reference;
        for (int blockSize : {4096, 1, 64, 256}) {
            auto plugin = settledInstance(program);
            const auto out = runBlocks(*plugin, input, blockSize);
            ASSERT_TRUE(allFinite(out)) << "program " << program << " block " << blockSize;
            if (reference.left.empty()) {
                reference = out;
                continue;
            }
            ASSERT_EQ(out.left, reference.left) << "program " << program << " block " << blockSize;
            ASSERT_EQ(out.right, reference.right) << "program " << program << " block " << blockSize;
        }
    }
}

TEST(WholePath, TimeDomainProgramsEqualTheStagesRunByHand) {
    // Programs whose spectral stages are all off: loudness, punch, three-band, mono, exciter, volume.
    const auto input = noise(5000, 11);
    for (int program : {21, 31, 43, 44, 56, 57, 65, 68, 69}) {
        float p[kNumParams] = {};
        for (int i = 0; i < kNumUsedParams; ++i)
            p[i] = factoryPresets[program].values[i];
        if (program == 65) p[kDiffuseCream] = 0.0f; // keep this one time-domain only
        auto plugin = settledInstance(program);
        if (program == 65) plugin->setParameter(kDiffuseCream, 0.0f);
        for (int blockSize : {512, 100}) {
            const auto expected = byHand(p, input, blockSize, 44100.0f);
            auto fresh = settledInstance(program);
            if (program == 65) fresh->setParameter(kDiffuseCream, 0.0f);
            const auto out = runBlocks(*fresh, input, blockSize);
            EXPECT_EQ(out.left, expected.left) << "program " << program << " block " << blockSize;
            EXPECT_EQ(out.right, expected.right) << "program " << program << " block " << blockSize;
        }
    }
}

TEST(WholePath, NonFiniteBurstDoesNotPoisonLaterAudio) {
    for (int program : {0, 18, 31, 43, 56, 72}) {
        auto hit = settledInstance(program);
        auto clean = settledInstance(program);
        auto before = noise(4096, 21);
        runBlocks(*hit, before, 512);
        runBlocks(*clean, before, 512);

        auto burst = noise(512, 23);
        auto quiet = burst;
        for (int i = 0; i < 512; i += 3) {
            burst.left[i] = NAN;
            burst.right[i] = (i % 2) ? INFINITY : -INFINITY;
        }
        runBlocks(*hit, burst, 512);
        runBlocks(*clean, quiet, 512);

        // Non-finite samples count as silence; one path delay after the burst the output is sound again.
        const auto after = noise(8192, 25);
        const auto out = runBlocks(*hit, after, 512);
        ASSERT_TRUE(allFinite(out)) << "program " << program;
        double energy = 0;
        for (size_t i = 767; i < out.left.size(); ++i)
            energy += out.left[i] * out.left[i];
        EXPECT_GT(energy, 1.0) << "program " << program;
    }
}

TEST(WholePath, LowRatesStayStableWithEveryProgram) {
    // Only the time-domain stages run here; their coefficients must stay in their stable range.
    const auto input = noise(8000, 31);
    for (float rate : {8000.0f, 11025.0f, 22050.0f}) {
        for (int program = 0; program < kNumNamedPresets; ++program) {
            auto plugin = settledInstance(program, rate);
            const auto out = runBlocks(*plugin, input, 512);
            ASSERT_TRUE(allFinite(out)) << rate << " Hz, program " << program;
            float peak = 0.0f;
            for (float v : out.left)
                peak = std::max(peak, std::fabs(v));
            EXPECT_LT(peak, 100.0f) << rate << " Hz, program " << program;
        }
    }
}
