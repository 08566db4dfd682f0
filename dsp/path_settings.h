// The audio path's settings: one value in 0..1 each, read by the block driver and the stages by these
// slots.
#pragma once

enum PathSetting {
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
    kNumPathSettings,
};
