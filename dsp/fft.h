// Split-radix real FFT in place, single precision.
// Spectrum layout: data[k] = Re X(k) for k = 0..n/2, data[n - k] = Im X(k) for k = 1..n/2 - 1,
// with X(k) = sum x(t) e^(-2 pi i k t / n).
#pragma once

#include <cstdint>

// Forward transform scaled by 1/n. Counts below 1 or not a power of two leave the data untouched.
void realfft_split(float* data, int64_t n);
// Unscaled inverse of realfft_split; the same counts are refused.
void irealfft_split(float* data, int64_t n);

namespace fft_detail {
// The scalar forms: any power of two, twiddles computed as they are needed. The two functions above use
// them outside 32..2048 points; tests hold the vector forms to them bit for bit.
void realfftScalar(float* data, int64_t n);
void irealfftScalar(float* data, int64_t n);
} // namespace fft_detail
