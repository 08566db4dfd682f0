// Spectral effects and the spectral block processor: stated figures, fast forms against the angle form,
// the transparent path, analysis-only calls and the display columns.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "dsp/audio_path.h"
#include "dsp/spectral_stages.h"
#include "test_signals.h"

namespace {

using namespace spectral;
constexpr int kN = kFrameLength;

std::vector<float> randomSpectrum(unsigned seed, float scale = 0.01f) {
    return uniformNoise(kN, seed, scale);
}

float binMagnitude(const std::vector<float>& s, int k) {
    return k == 0 ? std::fabs(s[0]) : std::sqrt(s[k] * s[k] + s[kN - k] * s[kN - k]);
}

// The straightforward forms: angle in double from the float parts, sine and cosine in single.
float angleOf(const std::vector<float>& s, int k) {
    return static_cast<float>(
        std::atan2(static_cast<double>(s[k]), k == 0 ? 0.0 : static_cast<double>(s[kN - k])));
}

void writePolar(std::vector<float>& s, int k, float m, float theta) {
    s[k] = m * std::sin(theta);
    if (k > 0) s[kN - k] = m * std::cos(theta);
}

void angleRotate(std::vector<float>& s, const std::function<float(int)>& delta) {
    for (int k = 1; k < kStageBins; ++k)
        writePolar(s, k, binMagnitude(s, k), angleOf(s, k) + delta(k));
}

void angleMagnitudes(std::vector<float>& s, const std::function<float(int, float)>& newMagnitude) {
    for (int k = 0; k < kStageBins; ++k) {
        const float m = binMagnitude(s, k);
        writePolar(s, k, newMagnitude(k, m), angleOf(s, k));
    }
}

// Single-precision agreement relative to the bin's input magnitude; the angle form also rounds
// theta + delta, whose size grows with the bin.
void expectAgree(
    const std::vector<float>& input, const std::vector<float>& fast, const std::vector<float>& reference,
    const std::function<float(int)>& delta = [](int) { return 0.0f; }) {
    for (int k = 0; k < kStageBins; ++k) {
        const float m = std::max(binMagnitude(input, k), binMagnitude(reference, k));
        const float angleSize = 4.0f + std::fabs(delta(k));
        const float tolerance = m * (2e-6f + 2.0f * angleSize * 1.2e-7f) + 1e-12f;
        ASSERT_NEAR(fast[k], reference[k], tolerance) << "bin " << k;
        if (k > 0) {
            ASSERT_NEAR(fast[kN - k], reference[kN - k], tolerance) << "bin " << k;
        }
    }
    for (int k = kStageBins; k <= kN / 2; ++k)
        ASSERT_EQ(fast[k], reference[k]) << "bin " << k;
}

TEST(SpectralStages, ThresholdsCompareInSinglePrecision) {
    for (float v : {0.45f, 0.5f, 0.55f, NAN})
        EXPECT_FALSE(isToneOn(v)) << v;
    EXPECT_TRUE(isToneOn(std::nextafter(0.45f, 0.0f)));
    EXPECT_TRUE(isToneOn(std::nextafter(0.55f, 1.0f)));
    EXPECT_FALSE(isAmountOn(0.02f));
    EXPECT_TRUE(isAmountOn(std::nextafter(0.02f, 1.0f)));
    EXPECT_FALSE(isFatBassOn(0.05f));
    EXPECT_FALSE(isAmountOn(NAN));
}

TEST(SpectralStages, ToneGainsAtTheEnds) {
    for (int k = 0; k <= 5; ++k)
        EXPECT_NEAR(toneGain(1.0f, k), 0.6755f, 1e-4f) << k;
    EXPECT_NEAR(toneGain(1.0f, 15), 1.0f, 1e-6f);
    EXPECT_NEAR(toneGain(1.0f, 1023), 2.376f, 1e-3f);
    for (int k = 0; k <= 10; ++k)
        EXPECT_NEAR(toneGain(0.0f, k), 1.2274f, 1e-4f) << k;
    EXPECT_NEAR(toneGain(0.0f, 1023), 0.4526f, 2e-4f);
}

TEST(SpectralStages, ToneScalesWithoutTurning) {
    for (float tone : {0.0f, 0.3f, 0.7f, 1.0f}) {
        const auto input = randomSpectrum(1);
        auto fast = input;
        auto reference = fast;
        ToneTable table;
        table.update(tone);
        applyTone(fast.data(), table);
        angleMagnitudes(reference, [&](int k, float m) { return m * toneGain(tone, k); });
        expectAgree(input, fast, reference);
    }
}

TEST(SpectralStages, VirtualSurroundTurnsChannelsApart) {
    BinTable table;
    auto untouched = randomSpectrum(2);
    auto spectrum = untouched;
    table.buildRotation(0.05f, virtualSurroundDelta);
    rotate(spectrum.data(), table, 1.0f);
    EXPECT_EQ(spectrum, untouched);

    table.buildRotation(1.0f, virtualSurroundDelta);
    auto left = untouched;
    auto right = untouched;
    rotate(left.data(), table, 1.0f);
    rotate(right.data(), table, -1.0f);
    for (int k = 10; k < kStageBins; ++k) {
        const double expected = 0.7864 * (k - 5);
        const double turnedLeft = angleOf(left, k) - angleOf(untouched, k);
        const double turnedRight = angleOf(right, k) - angleOf(untouched, k);
        EXPECT_NEAR(std::remainder(turnedLeft - expected, 2 * M_PI), 0.0, 2e-3 + 5e-5 * k) << k;
        EXPECT_NEAR(std::remainder(turnedRight + expected, 2 * M_PI), 0.0, 2e-3 + 5e-5 * k) << k;
    }
}

struct RotationCase {
    const char* name;
    float (*delta)(float, int);
};

class RotationStage : public ::testing::TestWithParam<RotationCase> {};

TEST_P(RotationStage, PhasorsAgreeWithAngleForm) {
    for (float amount : {0.03f, 0.37f, 0.5f, 1.0f}) {
        BinTable table;
        table.buildRotation(amount, GetParam().delta);
        for (float direction : {1.0f, -1.0f}) {
            const auto input = randomSpectrum(3);
            auto fast = input;
            auto reference = fast;
            rotate(fast.data(), table, direction);
            const auto delta = [&](int k) { return direction * GetParam().delta(amount, k); };
            angleRotate(reference, delta);
            expectAgree(input, fast, reference, delta);
            EXPECT_EQ(fast[0], reference[0]); // bin 0 stays as it is
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllRotations, RotationStage,
                         ::testing::Values(RotationCase{"VirtualSurround", virtualSurroundDelta},
                                           RotationCase{"SilkyLeft", silkyDeltaLeft},
                                           RotationCase{"SilkyRight", silkyDeltaRight},
                                           RotationCase{"DiffuseCream", diffuseCreamDelta}),
                         [](const auto& info) { return std::string(info.param.name); });

// Straightforward noise gate: raw mask, smoothed up and down the bins.
std::vector<float> referenceGateMask(const std::vector<float>& s, float amount) {
    std::vector<float> mask(kScratchLength);
    const float c = 1000.0f / (amount * amount + 0.001f);
    for (int k = 0; k < kStageBins; ++k)
        mask[k] = binMagnitude(s, k) * c > 0.5f ? 1.0f : 1e-6f;
    mask[1024] = mask[1023];
    float y = mask[0];
    for (int k = 0; k < 1024; ++k)
        mask[k] = y = 0.875f * y + 0.125f * mask[k];
    y = mask[1024];
    for (int k = 1024; k >= 1; --k)
        mask[k] = y = 0.875f * y + 0.125f * mask[k];
    return mask;
}

using TwoChannelStage = void (*)(float*, float*, float*, float*, float);

// Runs a two-channel stage with `spectrum` on the left and, on the right, the same values mirrored in
// sign, which must come out mirrored too.
void applyBoth(TwoChannelStage stage, std::vector<float>& spectrum, float amount) {
    std::vector<float> right(spectrum.size());
    for (size_t i = 0; i < spectrum.size(); ++i)
        right[i] = -spectrum[i];
    float scratchL[kScratchLength], scratchR[kScratchLength];
    stage(spectrum.data(), right.data(), scratchL, scratchR, amount);
    for (size_t i = 0; i < spectrum.size(); ++i)
        ASSERT_EQ(right[i], -spectrum[i]) << i;
}

TEST(SpectralStages, NoiseReductionAgreesWithAngleForm) {
    auto input = randomSpectrum(4, 2e-3f);
    for (int k = 300; k < 400; ++k)
        input[k] = input[kN - k] = 1e-5f; // a quiet stretch to gate
    auto fast = input;
    auto reference = fast;
    const auto mask = referenceGateMask(reference, 0.5f);
    applyBoth(noiseReduction, fast, 0.5f);
    angleMagnitudes(reference, [&](int k, float m) { return m * mask[k]; });
    expectAgree(input, fast, reference);
    EXPECT_LT(binMagnitude(fast, 350), 1e-5f * 1e-2f); // mid-stretch, after smoothing
}

TEST(SpectralStages, NoiseReductionThresholds) {
    const auto flat = [](float level) {
        std::vector<float> s(kN, 0.0f);
        for (int k = 0; k < kStageBins; ++k)
            s[k] = level;
        s[1024] = level;
        return s;
    };
    auto quiet = flat(0.0005f);
    applyBoth(noiseReduction, quiet, 1.0f);
    for (int k = 0; k < kStageBins; ++k)
        ASSERT_NEAR(quiet[k], 0.0005f * 1e-6f, 1e-14f) << k; // -120 dB
    auto above = flat(8e-7f);
    applyBoth(noiseReduction, above, 0.02f);
    for (int k = 0; k < kStageBins; ++k)
        ASSERT_EQ(above[k], 8e-7f) << k;
    auto below = flat(6e-7f);
    applyBoth(noiseReduction, below, 0.02f);
    for (int k = 0; k < kStageBins; ++k)
        ASSERT_NEAR(below[k], 6e-13f, 1e-18f) << k;
}

TEST(SpectralStages, ClearnessAgreesWithAngleFormAndSparesLowBins) {
    for (float amount : {0.03f, 0.6f, 1.0f}) {
        const auto input = randomSpectrum(5);
        auto fast = input;
        auto reference = fast;
        const auto& original = input;
        std::vector<float> envelope(kScratchLength);
        for (int k = 0; k < kStageBins; ++k)
            envelope[k] = binMagnitude(reference, k);
        envelope[1024] = envelope[1023];
        float y = envelope[0];
        for (int k = 0; k < 1024; ++k)
            envelope[k] = y = 0.95f * y + 0.05f * envelope[k];
        y = envelope[1024];
        for (int k = 1024; k >= 1; --k)
            envelope[k] = y = 0.95f * y + 0.05f * envelope[k];

        applyBoth(clearness, fast, amount);
        angleMagnitudes(reference, [&](int k, float m) {
            const double r = k <= 79 ? 0.0 : k <= 159 ? (k - 80) / 80.0 : 1.0;
            const double s = 0.5 * amount * r;
            return static_cast<float>(std::max(0.0, m * (1 - s) + 4 * s * (m - 0.5 * envelope[k])));
        });
        expectAgree(input, fast, reference);
        for (int k = 0; k <= 80; ++k) {
            EXPECT_EQ(fast[k], original[k]) << k;
            if (k > 0) {
                EXPECT_EQ(fast[kN - k], original[kN - k]) << k;
            }
        }
    }
}

TEST(SpectralStages, FatBassOnNearSilence) {
    std::vector<float> left(kN, 0.0f);
    left[0] = 1e-9f;
    for (int k = 1; k < 60; ++k)
        left[k] = left[kN - k] = 1e-9f;
    auto right = left;
    const auto original = left;
    EXPECT_EQ(dynamicFatBass(left.data(), right.data(), 1.0f), 0);
    EXPECT_NEAR(left[0] / original[0], 4.0f, 1e-5f);
    EXPECT_NEAR(left[25] / original[25], 1.6f, 1e-5f);
    EXPECT_NEAR(left[kN - 25] / original[kN - 25], 1.6f, 1e-5f);
    EXPECT_NEAR(left[49] / original[49], 1.015f, 1e-3f);
    for (int k = 50; k < 60; ++k)
        EXPECT_EQ(left[k], original[k]);
    EXPECT_EQ(left, right);
}

TEST(SpectralStages, FatBassMeterFollowsLevel) {
    const auto withLevel = [](float binOne) {
        std::vector<float> s(kN, 0.0f);
        s[1] = binOne; // level sum = 1e-6 + |bin 1|
        return s;
    };
    // g = 0.2 / S = 1.5 per channel: trunc(3 / 6 * 5) = 2.
    auto left = withLevel(0.2f / 1.5f - 1e-6f);
    auto right = left;
    EXPECT_EQ(dynamicFatBass(left.data(), right.data(), 1.0f), 2);
    auto loudL = withLevel(1000.0f);
    auto loudR = loudL;
    EXPECT_EQ(dynamicFatBass(loudL.data(), loudR.data(), 1.0f), 0);
    EXPECT_NEAR(loudL[1] / 1000.0f, 1.0f, 1e-3f); // the boost approaches unity
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> level(1e-6f, 1.0f);
    for (int i = 0; i < 200; ++i) {
        auto l = withLevel(level(rng));
        auto r = withLevel(level(rng));
        EXPECT_LE(dynamicFatBass(l.data(), r.data(), 1.0f), 5);
    }
    auto nanL = withLevel(NAN);
    auto nanR = nanL;
    EXPECT_EQ(dynamicFatBass(nanL.data(), nanR.data(), 1.0f), 0);
}

TEST(SpectralStages, FatBassAgreesWithAngleForm) {
    const auto input = randomSpectrum(6, 1e-4f);
    auto fast = input;
    auto other = fast;
    auto reference = fast;
    float levelSum = 1e-6f;
    for (int k = 1; k < kStageBins; ++k)
        levelSum += binMagnitude(reference, k) / std::sqrt(static_cast<float>(k));
    const float g = std::min(3.0f, 0.05f / levelSum * 0.7f * 0.7f * 4.0f);
    const float c = (1.0f - 1.0f / (g + 1.0f)) * 0.02f;
    dynamicFatBass(fast.data(), other.data(), 0.7f);
    angleMagnitudes(reference, [&](int k, float m) { return k < 50 ? m / (1.0f + c * (k - 50)) : m; });
    expectAgree(input, fast, reference);
}

// --- The processor inside the audio path ---

struct PathRig {
    std::atomic<float> params[kNumPathSettings];
    std::unique_ptr<AudioPath> path;
    PathRig() {
        for (int i = 0; i < kNumPathSettings; ++i)
            params[i] = 0.0f;
        for (int i : {0, 5, 11, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23})
            params[i] = 0.5f;
        path = std::make_unique<AudioPath>(params);
    }
    void feedBlock(const float* left, const float* right) {
        std::copy(left, left + kSpectralBlock, path->inL);
        std::copy(right, right + kSpectralBlock, path->inR);
    }
};

std::vector<float> noiseBlock(std::mt19937& rng) {
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    std::vector<float> b(kSpectralBlock);
    for (auto& v : b)
        v = dist(rng);
    return b;
}

TEST(SpectralProcessor, AllStagesOffReturnsTheBlockFromTwoCallsEarlier) {
    PathRig rig;
    std::mt19937 rng(11);
    std::vector<std::vector<float>> left, right;
    for (int call = 0; call < 20; ++call) {
        left.push_back(noiseBlock(rng));
        right.push_back(noiseBlock(rng));
        rig.feedBlock(left.back().data(), right.back().data());
        rig.path->processBlock44100LR(true);
        if (call < 2) continue;
        for (int i = 0; i < kSpectralBlock; ++i) {
            ASSERT_NEAR(rig.path->outL[i], left[call - 2][i], 1e-6f) << call << " " << i;
            ASSERT_NEAR(rig.path->outR[i], right[call - 2][i], 1e-6f) << call << " " << i;
        }
    }
}

TEST(SpectralProcessor, AnalysisOnlyLeavesOutputButCounts) {
    PathRig rig;
    rig.params[kNoiseReduction] = 0.5f;
    std::fill(std::begin(rig.path->outL), std::end(rig.path->outL), 0.25f);
    std::mt19937 rng(12);
    for (int call = 1; call <= 10; ++call) {
        const auto block = noiseBlock(rng);
        rig.feedBlock(block.data(), block.data());
        rig.path->processBlock44100LR(false);
        EXPECT_EQ(rig.path->frameSlot, call % kFrameSlots);
        EXPECT_EQ(rig.path->feed.displayCounter.load(), static_cast<uint64_t>(call));
    }
    for (float v : rig.path->outL)
        ASSERT_EQ(v, 0.25f);
}

TEST(SpectralProcessor, DisplayColumnsEveryFourthCallWithEitherFlag) {
    for (bool resynthesis : {true, false}) {
        PathRig rig;
        for (int k = 0; k < kDisplayColumns; ++k) {
            EXPECT_EQ(rig.path->feed.levelDisp[k].load(), 400.0f);
            EXPECT_EQ(rig.path->feed.peakDisp[k].load(), 400.0f);
            EXPECT_EQ(rig.path->feed.smoothLog[k], 400.0f);
            EXPECT_EQ(rig.path->feed.phaseDisp[k].load(), 0.0f);
            EXPECT_EQ(rig.path->feed.magDisp[k].load(), 0.0f);
        }
        std::mt19937 rng(13);
        for (int call = 1; call <= 8; ++call) {
            const auto block = noiseBlock(rng);
            rig.feedBlock(block.data(), block.data());
            rig.path->processBlock44100LR(resynthesis);
            EXPECT_EQ(rig.path->feed.displayDivider, call);
            const bool updated = rig.path->feed.smoothLog[100] != 400.0f;
            EXPECT_EQ(updated, call >= 4) << call;
            if (call == 4) {
                // smoothLog moved from 400 by one step: 0.8 * 400 + ln(a) * -7.2.
                EXPECT_LT(rig.path->feed.smoothLog[100], 0.8f * 400.0f + 80.0f);
                EXPECT_GT(rig.path->feed.magDisp[100].load(), 0.0f);
                // Identical channels: no phase difference.
                EXPECT_EQ(rig.path->feed.phaseDisp[100].load(), 0.0f);
            }
        }
    }
}

TEST(SpectralProcessor, PhaseColumnMarksASilentChannel) {
    PathRig rig;
    std::vector<float> left(kN, 0.0f), right(kN, 0.0f), silent(kN, 0.0f);
    for (int k = 1; k <= 1024; ++k)
        left[k] = 0.01f;
    rig.path->updateDisplayColumns(left.data(), silent.data());
    EXPECT_EQ(rig.path->feed.phaseDisp[0].load(), -1.57285f);
    rig.path->updateDisplayColumns(silent.data(), left.data());
    EXPECT_EQ(rig.path->feed.phaseDisp[0].load(), 1.57285f);
    rig.path->updateDisplayColumns(silent.data(), silent.data());
    for (int k = 0; k < kDisplayColumns; ++k) {
        ASSERT_EQ(rig.path->feed.phaseDisp[k].load(), 0.0f);
        ASSERT_GE(rig.path->feed.levelDisp[k].load(), 0.0f);
        ASSERT_LE(rig.path->feed.levelDisp[k].load(), 500.0f);
    }
    // Last columns read bin 1024 alone: sqrt(2) |entry 1024| per channel.
    std::vector<float> nyquist(kN, 0.0f);
    nyquist[1024] = 0.5f;
    rig.path->updateDisplayColumns(nyquist.data(), nyquist.data());
    EXPECT_NEAR(rig.path->feed.magDisp[511].load(), (1.0f + 511.0f / 3.0f) * 2.0f * std::sqrt(2.0f) * 0.5f,
                1e-3f);
}

// The columns' polynomial logarithm and arc tangents against libm, from the reset state.
TEST(SpectralProcessor, DisplayColumnsAgreeWithLibmForm) {
    for (unsigned seed : {21u, 22u}) {
        PathRig rig;
        auto left = randomSpectrum(seed), right = randomSpectrum(seed + 10, 0.001f);
        for (int k = 40; k < 60; ++k)
            right[k] = right[kN - k] = 0.0f; // a quiet stretch on one side
        rig.path->updateDisplayColumns(left.data(), right.data());
        const auto column = [](const std::vector<float>& s, int bin) {
            return bin >= 1024 ? std::sqrt(2.0f) * std::fabs(s[1024]) : binMagnitude(s, bin);
        };
        float pos = 6.0f;
        for (int k = 0; k < kDisplayColumns; ++k, pos *= 1.0135f) {
            const int i = static_cast<int>(pos), lower = std::min(i - 1, 1024), upper = std::min(i, 1024);
            const float frac = pos - static_cast<float>(i);
            const float a = column(left, lower) + column(right, lower),
                        b = column(left, upper) + column(right, upper);
            const float smooth =
                0.8f * 400.0f + std::log(std::max(1e-8f, a * (1 - frac) + b * frac)) * 36.0f * -0.2f;
            EXPECT_EQ(rig.path->feed.magDisp[k].load(), (1.0f + static_cast<float>(k) / 3.0f) * b) << k;
            ASSERT_NEAR(rig.path->feed.smoothLog[k], smooth, 1e-4f) << k;
            const auto imaginary = [&](const std::vector<float>& s) {
                return upper >= 1024 ? s[1024] : s[kN - upper];
            };
            float phase =
                std::atan2(left[upper], imaginary(left)) - std::atan2(right[upper], imaginary(right));
            if (column(right, upper) < 1e-6f) phase = -1.57285f;
            ASSERT_NEAR(rig.path->feed.phaseDisp[k].load(), phase, 2e-6f) << k;
        }
    }
}

TEST(SpectralProcessor, RotationTablesRebuiltOncePerChange) {
    PathRig rig;
    rig.params[kVirtualSurround] = 0.7f;
    rig.params[kSilkySurround] = 0.7f;
    rig.params[kDiffuseCream] = 0.7f;
    rig.params[kTone] = 0.9f;
    std::mt19937 rng(14);
    const auto block = noiseBlock(rng);
    for (int call = 0; call < 10; ++call) {
        rig.feedBlock(block.data(), block.data());
        rig.path->processBlock44100LR(true);
    }
    for (const BinTable* table : {&rig.path->virtualSurroundPhasors, &rig.path->silkyPhasorsL,
                                  &rig.path->silkyPhasorsR, &rig.path->diffuseCreamPhasors})
        EXPECT_EQ(table->rebuilds, 1u);
    EXPECT_EQ(rig.path->toneGains.rebuilds, 1u);
    rig.params[kVirtualSurround] = 0.71f;
    for (int call = 0; call < 5; ++call)
        rig.path->processBlock44100LR(true);
    EXPECT_EQ(rig.path->virtualSurroundPhasors.rebuilds, 2u);
    EXPECT_EQ(rig.path->diffuseCreamPhasors.rebuilds, 1u);
}

} // namespace
