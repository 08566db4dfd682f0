// The time-domain stages: loudness, three-band, punch and exciter, against their filter formulas, against
// independent models, and their fast forms against the plain forms.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "dsp/exciter.h"
#include "dsp/fast_pow2.h"
#include "dsp/loudness.h"
#include "dsp/punch.h"
#include "dsp/three_band.h"
#include "engine/parameter_ids.h"
#include "test_signals.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
enum { kShelfL = 0, kWideBellL = 1, kLowPassL = 2, kNarrowBellL = 4 };

double magnitudeAt(const Loudness::Section& s, double freq, double rate) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * freq / rate);
    const double b0 = s.b0, b1 = s.b1, b2 = s.b2, a1 = s.a1, a2 = s.a2;
    return std::abs((b0 + b1 * z1 + b2 * z1 * z1) / (1.0 + a1 * z1 + a2 * z1 * z1));
}

// The driver's order: mix and bass boost first, then the design for the rate.
void design(Loudness& loudness, float loudnessMix, float bassBoost, float rate) {
    loudness.mix = 2.0f * loudnessMix;
    loudness.bassBoost = bassBoost;
    loudness.setSampleRate(rate);
}

TEST(Loudness, SectionsHaveTheirStatedGains) {
    struct Case {
        float mix, bass, rate;
        int section;
        double freq, magnitude;
    };
    const double fullBell = fastPow2(1.4408 * 1.2);
    Loudness loudness; // one section for all: a design must follow every change of its inputs
    for (const Case& c :
         {Case{1, 1, 44100, kWideBellL, 11200, 3.359}, Case{1, 1, 44100, kNarrowBellL, 1500, 1.835},
          Case{1, 1, 44100, kShelfL, 0, std::pow(10, 0.8)}, Case{0.5, 1, 44100, kWideBellL, 11200, 1.835},
          Case{0.5, 0, 44100, kShelfL, 40, 1}, Case{0.5, 0, 44100, kShelfL, 15000, 1},
          Case{0.5, 0, 44100, kWideBellL, 11200, 1.835}, Case{0.5, 0, 44100, kNarrowBellL, 1500, 1.371},
          // The wide bell's centre moves from 11.2 kHz down to 0.49 of the rate.
          Case{1, 1, 22050, kWideBellL, 10804.5, fullBell}}) {
        design(loudness, c.mix, c.bass, c.rate);
        EXPECT_NEAR(magnitudeAt(loudness.sections[c.section], c.freq, c.rate), c.magnitude,
                    1e-3 * c.magnitude)
            << c.section << " at " << c.freq << " Hz, mix " << c.mix;
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(loudness.sections[k].b1, loudness.sections[k + 5].b1);
    }
}

// The first block a section sees fades in from silence over its length.
TEST(Loudness, AtZeroMixOnlyTheLowPassAndTheDcBlockerActAfterAFadeIn) {
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
        const double expected = (y - dc) * (i < 1024 ? static_cast<double>(i) / 1024.0 : 1.0) + 1e-7;
        ASSERT_NEAR(left[i], expected, 2e-5) << i;
        ASSERT_EQ(left[i], right[i]);
    }
}

// --- Three-band ---

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
    return {uniformNoise(n, seed), sameOnBothSides ? uniformNoise(n, seed) : uniformNoise(n, seed + 1000)};
}

// The stage is large (six delay lines): keep it off the stack.
Stereo runThreeBand(const Params& params, Stereo signal, float rate, size_t block = 512) {
    auto stage = std::make_unique<ThreeBand>();
    for (size_t at = 0; at < signal.left.size(); at += block) {
        const int32_t n = static_cast<int32_t>(std::min(block, signal.left.size() - at));
        stage->process(&signal.left[at], &signal.right[at], n, params.values, rate);
    }
    return signal;
}

double gainForSine(const Params& params, double freq) {
    const std::vector<float> wave = sineWave(freq, 44100.0, 44100);
    return rmsOfSecondHalf(runThreeBand(params, {wave, wave}, 44100.0f).left) / rmsOfSecondHalf(wave);
}

const int kControls[] = {kEqLow,       kEqMid,    kEqHigh,   kLowWidener, kMidWidener,
                         kHighWidener, kLowDelay, kMidDelay, kHighDelay};

TEST(ThreeBand, RunsOnlyWhenAControlLeavesTheNeutralRange) {
    EXPECT_FALSE(ThreeBand::isActive(Params().set(kMidFreq, 1.0f).values)) << "MidFreq only moves the bands";
    for (int index : kControls) {
        for (float neutral : {0.45f, 0.5f, 0.55f, kNaN})
            EXPECT_FALSE(ThreeBand::isActive(Params().set(index, neutral).values)) << index << " " << neutral;
        for (float active : {std::nextafter(0.45f, 0.0f), std::nextafter(0.55f, 1.0f), 0.0f, 1.0f})
            EXPECT_TRUE(ThreeBand::isActive(Params().set(index, active).values)) << index << " " << active;
    }
}

