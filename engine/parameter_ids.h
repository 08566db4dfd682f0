// Parameter indices, shared by the engine, the audio path, the editor and the tools.
#pragma once

enum ParameterIndex {
    kVolume = 0,
    kBypass,
    kDynamicFatBass,
    kLoudnessMix,
    kLoudnessBassBoost,
    kTone,
    kVirtualSurround,
    kSilkySurround,
    kLazerPunch,
    kDiffuseCream,
    kExciterMix,
    kExciterFreq,
    kClearness,
    kNoiseReduction,
    kEqLow,
    kEqMid,
    kEqHigh,
    kLowWidener,
    kMidWidener,
    kHighWidener,
    kLowDelay,
    kMidDelay,
    kHighDelay,
    kMidFreq,
    kMono,
    kFirstReserved, // 25..34 are reserved and read by nothing
    kNumParams = 35,
};

constexpr int kNumPrograms = 128;
constexpr int kNumUsedParams = kFirstReserved;
