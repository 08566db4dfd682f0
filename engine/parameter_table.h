// The parameter table: names and neutral values, read by the dispatcher, presets, editor and tools.
#pragma once

#include "engine/parameter_ids.h"

struct ParameterInfo {
    char name[35];      // as handed to hosts, in full
    float neutralValue; // the value the neutral program gives
};

extern const ParameterInfo parameterTable[kNumParams];
