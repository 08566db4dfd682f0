#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "dsp/exciter.h"
#include "dsp/punch.h"
#include "test_signals.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// The chain sample by sample, section by section: what the punch stage must compute.
void punchOneByOne(Punch& p, float* left, float* right, int32_t n, int32_t sections, float c) {
    for (int32_t i = 0; i < n; ++i) {
        for (int channel = 0; channel < 2; ++channel) {
            float* in = channel ? p.punchInR : p.punchInL;
            float* out = channel ? p.punchOutR : p.punchOutL;
            float v = channel ? right[i] : left[i];
            for (int32_t j = 0; j < sections; ++j) {
                const float y = (out[j] - v) * c + in[j];
                in[j] = v;
                out[j] = y;
                v = y;
            }
            (channel ? right : left)[i] = v;
        }
    }
}

double shapeOneCase(float v) {
    if (v >= 2.0f) return 1.0;
    if (v < -2.0f) return 2.0 * v + 1.0;
    return static_cast<double>(v) - static_cast<double>(v * v) / 4.0;
}

// One channel of the exciter written out with the piecewise curve.
void excitePlainly(float* x, int32_t n, float mix, float freq, float rate, float state[5]) {
    const Exciter::Coefficients k = Exciter::coefficients(mix, freq, rate);
    const float a = k.inputLowPass, b = k.outputHighPass;
    float& lp = state[0];
    float& prevHp = state[1];
    float& prevSum = state[2];
    float& hp1 = state[3];
    float& hp2 = state[4];
    for (int32_t i = 0; i < n; ++i) {
        lp = (1.0f - a) * lp + a * x[i];
        const float h = x[i] - lp;
        const float u = h + prevHp;
        prevHp = h;
        const float e = static_cast<float>(
            (shapeOneCase(16.0f * u) + shapeOneCase(16.0f * (u + prevSum) * 0.5f)) * 0.0625);
        prevSum = u;
        hp1 = (1.0f - b) * hp1 + b * e;
        const float e1 = e - hp1;
        hp2 = (1.0f - b) * hp2 + b * e1;
        x[i] = x[i] + (e1 - hp2) * k.mixGain;
    }
}

} // namespace

TEST(Punch, SectionCountIsTruncatedAndBounded) {
    EXPECT_EQ(Punch::sectionCount(0.02f), 0);
    EXPECT_EQ(Punch::sectionCount(0.0205f), 1);
    EXPECT_EQ(Punch::sectionCount(0.5f), 24);
    EXPECT_EQ(Punch::sectionCount(1.0f), 49);
    for (float wild : {1.5f, 1e30f, kInf})
        EXPECT_EQ(Punch::sectionCount(wild), kMaxPunchSections) << wild;
    for (float wild : {-0.5f, -kInf, kNaN})
        EXPECT_EQ(Punch::sectionCount(wild), 0) << wild;
    Punch punch;
    std::vector<float> left = uniformNoise(64, 1), right = left;
    for (float wild : {1e30f, kInf, kNaN})
        punch.process(left.data(), right.data(), 64, wild, 44100.0f);
}

// One section's answer to a unit impulse starts with -c.
TEST(Punch, CoefficientsFollowTheFastPowerAtTheUsualRates) {
    const std::pair<float, float> expected[] = {
        {44100.0f, 0.949108f}, {48000.0f, 0.953406f}, {88200.0f, 0.974099f}, {96000.0f, 0.976286f}};
    for (const auto& [rate, c] : expected) {
        Punch punch;
        float left = 1.0f, right = 1.0f;
        punch.process(&left, &right, 1, 0.0205f, rate);
        EXPECT_NEAR(-left, c, 1e-6f) << rate;
        EXPECT_NEAR(std::exp(-2512.0 / rate), c, 0.017 * c) << rate;
    }
}

TEST(Punch, ASineKeepsItsLevel) {
    for (double freq : {40.0, 200.0, 1000.0, 6000.0, 15000.0}) {
        std::vector<float> left = sineWave(freq, 44100.0, 44100), right = left;
        const double before = rmsOfSecondHalf(left);
        Punch punch;
        for (size_t at = 0; at < left.size(); at += 512)
            punch.process(&left[at], &right[at],
                          static_cast<int32_t>(std::min<size_t>(512, left.size() - at)), 1.0f, 44100.0f);
        EXPECT_NEAR(rmsOfSecondHalf(left) / before, 1.0, 2e-3) << freq;
    }
}