// With every control neutral, low - band + high is an all-pass; without the middle band, low + high is a
// notch at 3.1457 / pi times the centre, which MidFreq moves from 500 to 2500 Hz.
TEST(ThreeBand, LevelsAndNotchFollowTheFilter) {
    for (double freq : {60.0, 500.0, 2500.0, 9000.0})
        EXPECT_NEAR(gainForSine(Params().set(kMidFreq, 0.3f), freq), 1.0, 2e-3) << freq;
    const double scale = 3.1457 / kPi;
    EXPECT_LT(gainForSine(Params().set(kEqMid, 0.0f).set(kMidFreq, 0.0f), 500.0 * scale), 1e-3);
    EXPECT_LT(gainForSine(Params().set(kEqMid, 0.0f).set(kMidFreq, 1.0f), 2500.0 * scale), 1e-3);
    EXPECT_GT(gainForSine(Params().set(kEqMid, 0.0f).set(kMidFreq, 0.0f), 2500.0 * scale), 0.7);
    for (float rate : {44100.0f, 48000.0f, 88200.0f, 96000.0f})
        for (float midFreq = 0.0f; midFreq <= 1.0f; midFreq += 0.125f)
            EXPECT_EQ(
                ThreeBand::filterCoefficient(midFreq, rate),
                static_cast<float>(2.0 * std::sin(3.1457 * (500.0f + 2000.0f * (midFreq * midFreq)) / rate)));
    EXPECT_EQ(ThreeBand::filterCoefficient(1.0f, 8000.0f), 1.0f); // limited where it would be unstable
    EXPECT_EQ(ThreeBand::filterCoefficient(kNaN, 44100.0f), 0.0f);
}

TEST(ThreeBand, LevelsAndWidthsMixTheBands) {
    const Stereo in = noise(8192, 1);
    const Stereo raised = runThreeBand(Params().set(kEqLow, 0.56f), in, 44100.0f);
    const Stereo neutral = runThreeBand(Params(), in, 44100.0f);
    const Stereo lowOnly = runThreeBand(Params().set(kEqMid, 0.0f).set(kEqHigh, 0.0f), in, 44100.0f);
    const Stereo mono = runThreeBand(
        Params().set(kLowWidener, 0.0f).set(kMidWidener, 0.0f).set(kHighWidener, 0.0f), in, 44100.0f);
    for (size_t i = 0; i < in.left.size(); ++i) { // level 4 x 0.56^2 = 1.2544 adds 0.2544 of the low band
        ASSERT_NEAR(raised.left[i], neutral.left[i] + 0.2544f * lowOnly.left[i], 1e-5f) << i;
        ASSERT_NEAR(raised.right[i], neutral.right[i] + 0.2544f * lowOnly.right[i], 1e-5f) << i;
        ASSERT_NEAR(mono.left[i], mono.right[i], 1e-6f) << i;
    }
}

TEST(ThreeBand, OneSideOfTheBandLagsByTheSetTime) {
    struct Case {
        int delayControl;
        float value, rate;
        int32_t lag;
        bool leftLags;
    };
    for (const Case& c :
         {Case{kLowDelay, 1.0f, 44100.0f, 1323, true}, Case{kHighDelay, 0.0f, 48000.0f, 1440, false},
          Case{kMidDelay, 1.0f, 96000.0f, 2880, true}, Case{kMidDelay, 0.25f, 44100.0f, 661, false}})
        for (size_t block : {size_t{1}, size_t{100}, size_t{4096}}) {
            Params params; // only the band under test, the same noise on both sides
            for (int level : {kEqLow, kEqMid, kEqHigh})
                if (level - kEqLow != c.delayControl - kLowDelay) params.set(level, 0.0f);
            const Stereo out =
                runThreeBand(params.set(c.delayControl, c.value), noise(6000, 3, true), c.rate, block);
            const std::vector<float>& late = c.leftLags ? out.left : out.right;
            const std::vector<float>& early = c.leftLags ? out.right : out.left;
            for (int32_t i = 0; i < c.lag; ++i)
                ASSERT_EQ(late[i], 0.0f) << i;
            for (size_t i = c.lag; i < late.size(); ++i)
                ASSERT_NEAR(late[i], early[i - c.lag], 1e-5f) << i;
        }
    for (float value : {kNaN, kInf, -kInf, 1e30f, -2.0f, 0.5f})
        for (float rate : {44100.0f, 192000.0f, 1e9f})
            for (int32_t delay : {ThreeBand::leftDelay(value, rate), ThreeBand::rightDelay(value, rate)})
                EXPECT_TRUE(delay >= 0 && delay <= kBandDelayMask) << value << " " << rate;
    EXPECT_EQ(ThreeBand::leftDelay(1.0f, 192000.0f), 5760 - 4096); // past 4096 samples a delay wraps round
}

