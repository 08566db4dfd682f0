#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "dsp/three_band.h"
#include "engine/parameter_ids.h"
#include "test_signals.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Params {
    float values[kNumParams];
    Params() { std::fill(std::begin(values), std::end(values), 0.5f); }
    Params& set(int index, float value) {
        values[index] = value;
        return *this;
    }
};

struct Stereo {
    std::vector<float> left, right;
};

Stereo noise(size_t n, unsigned seed, bool sameOnBothSides = false) {
    std::vector<float> left = uniformNoise(n, seed);
    std::vector<float> right = sameOnBothSides ? left : uniformNoise(n, seed + 1000);
    return {left, right};
}

// The stage is large (six delay lines): keep it off the stack.
Stereo run(const Params& params, Stereo signal, float rate, size_t block = 512) {
    auto stage = std::make_unique<ThreeBand>();
    for (size_t at = 0; at < signal.left.size(); at += block) {
        const int32_t n = static_cast<int32_t>(std::min(block, signal.left.size() - at));
        stage->process(&signal.left[at], &signal.right[at], n, params.values, rate);
    }
    return signal;
}

Stereo sine(double freq, float rate, size_t n) {
    const std::vector<float> wave = sineWave(freq, rate, n);
    return {wave, wave};
}

const int kControls[] = {kEqLow,       kEqMid,    kEqHigh,   kLowWidener, kMidWidener,
                         kHighWidener, kLowDelay, kMidDelay, kHighDelay};

} // namespace

TEST(ThreeBand, RunsOnlyWhenAControlLeavesTheNeutralRange) {
    EXPECT_FALSE(ThreeBand::isActive(Params().values));
    EXPECT_FALSE(ThreeBand::isActive(Params().set(kMidFreq, 1.0f).values)) << "MidFreq only moves the bands";
    for (int index : kControls) {
        for (float neutral : {0.45f, 0.55f, std::numeric_limits<float>::quiet_NaN()})
            EXPECT_FALSE(ThreeBand::isActive(Params().set(index, neutral).values)) << index << " " << neutral;
        for (float active : {0.44f, 0.56f, 0.0f, 1.0f})
            EXPECT_TRUE(ThreeBand::isActive(Params().set(index, active).values)) << index << " " << active;
    }
}

// With every control neutral, low - band + high is an all-pass: only the phase changes.
TEST(ThreeBand, NeutralControlsKeepTheLevelOfASine) {
    for (double freq : {60.0, 500.0, 1000.0, 2500.0, 9000.0}) {
        const Stereo in = sine(freq, 44100.0f, 44100);
        const Stereo out = run(Params().set(kMidFreq, 0.3f), in, 44100.0f);
        EXPECT_NEAR(rmsOfSecondHalf(out.left) / rmsOfSecondHalf(in.left), 1.0, 2e-3) << freq;
    }
}

TEST(ThreeBand, RaisingTheLowLevelAddsTheScaledLowBand) {
    const Stereo in = noise(8192, 1);
    const Stereo raised = run(Params().set(kEqLow, 0.56f), in, 44100.0f);
    const Stereo neutral = run(Params(), in, 44100.0f);
    const Stereo lowOnly = run(Params().set(kEqMid, 0.0f).set(kEqHigh, 0.0f), in, 44100.0f);
    EXPECT_FLOAT_EQ(4.0f * 0.56f * 0.56f, 1.2544f);
    for (size_t i = 0; i < in.left.size(); ++i) {
        ASSERT_NEAR(raised.left[i], neutral.left[i] + 0.2544f * lowOnly.left[i], 1e-5f) << i;
        ASSERT_NEAR(raised.right[i], neutral.right[i] + 0.2544f * lowOnly.right[i], 1e-5f) << i;
    }
}

TEST(ThreeBand, WidenersAtZeroMakeEveryBandMono) {
    const Stereo out = run(Params().set(kLowWidener, 0.0f).set(kMidWidener, 0.0f).set(kHighWidener, 0.0f),
                           noise(4096, 2), 44100.0f);
    for (size_t i = 0; i < out.left.size(); ++i)
        ASSERT_NEAR(out.left[i], out.right[i], 1e-6f) << i;
}

struct DelayCase {
    int delayControl;
    float value;
    float rate;
    int32_t lag;
    bool leftLags;
};

class ThreeBandDelay : public testing::TestWithParam<std::tuple<DelayCase, size_t>> {};

TEST_P(ThreeBandDelay, OneSideOfTheBandLagsByTheSetTime) {
    const DelayCase c = std::get<0>(GetParam());
    const size_t block = std::get<1>(GetParam());
    // Keep only the band under test, then feed the same noise to both sides.
    Params params;
    for (int level : {kEqLow, kEqMid, kEqHigh})
        if (level - kEqLow != c.delayControl - kLowDelay) params.set(level, 0.0f);
    params.set(c.delayControl, c.value);
    const Stereo out = run(params, noise(12000, 3, true), c.rate, block);
    const std::vector<float>& late = c.leftLags ? out.left : out.right;
    const std::vector<float>& early = c.leftLags ? out.right : out.left;
    for (int32_t i = 0; i < c.lag; ++i)
        ASSERT_EQ(late[i], 0.0f) << i;
    for (size_t i = c.lag; i < late.size(); ++i)
        ASSERT_NEAR(late[i], early[i - c.lag], 1e-5f) << i;
}

