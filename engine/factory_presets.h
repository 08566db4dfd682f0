// The factory presets: 73 named settings; programs 73..127 start as the neutral program.
#pragma once

#include "engine/parameter_ids.h"

constexpr int kNumNamedPresets = 73;
constexpr int kFactoryNameSize = 24;

struct FactoryPreset {
    char name[kFactoryNameSize];
    float values[kNumUsedParams];
};

extern const FactoryPreset factoryPresets[kNumNamedPresets];
