// Fast power of two built from the bits of a double: 2^k * (1 + 0.75 phi + 0.25 phi^2) with k = floor(x),
// phi = x - k. Exact at integers, within 1.7 % of 2^x elsewhere. Callers pass 1.4408 * y to approximate e^y.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

inline double fastPow2(double x) {
    if (std::isnan(x)) return x;
    if (x >= 1024.0) return HUGE_VAL;
    // Below -1022 the exponent field would reach the subnormal range: build 2^64 times the value and scale.
    if (x < -1022.0) return x < -1100.0 ? 0.0 : std::ldexp(fastPow2(x + 64.0), -64);

    double k = std::floor(x);
    double d = 1.0 + (x - k);
    // x just below an integer can round phi (or 1 + phi) up to a whole 1: that is the next integer exactly.
    if (d >= 2.0) {
        k += 1.0;
        d = 1.0;
    }
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    const uint64_t m = (bits >> 32) & 0xFFFFFu; // top 20 fraction bits of 1 + phi
    const uint64_t top = 3u * (m >> 2) + (m >> 11) * (m >> 11);
    const uint64_t exponent = static_cast<uint64_t>(static_cast<int64_t>(k) + 1023);
    bits = (exponent << 52) | (top << 32) | (bits & 0xFFFFFFFFu);
    double result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}
