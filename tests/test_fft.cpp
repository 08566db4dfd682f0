// The real FFT against direct sums, its vector forms against the scalar form, the polynomial sine and
// cosine against libm, and fastPow2 against its quadratic.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "dsp/fast_pow2.h"
#include "dsp/fast_trig.h"
#include "dsp/fft.h"
#include "test_signals.h"

namespace {

constexpr int64_t kN = 2048;
constexpr double kTwoPi = 6.283185307179586;

double angleOf(int64_t k, int64_t t, int64_t n) {
    return kTwoPi * static_cast<double>((k * t) % n) / static_cast<double>(n);
}

// X(k) = (1/n) sum x(t) e^(-2 pi i k t / n) in double, in the split layout.
std::vector<double> directSpectrum(const std::vector<float>& x) {
    const int64_t n = static_cast<int64_t>(x.size());
    std::vector<double> out(x.size());
    for (int64_t k = 0; k <= n / 2; ++k) {
        double re = 0, im = 0;
        for (int64_t t = 0; t < n; ++t) {
            re += x[t] * std::cos(angleOf(k, t, n));
            im -= x[t] * std::sin(angleOf(k, t, n));
        }
        out[k] = re / n;
        if (k > 0 && k < n / 2) out[n - k] = im / n;
    }
    return out;
}

// Random signals plus an impulse, a constant and sines on a few bins: layout, sign and scaling.
std::vector<std::vector<float>> forwardCases(int64_t n) {
    std::vector<std::vector<float>> cases = {uniformNoise(n, static_cast<unsigned>(n), 1.0f),
                                             uniformNoise(n, 99, 1.0f), std::vector<float>(n, 0.75f),
                                             std::vector<float>(n, 0.0f)};
    cases[3][0] = 1.0f;
    for (int64_t k0 : {int64_t{1}, n / 4 - 1, n / 2 - 1}) {
        std::vector<float> sine(n);
        for (int64_t t = 0; t < n; ++t)
            sine[t] = 0.8f * static_cast<float>(std::sin(angleOf(k0, t, n)));
        cases.push_back(sine);
    }
    return cases;
}

TEST(RealFft, ForwardAgreesWithDirectTransform) {
    for (int64_t n = 4; n <= kN; n <<= 1)
        for (const auto& x : forwardCases(n)) {
            const auto expected = directSpectrum(x);
            auto y = x;
            realfft_split(y.data(), n);
            for (int64_t i = 0; i < n; ++i)
                ASSERT_NEAR(y[i], expected[i], 3e-7) << "n=" << n << " i=" << i;
        }
}

TEST(RealFft, InverseSynthesisesTheStatedSumAndUndoesTheForward) {
    for (int64_t n : {4, 16, 256, 2048}) {
        const auto y = uniformNoise(n, 7, 1.0f);
        auto x = y;
        irealfft_split(x.data(), n);
        for (int64_t t = 0; t < n; ++t) {
            double sum = y[0] + y[n / 2] * ((t % 2) ? -1.0 : 1.0);
            for (int64_t k = 1; k < n / 2; ++k)
                sum += 2.0 * (y[k] * std::cos(angleOf(k, t, n)) - y[n - k] * std::sin(angleOf(k, t, n)));
            ASSERT_NEAR(x[t], sum, 2e-5 * static_cast<double>(n) / 256.0) << "n=" << n << " t=" << t;
        }
        realfft_split(x.data(), n);
        for (int64_t i = 0; i < n; ++i)
            ASSERT_NEAR(x[i], y[i], 1e-6) << "n=" << n << " i=" << i;
    }
}

// The vector forms (four lanes, and eight or sixteen where the processor has AVX or AVX-512) must repeat
// the scalar forms' arithmetic exactly, twiddles included.
TEST(RealFft, FastFormsEqualScalarFormsBitForBit) {
    for (VectorWidth width : {VectorWidth::Sse2, VectorWidth::Avx, VectorWidth::Avx512}) {
        if (fft_detail::useVectors(width) != width) continue; // this processor lacks it
        for (int64_t n = 4; n <= kN; n <<= 1) {
            for (unsigned seed = 0; seed < 4; ++seed) {
                const auto x = uniformNoise(n, seed + 100, 1.0f);
                for (bool forward : {true, false}) {
                    auto fast = x, scalar = x;
                    (forward ? realfft_split : irealfft_split)(fast.data(), n);
                    (forward ? fft_detail::realfftScalar : fft_detail::irealfftScalar)(scalar.data(), n);
                    for (int64_t i = 0; i < n; ++i)
                        ASSERT_EQ(fast[i], scalar[i]) << "n=" << n << (forward ? " forward" : " inverse")
                                                      << " width " << static_cast<int>(width) << " at " << i;
                }
            }
        }
    }
    fft_detail::useVectors(VectorWidth::Avx512);
}

// Two points: sum and difference, halved forward; counts below 2 or not a power of two are refused.
TEST(RealFft, TinyAndRefusedCounts) {
    float two[2] = {3.0f, 1.0f}, untouched[6] = {1, 2, 3, 4, 5, 6};
    realfft_split(two, 2);
    EXPECT_TRUE(two[0] == 2.0f && two[1] == 1.0f);
    irealfft_split(two, 2);
    EXPECT_TRUE(two[0] == 3.0f && two[1] == 1.0f);
    for (int64_t n : {0, -4, 1, 3, 6}) {
        realfft_split(untouched, n);
        irealfft_split(untouched, n);
    }
    EXPECT_EQ(std::vector<float>(untouched, untouched + 6), std::vector<float>({1, 2, 3, 4, 5, 6}));
}

// Near a quarter turn the polynomial's last coefficient decides the result: against libm its error must
// stay within float rounding there, and be odd/even about zero everywhere.
TEST(FastTrig, MatchesLibm) {
    double worst = 0, bias = 0;
    int count = 0;
    for (float a = -20.0f; a <= 20.0f; a += 0.001f) {
        ASSERT_EQ(fastSin(-a), -fastSin(a));
        ASSERT_EQ(fastCos(-a), fastCos(a));
        // Outside one turn the folded argument reaches -pi, where the polynomial is looser.
        ASSERT_NEAR(fastSin(a), std::sin(static_cast<double>(a)), 2e-4) << a;
        ASSERT_NEAR(fastCos(a), std::cos(static_cast<double>(a)), 2e-4) << a;
        if (std::fabs(a) > 0.4f) continue;
        // Every twiddle angle lies below pi: here cos reads the polynomial at its far end.
        const double err = fastCos(a) - std::cos(static_cast<double>(a));
        worst = std::max(worst, std::fabs(err));
        bias += err, ++count;
    }
    EXPECT_LT(worst, 1.5e-7);
    EXPECT_LT(std::fabs(bias / count), 2e-8);
}

double quadraticForm(double x) {
    const double k = std::floor(x), phi = x - k;
    return std::ldexp(1.0 + 0.75 * phi + 0.25 * phi * phi, static_cast<int>(k));
}

// Exact at integers, close to the quadratic (the bit recipe truncates its top bits, so not equal) and to
// the power; where x - floor(x) rounds to a whole 1 the result is the next power; the ends saturate.
TEST(FastPow2, FollowsItsQuadraticAndThePower) {
    for (int k = -1022; k <= 1023; ++k)
        ASSERT_EQ(fastPow2(k), std::ldexp(1.0, k)) << k;
    double worstToPower = 0.0, worstToQuadratic = 0.0;
    for (double x = -60.0; x <= 60.0; x += 0.000731) {
        worstToPower = std::max(worstToPower, std::fabs(fastPow2(x) / std::exp2(x) - 1.0));
        worstToQuadratic = std::max(worstToQuadratic, std::fabs(fastPow2(x) / quadraticForm(x) - 1.0));
    }
    EXPECT_LT(worstToPower, 0.017);
    EXPECT_LT(worstToQuadratic, 6e-4);
    EXPECT_GT(worstToQuadratic, 1e-4);
    for (double x :
         {-1e-300, -1e-17, -1.2e-16, -5.5e-14, std::nextafter(-3.0, -4.0), std::nextafter(7.0, 6.0)})
        EXPECT_NEAR(fastPow2(x) / std::exp2(std::ceil(x)), 1.0, 6e-4) << x;
    for (double x : {-1022.5, -1030.25, -1070.0})
        EXPECT_NEAR(fastPow2(x) / std::exp2(x), 1.0, 0.017) << x;
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(std::isnan(fastPow2(std::nan(""))));
    const std::pair<double, double> saturated[] = {{inf, inf}, {1024.0, inf}, {-inf, 0.0}, {-5000.0, 0.0}};
    for (auto [x, expected] : saturated)
        EXPECT_EQ(fastPow2(x), expected) << x;
}

} // namespace
