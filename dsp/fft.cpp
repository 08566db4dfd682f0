// Real-valued split-radix FFT after Sorensen, Jones, Heideman and Burrus (IEEE ASSP-35, 1987).
// Forward twiddles come from the polynomial sine and cosine, inverse twiddles from libm.
#include "dsp/fft.h"

#include <cmath>

#include "dsp/fast_trig.h"

namespace {

// Element indices of the twiddled L-shaped butterfly j of the group starting at `group` (quarter length m4).
struct ButterflyIndices {
    int64_t i1, i2, i3, i4, i5, i6, i7, i8;
};
inline ButterflyIndices twiddledButterfly(int64_t group, int64_t j, int64_t m4) {
    const int64_t i1 = group + j - 1;
    const int64_t i5 = group + m4 - j + 1;
    return {i1, i1 + m4, i1 + 2 * m4, i1 + 3 * m4, i5, i5 + m4, i5 + 2 * m4, i5 + 3 * m4};
}

constexpr float kSqrt2 = 1.4142135f;

bool isPowerOfTwo(int64_t n) {
    return n >= 1 && (n & (n - 1)) == 0;
}

void bitReverse(float* data, int64_t n) {
    const int64_t half = n / 2;
    int64_t j = 0;
    for (int64_t i = 0; i < n - 1; ++i) {
        if (i < j) {
            const float t = data[j];
            data[j] = data[i];
            data[i] = t;
        }
        int64_t k = half;
        while (k <= j) {
            j -= k;
            k >>= 1;
        }
        j += k;
    }
}

// (a, b) -> (a + b, a - b) on the pairs the split-radix pattern leaves at length two.
void lengthTwoButterflies(float* data, int64_t n) {
    const int64_t last = n - 1;
    int64_t start = 0;
    int64_t step = 4;
    do {
        for (int64_t s = start; s < last; s += step) {
            const float a = data[s];
            data[s] = a + data[s + 1];
            data[s + 1] = a - data[s + 1];
        }
        step <<= 1;
        start = step - 2;
        step <<= 1;
    } while (start < last);
}

} // namespace

void realfft_split(float* data, int64_t n) {
    if (!isPowerOfTwo(n)) return;
    bitReverse(data, n);
    lengthTwoButterflies(data, n);

    int64_t m = 2; // stage length
    for (int64_t remaining = n; remaining > 2; remaining >>= 1) {
        m <<= 1;
        const int64_t m4 = m >> 2;
        const int64_t m8 = m >> 3;
        const float e = 6.2831855f / static_cast<float>(m);

        int64_t start = 0;
        int64_t step = m << 1;
        do {
            for (int64_t i1 = start; i1 < n; i1 += step) {
                int64_t i2 = i1 + m4;
                int64_t i3 = i2 + m4;
                int64_t i4 = i3 + m4;
                float t1 = data[i4] + data[i3];
                data[i4] -= data[i3];
                data[i3] = data[i1] - t1;
                data[i1] += t1;
                if (m4 != 1) {
                    const int64_t i0 = i1 + m8;
                    i2 += m8;
                    i3 += m8;
                    i4 += m8;
                    t1 = (data[i3] + data[i4]) / kSqrt2;
                    const float t2 = (data[i3] - data[i4]) / kSqrt2;
                    data[i4] = data[i2] - t1;
                    data[i3] = -data[i2] - t1;
                    data[i2] = data[i0] - t2;
                    data[i0] += t2;
                }
            }
            step <<= 1;
            start = step - m;
            step <<= 1;
        } while (start < n);

        float a = e;
        for (int64_t j = 2; j <= m8; ++j) {
            const float a3 = 3.0f * a;
            const float cc1 = fastCos(a);
            const float ss1 = fastSin(a);
            const float cc3 = fastCos(a3);
            const float ss3 = fastSin(a3);
            a = static_cast<float>(j) * e;
            int64_t group = 0;
            step = m << 1;
            do {
                for (; group < n; group += step) {
                    const auto [i1, i2, i3, i4, i5, i6, i7, i8] = twiddledButterfly(group, j, m4);
                    float t1 = data[i3] * cc1 + data[i7] * ss1;
                    float t2 = data[i7] * cc1 - data[i3] * ss1;
                    float t3 = data[i4] * cc3 + data[i8] * ss3;
                    float t4 = data[i8] * cc3 - data[i4] * ss3;
                    const float t5 = t1 + t3;
                    const float t6 = t2 + t4;
                    t3 = t1 - t3;
                    t4 = t2 - t4;
                    t2 = data[i6] + t6;
                    data[i3] = t6 - data[i6];
                    data[i8] = t2;
                    t2 = data[i2] - t3;
                    data[i7] = -data[i2] - t3;
                    data[i4] = t2;
                    t1 = data[i1] + t5;
                    data[i6] = data[i1] - t5;
                    data[i1] = t1;
                    t1 = data[i5] + t4;
                    data[i5] -= t4;
                    data[i2] = t1;
                }
                step <<= 1;
                group = step - m;
                step <<= 1;
            } while (group < n);
        }
    }

    // n is a power of two, so multiplying by 1/n rounds exactly as dividing by n.
    const float scale = 1.0f / static_cast<float>(n);
    for (int64_t i = 0; i < n; ++i)
        data[i] *= scale;
}