// --- Punch and exciter ---

// The chain sample by sample, section by section: what the punch stage must compute.
void punchOneByOne(Punch& p, float* left, float* right, int32_t n, int32_t sections, float c) {
    for (int32_t i = 0; i < n; ++i)
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

TEST(Punch, SectionsAndCoefficient) {
    const std::pair<float, int> counts[] = {{0.02f, 0},  {0.0205f, 1}, {0.5f, 24}, {0.999f, 48}, {1.0f, 49},
                                            {1e30f, 49}, {kInf, 49},   {-0.5f, 0}, {-kInf, 0},   {kNaN, 0}};
    for (auto [value, count] : counts)
        EXPECT_EQ(Punch::sectionCount(value), count) << value;
    // One section's answer to a unit impulse starts with -c, c about e^(-2512 / rate).
    const std::pair<float, float> coefficients[] = {
        {44100.0f, 0.949108f}, {48000.0f, 0.953406f}, {96000.0f, 0.976286f}};
    for (auto [rate, c] : coefficients) {
        Punch punch;
        float left = 1.0f, right = 1.0f;
        punch.process(&left, &right, 1, 0.0205f, rate);
        EXPECT_NEAR(-left, c, 1e-6f) << rate;
        EXPECT_NEAR(std::exp(-2512.0 / rate), c, 0.017 * c) << rate;
    }
}

// Blocks of many sizes, a section count that changes between blocks, sections left idle and resumed.
// Every register width the processor has.
TEST(Punch, AgreesBitForBitWithTheChainRunSampleBySample) {
    for (VectorWidth width : {VectorWidth::Sse2, VectorWidth::Avx, VectorWidth::Avx512}) {
        if (Punch::useVectors(width) != width) continue; // this processor lacks it
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
    Punch::useVectors(VectorWidth::Avx512);
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
    float &lp = state[0], &prevHp = state[1], &prevSum = state[2], &hp1 = state[3], &hp2 = state[4];
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

TEST(Exciter, SwitchAndCoefficientsFollowTheFormulas) {
    EXPECT_FALSE(Exciter::isActive(0.02f));
    EXPECT_TRUE(Exciter::isActive(std::nextafter(0.02f, 1.0f)));
    EXPECT_FALSE(Exciter::isActive(kNaN));
    for (float rate : {44100.0f, 48000.0f, 88200.0f, 96000.0f})
        for (float freq = 0.0f; freq <= 1.0f; freq += 0.125f) {
            const Exciter::Coefficients k = Exciter::coefficients(0.8f, freq, rate);
            EXPECT_EQ(k.inputLowPass, 20000.0f / rate);
            EXPECT_EQ(k.outputHighPass, (1000.0f + 24000.0f * (freq * freq)) / rate);
            EXPECT_NEAR(k.mixGain, 0.8 * std::exp(2.5 * freq) / 4, 2e-6);
        }
    // Limited to the one-pole range at low rates; non-finite tuning adds nothing.
    EXPECT_EQ(Exciter::coefficients(1.0f, 1.0f, 8000.0f).outputHighPass, 1.0f);
    EXPECT_EQ(Exciter::coefficients(1.0f, kNaN, 44100.0f).mixGain, 0.0f);
}

TEST(Exciter, AgreesBitForBitWithThePiecewiseCurve) {
    Exciter exciter;
    float stateL[5] = {}, stateR[5] = {};
    // Loud noise drives 16 u far past both joins of the curve; then silence and a constant add nothing.
    std::vector<float> left = uniformNoise(8192, 3, 1.0f), right = uniformNoise(8192, 4, 1.0f);
    left.resize(40000, 0.0f);
    right.resize(40000, 0.3f);
    std::vector<float> plainL = left, plainR = right;
    for (size_t at = 0; at < left.size(); at += 333) { // blocks that end mid-chunk and mid-vector
        const int32_t n = static_cast<int32_t>(std::min<size_t>(333, left.size() - at));
        exciter.process(&left[at], &right[at], n, 0.9f, 0.4f, 48000.0f);
        excitePlainly(&plainL[at], n, 0.9f, 0.4f, 48000.0f, stateL);
        excitePlainly(&plainR[at], n, 0.9f, 0.4f, 48000.0f, stateR);
    }
    for (size_t i = 0; i < left.size(); ++i) {
        ASSERT_EQ(left[i], plainL[i]) << i;
        ASSERT_EQ(right[i], plainR[i]) << i;
    }
    EXPECT_LT(std::fabs(left.back()), 1e-6f);
    EXPECT_NEAR(right.back(), 0.3f, 1e-6f);
}

} // namespace
