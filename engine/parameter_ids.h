// Parameter indices, shared by the engine, the editor and the tools. The first parameters are the audio
// path's settings in their order, so the engine hands its values to the path as they are.
#pragma once

#include "dsp/path_settings.h"

constexpr int kFirstReserved = kNumPathSettings; // 25..34 are reserved and read by nothing
constexpr int kNumParams = 35;
static_assert(kFirstReserved <= kNumParams, "the path settings are parameters");
constexpr int kNumPrograms = 128;
constexpr int kNumUsedParams = kFirstReserved;