void irealfft_split(float* data, int64_t n) {
    if (!isPowerOfTwo(n)) return;
    const int64_t last = n - 1;
    int64_t m = n << 1;
    for (int64_t remaining = n; remaining > 2; remaining >>= 1) {
        int64_t step = m;
        m >>= 1;
        const int64_t m4 = m >> 2;
        const int64_t m8 = m >> 3;
        const float e = 6.2831855f / static_cast<float>(m);

        int64_t start = 0;
        do {
            for (int64_t i1 = start; i1 < n; i1 += step) {
                int64_t i2 = i1 + m4;
                int64_t i3 = i2 + m4;
                int64_t i4 = i3 + m4;
                float t1 = data[i1] - data[i3];
                data[i1] += data[i3];
                data[i2] *= 2.0f;
                data[i3] = t1 - 2.0f * data[i4];
                data[i4] = t1 + 2.0f * data[i4];
                if (m4 != 1) {
                    const int64_t i0 = i1 + m8;
                    i2 += m8;
                    i3 += m8;
                    i4 += m8;
                    t1 = (data[i2] - data[i0]) / kSqrt2;
                    const float t2 = (data[i4] + data[i3]) / kSqrt2;
                    data[i0] += data[i2];
                    data[i2] = data[i4] - data[i3];
                    data[i3] = 2.0f * (-t2 - t1);
                    data[i4] = 2.0f * (-t2 + t1);
                }
            }
            step <<= 1;
            start = step - m;
            step <<= 1;
        } while (start < last);

        float a = e;
        for (int64_t j = 2; j <= m8; ++j) {
            const float a3 = 3.0f * a;
            const float cc1 = std::cos(a);
            const float ss1 = std::sin(a);
            const float cc3 = std::cos(a3);
            const float ss3 = std::sin(a3);
            a = static_cast<float>(j) * e;
            int64_t group = 0;
            step = m << 1;
            do {
                for (; group < n; group += step) {
                    const auto [i1, i2, i3, i4, i5, i6, i7, i8] = twiddledButterfly(group, j, m4);
                    float t1 = data[i1] - data[i6];
                    data[i1] += data[i6];
                    float t2 = data[i5] - data[i2];
                    data[i5] += data[i2];
                    const float t3 = data[i8] + data[i3];
                    data[i6] = data[i8] - data[i3];
                    float t4 = data[i4] + data[i7];
                    data[i2] = data[i4] - data[i7];
                    const float t5 = t1 - t4;
                    t1 += t4;
                    t4 = t2 - t3;
                    t2 += t3;
                    data[i3] = t5 * cc1 + t4 * ss1;
                    data[i7] = -t4 * cc1 + t5 * ss1;
                    data[i4] = t1 * cc3 - t2 * ss3;
                    data[i8] = t2 * cc3 + t1 * ss3;
                }
                step <<= 1;
                group = step - m;
                step <<= 1;
            } while (group < last);
        }
    }
    lengthTwoButterflies(data, n);
    bitReverse(data, n);
}
