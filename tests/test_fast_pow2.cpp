#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dsp/fast_pow2.h"

namespace {

double quadraticForm(double x) {
    const double k = std::floor(x);
    const double phi = x - k;
    return std::ldexp(1.0 + 0.75 * phi + 0.25 * phi * phi, static_cast<int>(k));
}

} // namespace

TEST(FastPow2, ExactAtIntegers) {
    for (int k = -1022; k <= 1023; ++k)
        EXPECT_EQ(fastPow2(k), std::ldexp(1.0, k)) << k;
    EXPECT_EQ(fastPow2(0.5), 1.4375);
}

TEST(FastPow2, StaysCloseToThePowerAndToItsQuadratic) {
    double worstToPower = 0.0, worstToQuadratic = 0.0;
    for (double x = -60.0; x <= 60.0; x += 0.000731) {
        const double value = fastPow2(x);
        worstToPower = std::max(worstToPower, std::fabs(value / std::exp2(x) - 1.0));
        worstToQuadratic = std::max(worstToQuadratic, std::fabs(value / quadraticForm(x) - 1.0));
    }
    EXPECT_LT(worstToPower, 0.017);
    // The bit recipe truncates the quadratic's top bits: it is not the quadratic exactly.
    EXPECT_LT(worstToQuadratic, 6e-4);
    EXPECT_GT(worstToQuadratic, 1e-4);
}

// Where x - floor(x) rounds to a whole 1 the result must be the next power, not half or twice it.
TEST(FastPow2, JustBelowAnIntegerStaysNextToThatIntegersPower) {
    for (double x : {-1e-300, -1e-17, -1.2e-16, -1e-15, -5.5e-14, -1e-12})
        EXPECT_NEAR(fastPow2(x), 1.0, 6e-4) << x;
    for (double whole : {-3.0, 1.0, 7.0}) {
        const double below = std::nextafter(whole, -1e9);
        EXPECT_NEAR(fastPow2(below), std::exp2(whole), std::exp2(whole) * 6e-4) << whole;
    }
}

TEST(FastPow2, OutOfRangeAndNonFiniteInputs) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(std::isnan(fastPow2(std::nan(""))));
    EXPECT_EQ(fastPow2(inf), inf);
    EXPECT_EQ(fastPow2(1024.0), inf);
    EXPECT_EQ(fastPow2(-inf), 0.0);
    EXPECT_EQ(fastPow2(-5000.0), 0.0);
    for (double x : {-1022.5, -1030.25, -1070.0})
        EXPECT_NEAR(fastPow2(x) / std::exp2(x), 1.0, 0.017) << x;
}
