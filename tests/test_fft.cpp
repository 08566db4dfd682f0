// Real FFT: layout, sign, scaling, round trip, agreement with a direct transform, and the polynomial trig.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dsp/fast_trig.h"
#include "dsp/fft.h"

namespace {

constexpr int64_t kN = 2048;
constexpr double kTwoPi = 6.283185307179586;

std::vector<float> randomSignal(int64_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(static_cast<size_t>(n));
    for (auto& v : x)
        v = dist(rng);
    return x;
}

// Direct DFT in double, scaled by 1/n, in the split layout.
std::vector<double> directSpectrum(const std::vector<float>& x) {
    const int64_t n = static_cast<int64_t>(x.size());
    std::vector<double> out(x.size());
    for (int64_t k = 0; k <= n / 2; ++k) {
        double re = 0, im = 0;
        for (int64_t t = 0; t < n; ++t) {
            const double angle = kTwoPi * static_cast<double>((k * t) % n) / static_cast<double>(n);
            re += x[t] * std::cos(angle);
            im -= x[t] * std::sin(angle);
        }
        out[k] = re / n;
        if (k > 0 && k < n / 2) out[n - k] = im / n;
    }
    return out;
}

TEST(RealFft, ImpulseGivesFlatRealSpectrum) {
    std::vector<float> x(kN, 0.0f);
    x[0] = 1.0f;
    realfft_split(x.data(), kN);
    for (int64_t k = 0; k <= kN / 2; ++k)
        EXPECT_FLOAT_EQ(x[k], 1.0f / kN) << k;
    for (int64_t k = 1; k < kN / 2; ++k)
        EXPECT_EQ(x[kN - k], 0.0f) << k;
}

TEST(RealFft, ConstantGivesMeanInBinZeroOnly) {
    std::vector<float> x(kN, 0.75f);
    realfft_split(x.data(), kN);
    EXPECT_FLOAT_EQ(x[0], 0.75f);
    for (int64_t i = 1; i < kN; ++i)
        EXPECT_NEAR(x[i], 0.0f, 1e-7f) << i;
}

TEST(RealFft, SineLandsInNegativeImaginarySlot) {
    for (int64_t k0 : {1, 37, 511, 1023}) {
        std::vector<float> x(kN);
        for (int64_t t = 0; t < kN; ++t)
            x[t] = 0.8f * static_cast<float>(std::sin(kTwoPi * static_cast<double>((k0 * t) % kN) / kN));
        realfft_split(x.data(), kN);
        EXPECT_NEAR(x[kN - k0], -0.4f, 1e-6f) << k0;
        EXPECT_NEAR(x[k0], 0.0f, 1e-6f) << k0;
        for (int64_t i = 0; i < kN; ++i)
            if (i != k0 && i != kN - k0) {
                ASSERT_NEAR(x[i], 0.0f, 1e-6f) << k0 << " at " << i;
            }
    }
}

TEST(RealFft, ForwardAgreesWithDirectTransform) {
    for (int64_t n : {4, 8, 16, 64, 256, 2048}) {
        const auto x = randomSignal(n, static_cast<unsigned>(n));
        const auto expected = directSpectrum(x);
        auto y = x;
        realfft_split(y.data(), n);
        for (int64_t i = 0; i < n; ++i)
            ASSERT_NEAR(y[i], expected[i], 2e-7) << "n=" << n << " i=" << i;
    }
}

TEST(RealFft, InverseSynthesisesTheStatedSum) {
    for (int64_t n : {16, 256, 2048}) {
        const auto y = randomSignal(n, 7);
        auto x = y;
        irealfft_split(x.data(), n);
        for (int64_t t = 0; t < n; ++t) {
            double sum = y[0] + y[n / 2] * ((t % 2) ? -1.0 : 1.0);
            for (int64_t k = 1; k < n / 2; ++k) {
                const double angle = kTwoPi * static_cast<double>((k * t) % n) / n;
                sum += 2.0 * (y[k] * std::cos(angle) - y[n - k] * std::sin(angle));
            }
            ASSERT_NEAR(x[t], sum, 2e-5 * static_cast<double>(n) / 256.0) << "n=" << n << " t=" << t;
        }
    }
}

// The vector forms (32..2048 points, four lanes and, where the processor has AVX, eight) must repeat the
// scalar forms' arithmetic exactly, twiddles included.
TEST(RealFft, FastFormsEqualScalarFormsBitForBit) {
    for (bool avx : {false, true}) {
        if (fft_detail::useAvx(avx) != avx) continue; // this processor has no AVX
        for (int64_t n = 4; n <= kN; n <<= 1) {
            for (unsigned seed = 0; seed < 4; ++seed) {
                const auto x = randomSignal(n, seed + 100);
                for (bool forward : {true, false}) {
                    auto fast = x, scalar = x;
                    (forward ? realfft_split : irealfft_split)(fast.data(), n);
                    (forward ? fft_detail::realfftScalar : fft_detail::irealfftScalar)(scalar.data(), n);
                    for (int64_t i = 0; i < n; ++i)
                        ASSERT_EQ(fast[i], scalar[i]) << "n=" << n << (forward ? " forward" : " inverse")
                                                      << (avx ? " AVX" : " SSE2") << " at " << i;
                }
            }
        }
    }
    fft_detail::useAvx(true);
}

TEST(RealFft, RoundTripReturnsInput) {
    const auto x = randomSignal(kN, 42);
    auto y = x;
    realfft_split(y.data(), kN);
    irealfft_split(y.data(), kN);
    double worst = 0, sumSquares = 0;
    for (int64_t i = 0; i < kN; ++i) {
        const double err = std::fabs(static_cast<double>(y[i]) - x[i]);
        worst = std::max(worst, err);
        sumSquares += err * err;
    }
    EXPECT_LT(worst, 1e-6);
    EXPECT_LT(std::sqrt(sumSquares / kN), 2e-7);
}

TEST(RealFft, TinyAndRefusedCounts) {
    float one[1] = {3.5f};
    realfft_split(one, 1);
    EXPECT_EQ(one[0], 3.5f);
    irealfft_split(one, 1);
    EXPECT_EQ(one[0], 3.5f);

    float two[2] = {3.0f, 1.0f};
    realfft_split(two, 2);
    EXPECT_EQ(two[0], 2.0f);
    EXPECT_EQ(two[1], 1.0f);
    irealfft_split(two, 2);
    EXPECT_EQ(two[0], 3.0f);
    EXPECT_EQ(two[1], 1.0f);

    float untouched[6] = {1, 2, 3, 4, 5, 6};
    for (int64_t n : {0, -4, 3, 6}) {
        realfft_split(untouched, n);
        irealfft_split(untouched, n);
    }
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(untouched[i], static_cast<float>(i + 1));
}

// Every angle the forward transform feeds in: (j - 1) e and 3 (j - 1) e for all stages up to 2048.
TEST(FastTrig, MatchesLibmOnTransformAngles) {
    double worst = 0;
    for (int64_t m = 16; m <= kN; m <<= 1) {
        const float e = 6.2831855f / static_cast<float>(m);
        for (int64_t j = 2; j <= m / 8; ++j) {
            const float a = static_cast<float>(j - 1) * e;
            for (float angle : {a, 3.0f * a}) {
                worst = std::max(worst, std::fabs(fastSin(angle) - std::sin(static_cast<double>(angle))));
                worst = std::max(worst, std::fabs(fastCos(angle) - std::cos(static_cast<double>(angle))));
            }
        }
    }
    EXPECT_LT(worst, 5e-7);
}

TEST(FastTrig, OddSineEvenCosineAcrossTurns) {
    for (float a = -20.0f; a <= 20.0f; a += 0.01f) {
        EXPECT_EQ(fastSin(-a), -fastSin(a));
        EXPECT_EQ(fastCos(-a), fastCos(a));
        // Outside the transform's range the folded argument reaches -pi, where the polynomial is looser.
        ASSERT_NEAR(fastSin(a), std::sin(static_cast<double>(a)), 2e-4) << a;
        ASSERT_NEAR(fastCos(a), std::cos(static_cast<double>(a)), 2e-4) << a;
    }
}

} // namespace