// Blocks of many sizes, a section count that changes between blocks, sections left idle and resumed.
// Four lanes and, where the processor has AVX, eight.
TEST(Punch, AgreesBitForBitWithTheChainRunSampleBySample) {
    for (bool avx : {false, true}) {
        if (Punch::useAvx(avx) != avx) continue; // this processor has no AVX
        Punch fast, plain;
        std::vector<float> fastL = uniformNoise(20000, 1), fastR = uniformNoise(20000, 2);
        std::vector<float> plainL = fastL, plainR = fastR;
        const int32_t blocks[] = {1, 7, 48, 49, 50, 512, 3, 1000};
        const float punches[] = {1.0f, 0.3f, 0.0205f, 0.6f, 1.0f, 0.75f, 0.1f, 0.99f};
        size_t at = 0;
        for (int round = 0; at < fastL.size(); ++round) {
            const int32_t n = std::min<int32_t>(blocks[round % 8], static_cast<int32_t>(fastL.size() - at));
            const float lazerPunch = punches[(round / 3) % 8];
            fast.process(&fastL[at], &fastR[at], n, lazerPunch, 48000.0f);
            punchOneByOne(plain, &plainL[at], &plainR[at], n, Punch::sectionCount(lazerPunch),
                          Punch::coefficient(48000.0f));
            at += n;
        }
        for (size_t i = 0; i < fastL.size(); ++i) {
            ASSERT_EQ(fastL[i], plainL[i]) << i;
            ASSERT_EQ(fastR[i], plainR[i]) << i;
        }
        for (int j = 0; j < kMaxPunchSections; ++j) {
            EXPECT_EQ(fast.punchInL[j], plain.punchInL[j]);
            EXPECT_EQ(fast.punchOutR[j], plain.punchOutR[j]);
        }
    }
    Punch::useAvx(true);
}

TEST(Exciter, SwitchesOnAboveTwoPercent) {
    EXPECT_FALSE(Exciter::isActive(0.02f));
    EXPECT_TRUE(Exciter::isActive(0.021f));
    EXPECT_FALSE(Exciter::isActive(kNaN));
}

TEST(Exciter, CoefficientsFollowTheFormulasAtTheUsualRates) {
    const Exciter::Coefficients top = Exciter::coefficients(0.8f, 1.0f, 44100.0f);
    EXPECT_FLOAT_EQ(top.outputHighPass, 25000.0f / 44100.0f);
    EXPECT_NEAR(top.mixGain, 0.8f * 3.0456f, 1e-4f);
    for (float rate : {44100.0f, 48000.0f, 88200.0f, 96000.0f})
        for (float freq = 0.0f; freq <= 1.0f; freq += 0.125f) {
            const Exciter::Coefficients k = Exciter::coefficients(0.5f, freq, rate);
            EXPECT_EQ(k.inputLowPass, 20000.0f / rate);
            EXPECT_EQ(k.outputHighPass, (1000.0f + 24000.0f * (freq * freq)) / rate);
        }
    // Below 25 kHz the plain formulas would leave the one-pole range; the poles stay at or above 0.
    for (float rate : {8000.0f, 11025.0f, 22050.0f}) {
        const Exciter::Coefficients k = Exciter::coefficients(1.0f, 1.0f, rate);
        EXPECT_LE(k.inputLowPass, 1.0f);
        EXPECT_LE(k.outputHighPass, 1.0f);
    }
    EXPECT_EQ(Exciter::coefficients(1.0f, kNaN, 44100.0f).mixGain, 0.0f);
}

TEST(Exciter, AddsNothingToSilenceOrToAConstant) {
    Exciter exciter;
    std::vector<float> left(44100, 0.0f), right(44100, 0.3f);
    for (size_t at = 0; at < left.size(); at += 441)
        exciter.process(&left[at], &right[at], 441, 1.0f, 0.7f, 44100.0f);
    for (float x : left)
        ASSERT_EQ(x, 0.0f);
    EXPECT_NEAR(right.back(), 0.3f, 1e-6f);
}

