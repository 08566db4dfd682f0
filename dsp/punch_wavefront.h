// The punch chain as a wavefront over any lane width; included by each instruction-set variant, whose
// copies the unnamed namespace keeps apart.
#pragma once

#include <cstdint>
#include <cstring>

namespace {

// Advances the lanes begin..end-1 by one sample. Lane k is section k/2 of channel k%2: its input is
// chain[k] and its output goes to chain[k + 2], where the next section reads it one step later.
// Going downwards, every lane reads its input before the lane below overwrites it.
template <typename Vector>
inline void advanceLanes(float* chain, float* lastIn, int32_t begin, int32_t end, float c) {
    constexpr int32_t width = sizeof(Vector) / sizeof(float);
    Vector cs;
    for (int32_t i = 0; i < width; ++i)
        cs[i] = c;
    const auto load = [](const float* p) {
        Vector v;
        std::memcpy(&v, p, sizeof v);
        return v;
    };
    const auto store = [](float* p, Vector v) { std::memcpy(p, &v, sizeof v); };
    int32_t k = end;
    while (k - begin >= width) {
        k -= width;
        const Vector in = load(chain + k);
        store(chain + k + 2, (load(chain + k + 2) - in) * cs + load(lastIn + k));
        store(lastIn + k, in);
    }
    while (k > begin) {
        --k;
        const float in = chain[k];
        chain[k + 2] = (chain[k + 2] - in) * c + lastIn[k];
        lastIn[k] = in;
    }
}

// At step s section j works on sample s - j, so all sections of a step are independent. chain[2j],
// chain[2j + 1]: section j's input (left, right); chain[2j + 2], chain[2j + 3]: its output.
template <typename Vector>
void runWavefront(float* chain, float* lastIn, float* left, float* right, int32_t n, int32_t sections,
                  float c) {
    const int32_t steps = n + sections - 1;
    for (int32_t s = 0; s < steps; ++s) {
        if (s < n) {
            chain[0] = left[s];
            chain[1] = right[s];
        }
        // Sections above s have not reached this block yet; those below s - n + 1 have finished it.
        const int32_t first = s < n ? 0 : s - n + 1;
        const int32_t last = s < sections ? s : sections - 1;
        advanceLanes<Vector>(chain, lastIn, 2 * first, 2 * last + 2, c);
        if (s >= sections - 1) {
            left[s - sections + 1] = chain[2 * sections];
            right[s - sections + 1] = chain[2 * sections + 1];
        }
    }
}

} // namespace
