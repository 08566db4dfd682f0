// Polynomial sine and cosine in single precision: the forward FFT's twiddles and the loudness shelf use them.
#pragma once

#include <cmath>
#include <cstdint>

namespace fast_trig_detail {
// Odd polynomial for |r| <= pi/2; the innermost coefficient is deliberately -2.39e-8, not 1/11!.
inline float polySin(float t) {
    const float t2 = t * t;
    return t *
           (1.0f + t2 * (-0.16666667f +
                         t2 * (0.008333332f + t2 * (-0.000198409f + t2 * (2.7526e-6f + t2 * (-2.39e-8f))))));
}
inline float fractionalTurns(float u) {
    return u - static_cast<float>(static_cast<int64_t>(u));
}
} // namespace fast_trig_detail

inline float fastCos(float a) {
    const float u = (std::fabs(a) + 1.5707964f) * 0.15915494f;
    float r = fast_trig_detail::fractionalTurns(u) * 6.2831855f;
    if (r > 1.5707964f) r = 3.1415927f - r;
    return fast_trig_detail::polySin(r);
}

inline float fastSin(float a) {
    const float s = a >= 0.0f ? 1.0f : -1.0f;
    const float u = a * s * 0.15915494f;
    float r = fast_trig_detail::fractionalTurns(u) * 6.2831855f;
    if (r > 1.5707964f) r = 3.1415927f - r;
    return s * fast_trig_detail::polySin(r);
}
