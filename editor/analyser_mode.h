// What the editor's analyser shows.
#pragma once

#include <cstdint>

enum class AnalyserMode : uint8_t {
    Spectrum,
    Scope, // phase scope with drifting coloured trails
};
