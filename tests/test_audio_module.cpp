// The audio path through the module's binary interface: bypass, path delay per rate, block-size
// independence, volume and mono.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "dsp/audio_path.h"
#include "engine/parameter_ids.h"
#include "support/audio_path_rig.h"
#include "support/test_helpers.h"

namespace {

struct Stereo {
    std::vector<float> left, right;
};

Stereo noiseInput(size_t length, unsigned seed) {
    return {whiteNoise(length, seed), whiteNoise(length, seed + 1)};
}

// Band-limited test signal: a few sines below a quarter of the rate, so the half-rate path keeps it.
Stereo toneInput(size_t length, float rate) {
    Stereo s{std::vector<float>(length, 0.0f), std::vector<float>(length, 0.0f)};
    const double freqs[] = {173.0, 611.0, 1459.0, 3301.0, 7003.0};
    for (size_t t = 0; t < length; ++t)
        for (int i = 0; i < 5; ++i) {
            s.left[t] += 0.1f * static_cast<float>(std::sin(2 * M_PI * freqs[i] * t / rate + i));
            s.right[t] += 0.1f * static_cast<float>(std::cos(2 * M_PI * freqs[i] * 1.1 * t / rate + 2 * i));
        }
    return s;
}

// A started instance with every control neutral and a fresh audio state. The loudness section fades in
// over the first block it sees and keeps its state across suspends, so one 512-sample block of silence
// brings every instance to the same settled state whatever block size follows.
std::unique_ptr<PluginInstance> neutralInstance(float rate, int blockSize) {
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

Stereo runThrough(PluginInstance& instance, Stereo signal, int blockSize) {
    instance.processInBlocks(signal.left.data(), signal.right.data(), signal.left.size(), blockSize);
    return signal;
}

TEST(AudioModule, BypassIsBitExactAndFreezesTheAudioState) {
    auto bypassed = neutralInstance(44100.0f, 512);
    auto plain = neutralInstance(44100.0f, 512);
    for (auto* instance : {bypassed.get(), plain.get()}) {
        instance->setParameter(kNoiseReduction, 0.4f);
        instance->setParameter(kTone, 0.8f);
        instance->setParameter(kVolume, 0.7f);
    }
    const auto first = noiseInput(3000, 1);
    runThrough(*bypassed, first, 512);
    runThrough(*plain, first, 512);

    bypassed->setParameter(kBypass, 0.51f);
    auto middle = noiseInput(2000, 3);
    middle.left[5] = NAN;
    const auto out = runThrough(*bypassed, middle, 333);
    EXPECT_EQ(std::memcmp(out.left.data(), middle.left.data(), middle.left.size() * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(out.right.data(), middle.right.data(), middle.right.size() * sizeof(float)), 0);

    bypassed->setParameter(kBypass, 0.0f);
    const auto last = noiseInput(3000, 5);
    const auto a = runThrough(*bypassed, last, 512);
    const auto b = runThrough(*plain, last, 512);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
}

struct DelayCase {
    float rate;
    int expectedLag;
};

class PathDelay : public ::testing::TestWithParam<DelayCase> {};

// The lag at which the output with a spectral stage on best matches the output with it off.
int bestLag(const std::vector<float>& delayed, const std::vector<float>& direct, int from, int to) {
    int best = from;
    double bestScore = -1e30;
    for (int lag = from; lag <= to; ++lag) {
        double score = 0;
        for (size_t t = 6000; t < delayed.size(); ++t)
            score += delayed[t] * direct[t - static_cast<size_t>(lag)];
        if (score > bestScore) bestScore = score, best = lag;
    }
    return best;
}

TEST_P(PathDelay, NoiseReductionJustAboveItsThreshold) {
    const auto [rate, expectedLag] = GetParam();
    auto direct = neutralInstance(rate, 512);
    auto spectral = neutralInstance(rate, 512);
    spectral->setParameter(kNoiseReduction, 0.03f);
    // Noise keeps every bin above the gate; the half rate wants a band-limited signal to resample.
    const bool fullRate = expectedLag == kFullRateDelay;
    const auto input = fullRate ? noiseInput(16384, 13) : toneInput(16384, rate);
    const auto off = runThrough(*direct, input, 512);
    const auto on = runThrough(*spectral, input, 512);

    if (fullRate) {
        // Neutral settings add no delay; the spectral path adds exactly 767 samples.
        for (size_t t = kFullRateDelay; t < on.left.size(); ++t) {
            ASSERT_NEAR(on.left[t], off.left[t - kFullRateDelay], 2e-5f) << t;
            ASSERT_NEAR(on.right[t], off.right[t - kFullRateDelay], 2e-5f) << t;
        }
    }
    EXPECT_NEAR(bestLag(on.left, off.left, expectedLag - 20, expectedLag + 20), expectedLag, 1);
    EXPECT_NEAR(bestLag(on.right, off.right, expectedLag - 20, expectedLag + 20), expectedLag, 1);
}

INSTANTIATE_TEST_SUITE_P(Rates, PathDelay,
                         ::testing::Values(DelayCase{44100.0f, 767}, DelayCase{48000.0f, 767},
                                           DelayCase{88200.0f, 1535}, DelayCase{96000.0f, 1535}));

class BlockSizes : public ::testing::TestWithParam<float> {};

TEST_P(BlockSizes, OutputDoesNotDependOnTheHostBlockSize) {
    const float rate = GetParam();
    const bool halfRate = rate > 50000.0f;
    const auto input = noiseInput(12000, 7);
    Stereo reference;
    // Odd blocks are not supported at the half rate, so it gets even sizes.
    const std::vector<int> sizes =
        halfRate ? std::vector<int>{256, 2, 100, 514, 4096} : std::vector<int>{256, 1, 100, 513, 4096};
    for (int size : sizes) {
        auto instance = neutralInstance(rate, size);
        instance->setParameter(kNoiseReduction, 0.2f);
        instance->setParameter(kVirtualSurround, 0.7f);
        instance->setParameter(kTone, 0.3f);
        instance->setParameter(kVolume, 0.6f);
        const auto out = runThrough(*instance, input, size);
        if (reference.left.empty()) {
            reference = out;
            continue;
        }
        EXPECT_EQ(out.left, reference.left) << size;
        EXPECT_EQ(out.right, reference.right) << size;
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, BlockSizes, ::testing::Values(44100.0f, 48000.0f, 96000.0f));

TEST(AudioModule, VolumeZeroSilencesSupportedRatesOnly) {
    for (float rate : {44100.0f, 48000.0f, 88200.0f, 96000.0f, 32000.0f, 192000.0f}) {
        const bool supported = rate == 44100.0f || rate == 48000.0f || rate == 88200.0f || rate == 96000.0f;
        for (float noiseReduction : {0.0f, 0.3f}) {
            auto silent = neutralInstance(rate, 512);
            auto full = neutralInstance(rate, 512);
            silent->setParameter(kVolume, 0.0f);
            full->setParameter(kVolume, 1.0f);
            for (auto* instance : {silent.get(), full.get()})
                instance->setParameter(kNoiseReduction, noiseReduction);
            const auto input = noiseInput(4096, 9);
            const auto out = runThrough(*silent, input, 512);
            if (supported) {
                for (size_t t = 0; t < out.left.size(); ++t) {
                    ASSERT_EQ(out.left[t], 0.0f) << rate << " " << t;
                    ASSERT_EQ(out.right[t], 0.0f) << rate << " " << t;
                }
            } else {
                const auto unscaled = runThrough(*full, input, 512);
                EXPECT_EQ(out.left, unscaled.left) << rate;
                EXPECT_EQ(out.right, unscaled.right) << rate;
            }
        }
    }
}

TEST(AudioModule, MonoMakesTheChannelsIdentical) {
    for (float rate : {44100.0f, 48000.0f, 96000.0f, 32000.0f}) {
        auto instance = neutralInstance(rate, 512);
        instance->setParameter(kMono, 1.0f);
        instance->setParameter(kVirtualSurround, 1.0f);
        instance->setParameter(kSilkySurround, 0.8f);
        instance->setParameter(kVolume, 0.8f);
        const auto out = runThrough(*instance, noiseInput(4096, 11), 512);
        EXPECT_EQ(out.left, out.right) << rate;
    }
}

} // namespace
