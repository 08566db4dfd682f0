#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include "dsp/fast_pow2.h"
#include "dsp/loudness.h"
#include "test_signals.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
enum { kShelfL = 0, kWideBellL = 1, kLowPassL = 2, kNarrowBellL = 4 };

double magnitudeAt(const Loudness::Section& s, double freq, double rate) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * freq / rate);
    const double b0 = s.b0, b1 = s.b1, b2 = s.b2, a1 = s.a1, a2 = s.a2;
    return std::abs((b0 + b1 * z1 + b2 * z1 * z1) / (1.0 + a1 * z1 + a2 * z1 * z1));
}

bool polesInsideUnitCircle(const Loudness::Section& s) {
    return std::fabs(s.a2) < 1.0f && std::fabs(s.a1) < 1.0f + s.a2;
}

// The driver's order: mix and bass boost first, then the design for the rate.
void design(Loudness& loudness, float loudnessMix, float bassBoost, float rate) {
    loudness.mix = 2.0f * loudnessMix;
    loudness.bassBoost = bassBoost;
    loudness.setSampleRate(rate);
}

} // namespace

TEST(Loudness, CentreGainsAtFullMix) {
    Loudness loudness;
    design(loudness, 1.0f, 1.0f, 44100.0f);
    EXPECT_NEAR(magnitudeAt(loudness.sections[kWideBellL], 11200.0, 44100.0), 3.359, 5e-4);
    EXPECT_NEAR(magnitudeAt(loudness.sections[kNarrowBellL], 1500.0, 44100.0), 1.835, 5e-4);
    EXPECT_NEAR(magnitudeAt(loudness.sections[kWideBellL], 11200.0, 44100.0), fastPow2(1.4408 * 1.2), 1e-4);
    // The shelf reaches its full +16 dB at DC.
    EXPECT_NEAR(20.0 * std::log10(magnitudeAt(loudness.sections[kShelfL], 0.0, 44100.0)), 16.0, 0.01);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(loudness.sections[k].b0, loudness.sections[k + 5].b0);
        EXPECT_EQ(loudness.sections[k].a2, loudness.sections[k + 5].a2);
    }
}

TEST(Loudness, HalfMixWithoutBassBoostLeavesTheShelfFlat) {
    Loudness loudness;
    design(loudness, 0.5f, 0.0f, 44100.0f);
    for (double freq : {0.0, 40.0, 150.0, 1000.0, 15000.0})
        EXPECT_NEAR(magnitudeAt(loudness.sections[kShelfL], freq, 44100.0), 1.0, 1e-5) << freq;
    EXPECT_NEAR(magnitudeAt(loudness.sections[kWideBellL], 11200.0, 44100.0), 1.835, 5e-4);
    EXPECT_NEAR(magnitudeAt(loudness.sections[kNarrowBellL], 1500.0, 44100.0), 1.371, 5e-4);
}

TEST(Loudness, CornersAreLimitedBelowNyquist) {
    Loudness loudness;
    design(loudness, 1.0f, 1.0f, 22050.0f);
    Loudness reference;
    reference.setSampleRate(22050.0f);
    reference.recalcBiQuad(kLowPassL, 10804.5f, 0.0f, 0.0f);
    EXPECT_EQ(loudness.sections[kLowPassL].b0, reference.sections[kLowPassL].b0);
    EXPECT_EQ(loudness.sections[kLowPassL].a1, reference.sections[kLowPassL].a1);
    // The wide bell's centre moved from 11.2 kHz down to the limit.
    EXPECT_NEAR(magnitudeAt(loudness.sections[kWideBellL], 10804.5, 22050.0), fastPow2(1.4408 * 1.2), 1e-3);
}

class LoudnessAtRate : public testing::TestWithParam<float> {};

TEST_P(LoudnessAtRate, EveryDesignIsStableAndTheOutputFinite) {
    const float rate = GetParam();
    const std::vector<float> input = uniformNoise(static_cast<size_t>(rate) * 2, 3, 1.0f);
    for (float mix : {0.0f, 0.5f, 1.0f})
        for (float bass : {0.0f, 0.5f, 1.0f}) {
            Loudness loudness;
            std::vector<float> left = input, right = input;
            float peak = 0.0f;
            for (size_t at = 0; at < input.size(); at += 512) {
                design(loudness, mix, bass, rate);
                const long count = static_cast<long>(std::min<size_t>(512, input.size() - at));
                loudness.process(&left[at], &right[at], count);
                for (long i = 0; i < count; ++i)
                    peak = std::max(peak, std::fabs(left[at + i]));
            }
            for (const Loudness::Section& s : loudness.sections)
                EXPECT_TRUE(polesInsideUnitCircle(s));
            EXPECT_LT(peak, 100.0f) << "mix " << mix << " bass " << bass;
        }
}

