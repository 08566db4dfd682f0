// Split-radix real FFT in place, single precision.
// Spectrum layout: data[k] = Re X(k) for k = 0..n/2, data[n - k] = Im X(k) for k = 1..n/2 - 1,
// with X(k) = sum x(t) e^(-2 pi i k t / n).
#pragma once

#include <cstdint>

#include "dsp/cpu_features.h"

// Forward transform scaled by 1/n. Counts below 1 or not a power of two leave the data untouched.
void realfft_split(float* data, int64_t n);
// Unscaled inverse of realfft_split; the same counts are refused.
void irealfft_split(float* data, int64_t n);

namespace fft_detail {
// The scalar forms: any power of two, twiddles computed as they are needed. The two functions above use
// them outside 32..2048 points; tests hold the vector forms to them bit for bit.
void realfftScalar(float* data, int64_t n);
void irealfftScalar(float* data, int64_t n);

// How wide the vector form runs: the wanted width, or the widest below it that the processor has; returns
// the width in force, so tests can cover each. By default the widest.
VectorWidth useVectors(VectorWidth wanted);
// The eight- and sixteen-lane stages, built for AVX and AVX-512 in files of their own; table as in the
// four-lane form.
void largeStageAvx(float* data, int64_t n, int64_t m, const float* const* table, bool forward);
void largeStageAvx512(float* data, int64_t n, int64_t m, const float* const* table, bool forward);

// The 16-point blocks that one pass takes from the second length-two pass up to stage 16 (kind 0) or 32
// (kind 1: starts of the stage-32 groups); scaled when that stage is the forward's last.
struct BlockBatch {
    const uint16_t* starts;
    int count;
    int kind;
    bool scaled;
};
// The block pass eight blocks wide, built for AVX like the stage above.
void blockPassAvx(float* data, const BlockBatch& batch, const float* const* table, bool forward);
} // namespace fft_detail
