// The audio path through the module's binary interface where it can be driven from there: the rates and
// their exchanges, the delay, bypass, volume, mono and block-size independence; the driver's own state
// (reset, the odd-block warning) through an AudioPath of its own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>

#include <vector>

#include "engine/parameter_ids.h"
#include "support/audio_path_rig.h"
#include "support/test_helpers.h"

namespace {

struct Stereo {
    std::vector<float> left, right;
};

Stereo noiseInput(size_t length, unsigned seed) {
    return {uniformNoise(length, seed), uniformNoise(length, seed + 1)};
}

bool isHalfRate(float rate) {
    return rate == 88200.0f || rate == 96000.0f;
}
bool isSupported(float rate) {
    return isHalfRate(rate) || rate == 44100.0f || rate == 48000.0f;
}

// A started instance with every control neutral and a fresh audio state. The loudness section fades in
// over the first block it sees and keeps its state across suspends, so one 512-sample block of silence
// brings every instance to the same settled state whatever block size follows.
std::unique_ptr<PluginInstance> neutralInstance(float rate, int blockSize = 512) {
    auto instance = newInstance();
    instance->start(rate, blockSize);
    for (int i = 0; i < kNumParams; ++i)
        instance->setParameter(i, AudioPathRig::neutralValue(i));
    std::vector<float> left(512, 0.0f), right(512, 0.0f);
    instance->process(left.data(), right.data(), 512);
    instance->suspend();
    instance->resume();
    return instance;
}

Stereo runThrough(PluginInstance& instance, Stereo signal, int blockSize = 512) {
    instance.processInBlocks(signal.left.data(), signal.right.data(), signal.left.size(), blockSize);
    return signal;
}

// Virtual surround below 1/16 turns every bin by exactly zero: a spectral stage that is on and transparent.
constexpr float kTransparentSurround = 0.05f;

// The half-rate exchange, unscaled: with a transparent stage on, pairs averaged, 767 half-rate samples of
// delay, each pair rebuilt as the midpoint to the previous value and the value itself; then, on or off, a
// two-tap average.
std::vector<float> halfRateExchange(const std::vector<float>& in, bool stageOn) {
    std::vector<float> rebuilt = in, out(in.size());
    float previous = 0.0f;
    for (size_t m = 0; stageOn && 2 * m + 1 < in.size(); ++m) {
        const float o = m >= 767 ? (in[2 * (m - 767)] + in[2 * (m - 767) + 1]) * 0.5f : 0.0f;
        rebuilt[2 * m] = (o + previous) * 0.5f;
        rebuilt[2 * m + 1] = previous = o;
    }
    for (size_t n = 0; n < in.size(); ++n)
        out[n] = (rebuilt[n] + (n > 0 ? rebuilt[n - 1] : 0.0f)) * 0.5f;
    return out;
}

std::vector<float> delayed(const std::vector<float>& in, size_t lag) {
    std::vector<float> out(lag, 0.0f);
    out.insert(out.end(), in.begin(), in.end() - static_cast<std::ptrdiff_t>(lag));
    return out;
}

// Volume 0.7 with a transparent stage off and on. At the full rates the output is 8 v^3 times the neutral
// output, delayed by exactly 767 samples when the stage is on; at the half rates it goes through the
// half-rate exchange (about 1535 samples of delay, which a slow sine shows); elsewhere neither the volume
// nor the stage does anything.
TEST(AudioPath, RatesExchangeDelayAndVolume) {
    const float volume = 0.7f;
    for (float rate : {44100.0f, 48000.0f, 88200.0f, 96000.0f, 32000.0f, 192000.0f, 44099.0f})
        for (int stage = 0; stage < (isHalfRate(rate) ? 3 : 2); ++stage) {
            const bool on = stage > 0, sine = stage == 2;
            Stereo input = noiseInput(12000, 13);
            if (sine) input.left = sineWave(500.0, rate, 12000);
            Stereo off = input, out = input;
            if (isHalfRate(rate)) {
                // The module's loudness section cannot be switched off, and its neutral output at these
                // rates is already averaged: the driver alone shows the exchange against its own input.
                AudioPathRig rig(rate);
                rig.params[kVirtualSurround] = on ? kTransparentSurround : 0.0f;
                rig.params[kVolume] = volume;
                rig.run(out.left, out.right, 512);
            } else {
                auto neutral = neutralInstance(rate), instance = neutralInstance(rate);
                instance->setParameter(kVirtualSurround, on ? kTransparentSurround : 0.0f);
                instance->setParameter(kVolume, volume);
                off = runThrough(*neutral, input), out = runThrough(*instance, input);
            }
            const float gain = isSupported(rate) ? 8.0f * volume * volume * volume : 1.0f;
            for (int side = 0; side < (sine ? 1 : 2); ++side) {
                const auto& got = side ? out.right : out.left;
                const auto& reference = side ? off.right : off.left;
                const auto expected = sine                      ? delayed(reference, 1535)
                                      : isHalfRate(rate)        ? halfRateExchange(reference, on)
                                      : isSupported(rate) && on ? delayed(reference, 767)
                                                                : reference;
                for (size_t t = sine ? 2000 : 0; t < got.size(); ++t)
                    ASSERT_NEAR(got[t], gain * expected[t], gain * (sine ? 2e-3f : 2e-5f))
                        << rate << " Hz, stage " << stage << ", side " << side << " at " << t;
            }
        }
}

TEST(AudioPath, BypassIsBitExactAboveOneHalfAndFreezesTheAudioState) {
    auto bypassed = neutralInstance(44100.0f), plain = neutralInstance(44100.0f);
    for (auto* instance : {bypassed.get(), plain.get()}) {
        instance->setParameter(kNoiseReduction, 0.4f);
        instance->setParameter(kVolume, 0.7f);
    }
    const auto first = noiseInput(3000, 1);
    runThrough(*bypassed, first);
    runThrough(*plain, first);

    auto middle = noiseInput(2000, 3);
    bypassed->setParameter(kBypass, 0.5f); // the middle of the range still processes
    EXPECT_NE(runThrough(*bypassed, middle, 1).left, middle.left);
    runThrough(*plain, middle, 1);
    bypassed->setParameter(kBypass, 0.51f);
    middle.left[5] = NAN;
    const auto out = runThrough(*bypassed, middle, 333);
    EXPECT_EQ(std::memcmp(out.left.data(), middle.left.data(), middle.left.size() * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(out.right.data(), middle.right.data(), middle.right.size() * sizeof(float)), 0);

    bypassed->setParameter(kBypass, 0.0f);
    const auto last = noiseInput(3000, 5);
    const auto a = runThrough(*bypassed, last), b = runThrough(*plain, last);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
}

// Mono (at the half rate here) leaves the two channels identical.
TEST(AudioPath, OutputDoesNotDependOnTheHostBlockSize) {
    const auto input = noiseInput(12000, 7);
    for (float rate : {48000.0f, 96000.0f}) {
        Stereo reference;
        // Odd blocks are not supported at the half rate, so it gets even sizes.
        for (int size : {256, isHalfRate(rate) ? 2 : 1, 100, isHalfRate(rate) ? 514 : 513, 4096}) {
            auto instance = neutralInstance(rate, size);
            instance->setParameter(kNoiseReduction, 0.2f);
            instance->setParameter(kVirtualSurround, 0.7f);
            instance->setParameter(kTone, 0.3f);
            instance->setParameter(kLazerPunch, 0.6f);
            instance->setParameter(kVolume, 0.6f);
            instance->setParameter(kMono, isHalfRate(rate) ? 1.0f : 0.0f);
            const auto out = runThrough(*instance, input, size);
            EXPECT_EQ(out.left == out.right, isHalfRate(rate));
            if (reference.left.empty()) reference = out;
            EXPECT_EQ(out.left, reference.left) << rate << " Hz, block " << size;
            EXPECT_EQ(out.right, reference.right) << rate << " Hz, block " << size;
        }
    }
}

// After a reset the path plays exactly as a new one would, at the half rate with its extra state too.
TEST(AudioPathState, ResetForgetsEverythingButTheLoudnessSection) {
    for (float rate : {44100.0f, 96000.0f}) {
        AudioPathRig used(rate), fresh(rate);
        for (AudioPathRig* rig : {&used, &fresh}) {
            rig->params[kTone] = 0.8f;
            rig->params[kLazerPunch] = 0.5f;
            rig->params[kEqLow] = 0.9f;
            rig->params[kExciterMix] = 0.5f;
        }
        auto left = uniformNoise(5000, 1), right = uniformNoise(5000, 2);
        used.run(left, right, 500);
        used.path->resetVariables();
        EXPECT_EQ(used.path->pathDelay(), isHalfRate(rate) ? kHalfRateDelay : kFullRateDelay);
        auto usedL = uniformNoise(3000, 3), usedR = uniformNoise(3000, 4), freshL = usedL, freshR = usedR;
        used.run(usedL, usedR, 500);
        fresh.run(freshL, freshR, 500);
        EXPECT_EQ(usedL, freshL) << rate;
        EXPECT_EQ(usedR, freshR) << rate;
    }
}

// At the half rate the first odd block after a reset warns and comes back as the time-domain stages left
// it (here: untouched); the next one is processed.
TEST(AudioPathState, FirstOddBlockAtHalfRateWarnsOncePerReset) {
    AudioPathRig rig(96000.0f);
    int warnings = 0;
    rig.path->setWarningHandler([](void* count) { ++*static_cast<int*>(count); }, &warnings);
    rig.params[kTone] = 0.8f;
    for (int block = 0; block < 4; ++block) {
        if (block == 2) rig.path->resetVariables();
        auto left = uniformNoise(513, block), right = left;
        const auto input = left;
        rig.run(left, right, 513);
        EXPECT_EQ(warnings, block < 2 ? 1 : 2);
        EXPECT_EQ(left == input, block % 2 == 0) << block;
    }
}

} // namespace
