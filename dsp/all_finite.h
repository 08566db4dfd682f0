// True when none of the values is NaN or infinite; the stages test their state with it once per block.
#pragma once

#include <cmath>

inline bool allFinite(const float* values, int count) {
    // x * 0 is 0 for every finite x and NaN otherwise, so the loop needs no branch per value.
    float probe = 0.0f;
    for (int i = 0; i < count; ++i)
        probe += values[i] * 0.0f;
    return probe == 0.0f;
}
