// The block driver on the audio path itself: the odd-block warning, non-finite input, reset, the switch
// into processing, the rates without an exchange and the display feed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/audio_path_rig.h"

namespace {

struct WarningCounter {
    int calls = 0;
    static void handle(void* context) { ++static_cast<WarningCounter*>(context)->calls; }
};

// The loudness section alone, set up as the driver sets it for neutral controls.
std::vector<float> loudnessOnly(Loudness& loudness, std::vector<float> left, std::vector<float>& right,
                                float rate) {
    loudness.mix = 0.0f;
    loudness.bassBoost = 0.0f;
    loudness.setSampleRate(rate);
    loudness.process(left.data(), right.data(), static_cast<long>(left.size()));
    return left;
}

TEST(BlockDriver, NeutralSettingsGiveTheLoudnessResultUndelayed) {
    AudioPathRig rig(44100.0f, true);
    auto left = whiteNoise(3000, 1);
    auto right = whiteNoise(3000, 2);
    auto refRight = right;
    Loudness reference;
    reference.setSampleRate(44100.0f);
    const auto expectedLeft = loudnessOnly(reference, left, refRight, 44100.0f);
    const auto outLeft = rig.run(left, right, 3000);
    EXPECT_EQ(outLeft, expectedLeft);
    EXPECT_EQ(right, refRight);
    EXPECT_EQ(rig.path->pathDelay(), 0);
}

TEST(BlockDriver, BypassFreezesStateAndDisplay) {
    AudioPathRig withBypass, without;
    for (auto* rig : {&withBypass, &without})
        rig->params[kNoiseReduction] = 0.3f;
    auto a = whiteNoise(1000, 3), b = whiteNoise(1000, 4), c = whiteNoise(1000, 5);
    auto ra = a, rb = b, rc = c, ra2 = a, rc2 = c;
    withBypass.run(a, ra, 1000);
    without.run(a, ra2, 1000);
    const uint64_t counter = withBypass.path->feed.displayCounter.load();
    const float level = withBypass.path->feed.levelDisp[50].load();

    withBypass.params[kBypass] = 0.51f;
    b[17] = NAN;
    const auto bypassed = withBypass.run(b, rb, 1000);
    EXPECT_EQ(std::memcmp(bypassed.data(), b.data(), b.size() * sizeof(float)), 0);
    EXPECT_EQ(withBypass.path->feed.displayCounter.load(), counter);
    EXPECT_EQ(withBypass.path->feed.levelDisp[50].load(), level);

    withBypass.params[kBypass] = 0.0f;
    EXPECT_EQ(withBypass.run(c, rc, 1000), without.run(c, rc2, 1000));
    EXPECT_EQ(rc, rc2);
}

TEST(BlockDriver, NonFiniteInputCountsAsSilence) {
    AudioPathRig poisoned, clean;
    for (auto* rig : {&poisoned, &clean}) {
        rig->params[kNoiseReduction] = 0.3f;
        rig->params[kVolume] = 0.7f;
    }
    auto left = whiteNoise(4096, 6), right = whiteNoise(4096, 7);
    auto badLeft = left, badRight = right;
    for (size_t i : {10u, 500u, 2047u}) {
        badLeft[i] = NAN;
        badRight[i + 1] = INFINITY;
        left[i] = 0.0f;
        right[i + 1] = 0.0f;
    }
    badLeft[3000] = -INFINITY;
    left[3000] = 0.0f;
    const auto out = poisoned.run(badLeft, badRight, 300);
    EXPECT_EQ(out, clean.run(left, right, 300));
    EXPECT_EQ(badRight, right);
    for (float v : out)
        ASSERT_TRUE(std::isfinite(v));
}

TEST(BlockDriver, SpectralPathLagsAfterResetWithSilence) {
    AudioPathRig rig;
    rig.params[kNoiseReduction] = 0.03f;
    EXPECT_EQ(rig.path->pathDelay(), kFullRateDelay);
    auto left = whiteNoise(2048, 8), right = whiteNoise(2048, 9);
    const auto out = rig.run(left, right, 64);
    for (int i = 0; i < kFullRateDelay; ++i)
        ASSERT_NEAR(out[i], 0.0f, 1e-7f) << i;
    for (int i = kFullRateDelay; i < 2048; ++i)
        ASSERT_NEAR(out[i], left[i - kFullRateDelay], 1e-5f) << i;
}

// The processor runs right after every 256th sample, whatever the host block size.
TEST(BlockDriver, ProcessorCalledEvery256Samples) {
    for (int blockSize : {1, 100}) {
        AudioPathRig rig(48000.0f);
        rig.params[kTone] = 0.9f;
        std::vector<float> left(blockSize), right(blockSize);
        for (int done = blockSize; done <= 1024; done += blockSize) {
            float* io[2] = {left.data(), right.data()};
            rig.path->processReplacing(io, io, blockSize);
            ASSERT_EQ(rig.path->feed.displayCounter.load(), static_cast<uint64_t>(done / 256)) << done;
        }
    }
}

TEST(BlockDriver, SwitchingOnPlaysNoStaleOutputOrSpectra) {
    AudioPathRig rig;
    const auto left = whiteNoise(8192, 10);
    auto right = left;
    // Processing period, then analysis-only calls with the spectral stages off.
    rig.params[kNoiseReduction] = 0.03f;
    auto head = std::vector<float>(left.begin(), left.begin() + 2560);
    auto headRight = head;
    rig.run(head, headRight, 256);
    rig.params[kNoiseReduction] = 0.0f;
    auto middle = std::vector<float>(left.begin() + 2560, left.begin() + 4096);
    auto middleRight = middle;
    rig.run(middle, middleRight, 256);

    rig.params[kNoiseReduction] = 0.03f;
    auto tail = std::vector<float>(left.begin() + 4096, left.end());
    auto tailRight = tail;
    const auto out = rig.run(tail, tailRight, 256);
    // The first 255 samples read the cleared output block; the first processed block has only the
    // new frame's tail, which is silent; then the window ramps in and the delayed input follows.
    for (int i = 0; i < 511; ++i)
        ASSERT_NEAR(out[i], 0.0f, 1e-6f) << i;
    for (int i = 511; i < 767; ++i)
        ASSERT_LE(std::fabs(out[i]), std::fabs(left[4096 + i - 767]) + 1e-6f) << i;
    for (int i = 767; i < 4096; ++i)
        ASSERT_NEAR(out[i], left[4096 + i - 767], 1e-5f) << i;
}

TEST(BlockDriver, RatesWithoutExchangeSkipVolumeAndDisplay) {
    for (float rate : {32000.0f, 192000.0f, 44099.0f}) {
        AudioPathRig rig(rate, true);
        rig.params[kVolume] = 1.0f;
        rig.params[kNoiseReduction] = 0.5f;
        WarningCounter warnings;
        rig.path->setWarningHandler(&WarningCounter::handle, &warnings);
        auto left = whiteNoise(1001, 11), right = whiteNoise(1001, 12);
        auto refRight = right;
        Loudness reference;
        const auto expected =
            loudnessOnly(reference, left, refRight, static_cast<float>(static_cast<int>(rate)));
        EXPECT_EQ(rig.run(left, right, 1001), expected) << rate;
        EXPECT_EQ(rig.path->feed.displayCounter.load(), 0u);
        EXPECT_EQ(warnings.calls, 0);
        EXPECT_EQ(rig.path->pathDelay(), 0);
    }
}

TEST(BlockDriver, OddBlockWarningAtHalfRateOncePerReset) {
    AudioPathRig rig(96000.0f, true);
    rig.params[kVolume] = 1.0f; // gain 8 shows where the volume was applied
    rig.params[kTone] = 0.8f;
    WarningCounter warnings;
    rig.path->setWarningHandler(&WarningCounter::handle, &warnings);
    Loudness reference;

    // Even blocks never warn.
    auto left = whiteNoise(512, 13), right = whiteNoise(512, 14);
    auto refLeft = left, refRight = right;
    rig.run(left, right, 512);
    loudnessOnly(reference, refLeft, refRight, 96000.0f);
    EXPECT_EQ(warnings.calls, 0);

    // The first odd block warns and comes back as the time-domain stages left it.
    left = whiteNoise(513, 15), right = whiteNoise(513, 16);
    refLeft = left, refRight = right;
    const auto out = rig.run(left, right, 513);
    EXPECT_EQ(warnings.calls, 1);
    EXPECT_EQ(out, loudnessOnly(reference, refLeft, refRight, 96000.0f));
    EXPECT_EQ(right, refRight);
    const uint64_t counter = rig.path->feed.displayCounter.load();

    // Later odd blocks are processed. With volume 0 every pair is silent, so what remains is the last
    // sample, unscaled and halved by the two-tap average.
    rig.params[kVolume] = 0.0f;
    left = whiteNoise(513, 21), right = whiteNoise(513, 22);
    refLeft = left, refRight = right;
    const auto later = rig.run(left, right, 513);
    const auto timeDomain = loudnessOnly(reference, refLeft, refRight, 96000.0f);
    EXPECT_EQ(warnings.calls, 1);
    for (int i = 1; i < 512; ++i) // sample 0 averages with the previous block
        ASSERT_EQ(later[i], 0.0f) << i;
    EXPECT_EQ(later[512], timeDomain[512] * 0.5f);
    EXPECT_GT(rig.path->feed.displayCounter.load(), counter);

    rig.path->resetVariables();
    left = whiteNoise(301, 17), right = whiteNoise(301, 18);
    rig.run(left, right, 301);
    EXPECT_EQ(warnings.calls, 2);

    // With no spectral stage on, odd blocks never warn.
    rig.path->resetVariables();
    rig.params[kTone] = 0.5f;
    left = whiteNoise(301, 19), right = whiteNoise(301, 20);
    rig.run(left, right, 301);
    EXPECT_EQ(warnings.calls, 2);
}

TEST(BlockDriver, NonPositiveCountsTouchNothing) {
    AudioPathRig rig;
    rig.params[kNoiseReduction] = 0.5f;
    float in[4] = {1, 2, 3, 4};
    float out[4] = {9, 9, 9, 9};
    float* inputs[2] = {in, in};
    float* outputs[2] = {out, out};
    for (int32_t n : {0, -1, -1000})
        rig.path->processReplacing(inputs, outputs, n);
    for (float v : out)
        EXPECT_EQ(v, 9.0f);
    EXPECT_EQ(rig.path->blockPos, 0);
}

TEST(BlockDriver, ResetRestoresTheDisplayFeed) {
    AudioPathRig rig;
    rig.params[kDynamicFatBass] = 1.0f;
    auto left = whiteNoise(4096, 21, 1e-4f), right = left;
    rig.run(left, right, 512);
    EXPECT_GT(rig.path->feed.displayCounter.load(), 0u);
    rig.path->resetVariables();
    const DisplayFeed& feed = rig.path->feed;
    EXPECT_EQ(feed.displayCounter.load(), 0u);
    EXPECT_EQ(feed.displayDivider, 0);
    EXPECT_EQ(feed.bassLedCount.load(), 0);
    for (int k = 0; k < kDisplayColumns; ++k) {
        ASSERT_EQ(feed.levelDisp[k].load(), 400.0f);
        ASSERT_EQ(feed.smoothLog[k], 400.0f);
        ASSERT_EQ(feed.peakDisp[k].load(), 400.0f);
        ASSERT_EQ(feed.phaseDisp[k].load(), 0.0f);
        ASSERT_EQ(feed.magDisp[k].load(), 0.0f);
    }
}

} // namespace