TEST(Exciter, AgreesBitForBitWithThePiecewiseCurve) {
    Exciter exciter;
    float stateL[5] = {}, stateR[5] = {};
    // Loud noise drives 16 u far past both joins of the curve.
    std::vector<float> left = uniformNoise(8192, 3, 1.0f), right = uniformNoise(8192, 4, 1.0f);
    std::vector<float> plainL = left, plainR = right;
    for (size_t at = 0; at < left.size(); at += 512) {
        exciter.process(&left[at], &right[at], 512, 0.9f, 0.4f, 48000.0f);
        excitePlainly(&plainL[at], 512, 0.9f, 0.4f, 48000.0f, stateL);
        excitePlainly(&plainR[at], 512, 0.9f, 0.4f, 48000.0f, stateR);
    }
    for (size_t i = 0; i < left.size(); ++i) {
        ASSERT_EQ(left[i], plainL[i]) << i;
        ASSERT_EQ(right[i], plainR[i]) << i;
    }
}

TEST(Exciter, NonFiniteTuningAddsNothing) {
    Exciter exciter;
    std::vector<float> left = uniformNoise(512, 5), right = uniformNoise(512, 6);
    const std::vector<float> original = left;
    exciter.process(left.data(), right.data(), 512, 1.0f, kNaN, 44100.0f);
    EXPECT_EQ(left, original);
}

class TimeDomainStagesAtRate : public testing::TestWithParam<float> {};

TEST_P(TimeDomainStagesAtRate, StayFiniteForEverySetting) {
    const float rate = GetParam();
    const std::vector<float> input = uniformNoise(static_cast<size_t>(rate), 7, 1.0f);
    std::mt19937 generator(8);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<std::array<float, 3>> settings; // ExciterMix, ExciterFreq, LazerPunch
    for (float value : {0.0f, 0.5f, 1.0f})
        settings.push_back({value, value, value});
    for (int k = 0; k < 20; ++k)
        settings.push_back({unit(generator), k < 5 ? 1.0f : unit(generator), unit(generator)});
    for (const auto& [mix, freq, lazerPunch] : settings) {
        Exciter exciter;
        Punch punch;
        std::vector<float> left = input, right = input;
        float peak = 0.0f;
        for (size_t at = 0; at < left.size(); at += 512) {
            const int32_t n = static_cast<int32_t>(std::min<size_t>(512, left.size() - at));
            punch.process(&left[at], &right[at], n, lazerPunch, rate);
            exciter.process(&left[at], &right[at], n, mix, freq, rate);
            for (int32_t i = 0; i < n; ++i)
                peak = std::max({peak, std::fabs(left[at + i]), std::fabs(right[at + i])});
        }
        ASSERT_LT(peak, 50.0f) << mix << " " << freq << " " << lazerPunch; // a NaN peak fails too
    }
}

INSTANTIATE_TEST_SUITE_P(LowAndUsualRates, TimeDomainStagesAtRate,
                         testing::Values(8000.0f, 11025.0f, 22050.0f, 44100.0f));

TEST(TimeDomainStages, RecoverFromANonFiniteBurst) {
    Punch punch;
    Exciter exciter;
    std::vector<float> left = uniformNoise(512, 9), right = uniformNoise(512, 10);
    left[5] = kNaN;
    right[400] = kInf;
    punch.process(left.data(), right.data(), 512, 1.0f, 44100.0f);
    exciter.process(left.data(), right.data(), 512, 0.5f, 0.5f, 44100.0f);
    punch.resetIfNotFinite();
    exciter.resetIfNotFinite();
    for (int block = 0; block < 4; ++block) {
        left = uniformNoise(512, 11 + block);
        right = uniformNoise(512, 20 + block);
        punch.process(left.data(), right.data(), 512, 1.0f, 44100.0f);
        exciter.process(left.data(), right.data(), 512, 0.5f, 0.5f, 44100.0f);
        for (int i = 0; i < 512; ++i)
            ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i])) << block;
    }
}
