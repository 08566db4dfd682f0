// One program: 35 parameter values and a name.
#pragma once

#include <cstring>

#include "engine/parameter_ids.h"

constexpr int kProgramNameSize = 32;
constexpr int kProgramNameKept = 27; // characters a rename keeps

struct PxProgram {
    PxProgram() { std::strcpy(name, "Init"); }
    float values[kNumParams];
    char name[kProgramNameSize];
};
