// Where the editor's 23 knobs sit, in creation order; read by the editor and by the widget tests' frame.
#pragma once

#include "engine/parameter_ids.h"

struct KnobPlace {
    int x, y; // anchor: 21 px right of the knob's left edge, at its top
    int parameter;
};

constexpr int kNumKnobs = 23;

// Creation order; later views lie on top of earlier ones.
constexpr KnobPlace kKnobPlaces[kNumKnobs] = {
    {72, 466, kEqLow},
    {72, 382, kEqMid},
    {72, 299, kEqHigh},
    {157, 466, kLowWidener},
    {157, 382, kMidWidener},
    {157, 299, kHighWidener},
    {243, 466, kLowDelay},
    {243, 382, kMidDelay},
    {243, 299, kHighDelay},
    {328, 382, kMidFreq},
    {469, 172, kExciterMix},
    {554, 172, kExciterFreq},
    {158, 172, kSilkySurround},
    {73, 172, kVirtualSurround},
    {751, 172, kNoiseReduction},
    {667, 172, kClearness},
    {356, 172, kDiffuseCream},
    {271, 172, kLazerPunch},
    {355, 44, kVolume},
    {469, 44, kDynamicFatBass},
    {580, 44, kLoudnessMix},
    {667, 44, kLoudnessBassBoost},
    {753, 44, kTone},
};