INSTANTIATE_TEST_SUITE_P(Bands, ThreeBandDelay,
                         testing::Combine(testing::Values(DelayCase{kLowDelay, 1.0f, 44100.0f, 1323, true},
                                                          DelayCase{kHighDelay, 0.0f, 48000.0f, 1440, false},
                                                          DelayCase{kMidDelay, 1.0f, 96000.0f, 2880, true},
                                                          DelayCase{kMidDelay, 0.25f, 44100.0f, 661, false}),
                                          testing::Values(size_t{1}, size_t{100}, size_t{4096})));

// Without the middle band, low + high of this filter is a notch at 3.1457 / pi times the centre.
TEST(ThreeBand, MidFreqMovesTheCentreBetween500And2500Hz) {
    auto levelAt = [](float midFreq, double freq) {
        const Stereo in = sine(freq, 44100.0f, 22050);
        const Stereo out = run(Params().set(kEqMid, 0.0f).set(kMidFreq, midFreq), in, 44100.0f);
        return 20.0 * std::log10(rmsOfSecondHalf(out.left) / rmsOfSecondHalf(in.left));
    };
    const double scale = 3.1457 / kPi;
    EXPECT_LT(levelAt(0.0f, 500.0 * scale), -60.0);
    EXPECT_LT(levelAt(1.0f, 2500.0 * scale), -60.0);
    EXPECT_GT(levelAt(0.0f, 2500.0 * scale), -3.0);
    EXPECT_GT(levelAt(1.0f, 500.0 * scale), -3.0);
}

TEST(ThreeBand, FilterCoefficientFollowsTheFormulaUnlessItWouldBeUnstable) {
    for (float rate : {44100.0f, 48000.0f, 88200.0f, 96000.0f})
        for (float midFreq = 0.0f; midFreq <= 1.0f; midFreq += 0.125f) {
            const float centre = 500.0f + 2000.0f * (midFreq * midFreq);
            EXPECT_EQ(ThreeBand::filterCoefficient(midFreq, rate),
                      static_cast<float>(2.0 * std::sin(3.1457 * centre / rate)));
        }
    EXPECT_EQ(ThreeBand::filterCoefficient(1.0f, 11025.0f), 1.0f);
    EXPECT_EQ(ThreeBand::filterCoefficient(1.0f, 8000.0f), 1.0f);
    EXPECT_EQ(ThreeBand::filterCoefficient(std::numeric_limits<float>::quiet_NaN(), 44100.0f), 0.0f);
}

TEST(ThreeBand, AnyDelayValueStaysInsideTheLines) {
    const float inf = std::numeric_limits<float>::infinity();
    for (float value : {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1e30f, -1e30f, 3.0f, -2.0f, 0.5f})
        for (float rate : {44100.0f, 192000.0f, 1e9f}) {
            for (int32_t delay : {ThreeBand::leftDelay(value, rate), ThreeBand::rightDelay(value, rate)}) {
                EXPECT_GE(delay, 0) << value << " " << rate;
                EXPECT_LE(delay, kBandDelayMask) << value << " " << rate;
            }
        }
    // Past 4096 samples a delay wraps round: 30 ms at 192 kHz is 5760 samples.
    EXPECT_EQ(ThreeBand::leftDelay(1.0f, 192000.0f), 5760 - 4096);
    Params wild;
    for (int index : kControls)
        wild.set(index, index % 2 ? -1e30f : std::numeric_limits<float>::quiet_NaN());
    run(wild, noise(8192, 4), 44100.0f);
}

class ThreeBandAtRate : public testing::TestWithParam<float> {};

TEST_P(ThreeBandAtRate, StaysFiniteForEverySetting) {
    const float rate = GetParam();
    const Stereo in = noise(static_cast<size_t>(rate), 5);
    std::mt19937 generator(6);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<Params> settings;
    for (float value : {0.0f, 0.5f, 1.0f}) {
        Params p;
        for (int index : kControls)
            p.set(index, value);
        settings.push_back(p.set(kMidFreq, value));
    }
    for (int k = 0; k < 30; ++k) {
        Params p;
        for (int index : kControls)
            p.set(index, unit(generator));
        settings.push_back(p.set(kMidFreq, k < 10 ? 1.0f : unit(generator)));
    }
    for (const Params& p : settings) {
        const Stereo out = run(p, in, rate);
        float peak = 0.0f;
        for (size_t i = 0; i < out.left.size(); ++i)
            peak = std::max({peak, std::fabs(out.left[i]), std::fabs(out.right[i])});
        ASSERT_LT(peak, 50.0f) << "MidFreq " << p.values[kMidFreq]; // a NaN peak fails too
    }
}

INSTANTIATE_TEST_SUITE_P(LowAndUsualRates, ThreeBandAtRate,
                         testing::Values(8000.0f, 11025.0f, 22050.0f, 44100.0f));

TEST(ThreeBand, RecoversFromANonFiniteBurst) {
    auto stage = std::make_unique<ThreeBand>();
    const Params params = Params().set(kLowDelay, 1.0f).set(kHighDelay, 0.2f);
    Stereo s = noise(512, 7);
    s.left[10] = std::numeric_limits<float>::quiet_NaN();
    s.right[300] = -std::numeric_limits<float>::infinity();
    stage->process(s.left.data(), s.right.data(), 512, params.values, 44100.0f);
    stage->resetIfNotFinite();
    for (int block = 0; block < 8; ++block) {
        s = noise(512, 8 + block);
        stage->process(s.left.data(), s.right.data(), 512, params.values, 44100.0f);
        for (int i = 0; i < 512; ++i)
            ASSERT_TRUE(std::isfinite(s.left[i]) && std::isfinite(s.right[i])) << block;
    }
}
