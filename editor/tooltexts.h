// The help texts of the parameter controls, shown as their tooltips.
#pragma once

#include "engine/parameter_ids.h"

constexpr int kTooltextSize = 2560;

// One zero-terminated text per parameter 0..24, in index order.
extern const char tooltexts[kNumUsedParams][kTooltextSize];