INSTANTIATE_TEST_SUITE_P(LowAndUsualRates, LoudnessAtRate,
                         testing::Values(8000.0f, 11025.0f, 22050.0f, 44100.0f));

TEST(Loudness, AtZeroMixOnlyTheLowPassAndTheDcBlockerAct) {
    Loudness loudness;
    design(loudness, 0.0f, 1.0f, 44100.0f);
    const std::vector<float> input = uniformNoise(2048, 5);
    std::vector<float> left = input, right = input;
    loudness.process(left.data(), right.data(), 1024);
    loudness.process(left.data() + 1024, right.data() + 1024, 1024);

    // Independent double-precision model: a Q 0.75 low-pass at 20 kHz, then the one-pole DC blocker.
    const double K = std::tan(kPi * 20000.0 / 44100.0), a0 = 1.0 + K / 0.75 + K * K;
    const double b0 = K * K / a0, b1 = 2.0 * b0, a1 = 2.0 * (K * K - 1.0) / a0,
                 a2 = (1.0 - K / 0.75 + K * K) / a0;
    const double dcCoef = 90.0 / 44100.0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, dc = 0;
    for (size_t i = 0; i < input.size(); ++i) {
        const double x = input[i] + 1e-7;
        const double y = b0 * x + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        dc = dcCoef * y + (1.0 - dcCoef) * dc;
        if (i >= 1024) {
            ASSERT_NEAR(left[i], y - dc + 1e-7, 2e-5) << i;
            ASSERT_EQ(left[i], right[i]);
        }
    }
}

TEST(Loudness, FirstBlockFadesInFromSilence) {
    Loudness fresh, settled;
    for (Loudness* loudness : {&fresh, &settled})
        design(*loudness, 0.7f, 0.6f, 48000.0f);
    settled.gainNow = 1.0f;
    const std::vector<float> input = uniformNoise(1000, 9);
    std::vector<float> freshL = input, freshR = input, settledL = input, settledR = input;
    fresh.process(freshL.data(), freshR.data(), 1000);
    settled.process(settledL.data(), settledR.data(), 1000);
    for (int i = 0; i < 1000; ++i) {
        const float expected = (settledL[i] - 1e-7f) * (static_cast<float>(i) / 1000.0f) + 1e-7f;
        const float tolerance = 2e-5f * std::fabs(expected) + 1e-6f; // the ramp is a float running sum
        ASSERT_NEAR(freshL[i], expected, tolerance) << i;
        ASSERT_NEAR(freshR[i], expected, tolerance) << i;
    }
    // Float steps add up to just short of the target, and later blocks creep towards it.
    EXPECT_NEAR(fresh.gainNow, 1.0f, 1e-4f);
}

TEST(Loudness, ConstantInputSettlesToATinyResidue) {
    Loudness loudness;
    design(loudness, 1.0f, 1.0f, 44100.0f);
    std::vector<float> left(512), right(512);
    for (int block = 0; block < 44100 * 10 / 512; ++block) {
        std::fill(left.begin(), left.end(), 0.5f);
        std::fill(right.begin(), right.end(), -0.25f);
        design(loudness, 1.0f, 1.0f, 44100.0f);
        loudness.process(left.data(), right.data(), 512);
    }
    // The float DC blocker stops short of removing all of the offset: about 1e-5 stays, not 1e-7.
    EXPECT_LT(std::fabs(left.back()), 5e-5f);
    EXPECT_LT(std::fabs(right.back()), 5e-5f);
}

TEST(Loudness, NonFiniteHistoryIsClearedAndTheSectionRecovers) {
    Loudness loudness;
    design(loudness, 1.0f, 1.0f, 44100.0f);
    std::vector<float> left = uniformNoise(512, 1), right = uniformNoise(512, 2);
    loudness.process(left.data(), right.data(), 512);
    loudness.resetIfNotFinite();
    EXPECT_GT(loudness.gainNow, 0.99f) << "finite state must be left alone";

    left = uniformNoise(512, 3);
    right = uniformNoise(512, 4);
    left[100] = std::numeric_limits<float>::quiet_NaN();
    right[200] = std::numeric_limits<float>::infinity();
    loudness.process(left.data(), right.data(), 512);
    EXPECT_TRUE(std::isnan(left.back()));

    loudness.resetIfNotFinite();
    left = uniformNoise(512, 5);
    right = uniformNoise(512, 6);
    loudness.process(left.data(), right.data(), 512);
    for (int i = 0; i < 512; ++i)
        ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i])) << i;
}
