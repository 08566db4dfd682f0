// The seven effects of the spectral block processor, acting in place on one 2048-point spectrum in the
// split layout of realfft_split (Re at k, Im at 2048 - k, bins 0 and 1024 real). They touch bins 0..1023.
#pragma once

#include <cstdint>

#include "dsp/cpu_features.h"

namespace spectral {

constexpr int kFrameLength = 2048;
constexpr int kStageBins = 1024; // bins 0..1023; bin 1024 is left alone
constexpr int kScratchLength = kStageBins + 1;

inline bool isAmountOn(float value) {
    return value > 0.02f;
}
inline bool isFatBassOn(float value) {
    return value > 0.05f;
}
// Single-precision tests, so that exactly 0.45f and 0.55f count as neutral.
inline bool isToneOn(float value) {
    return value > 0.55f || value < 0.45f;
}

// Rotation amounts in radians for bin k (all zero at bin 0).
float warp(int k);
float virtualSurroundDelta(float amount, int k); // left channel; the right turns the other way
float silkyDeltaLeft(float amount, int k);
float silkyDeltaRight(float amount, int k);
float diffuseCreamDelta(float amount, int k);
float toneGain(float tone, int k);

// Per-bin values that depend only on one parameter value, rebuilt only when that value changes.
struct BinTable {
    float cosDelta[kStageBins];
    float sinDelta[kStageBins];
    uint32_t keyBits = 0;
    bool valid = false;
    uint32_t rebuilds = 0; // how often the table was rebuilt (tests hold it to once per change)

    // True when the table had to be rebuilt for this value.
    bool needsRebuild(float value);
    void buildRotation(float value, float (*delta)(float, int));
};

struct ToneTable {
    float gain[kStageBins];
    uint32_t keyBits = 0;
    bool valid = false;
    uint32_t rebuilds = 0;
    void update(float tone);
};

// Multiplies bins 1..1023 by e^(-i delta): Re' = Re cos + Im sin, Im' = Im cos - Re sin.
// direction -1 turns by -delta with the same table.
void rotate(float* spectrum, const BinTable& table, float direction);

// Both channels at once; scratchL/scratchR: kScratchLength floats of work space each.
void noiseReduction(float* left, float* right, float* scratchL, float* scratchR, float amount);
void clearness(float* left, float* right, float* scratchL, float* scratchR, float amount);
void applyTone(float* spectrum, const ToneTable& table);

// Boosts both channels by their own level; returns the meter value 0..5.
uint8_t dynamicFatBass(float* left, float* right, float amount);
// (rotate, clearness, applyTone and dynamicFatBass are each stage on its own; the processor runs the ones
// that act on each bin alone through the one pass below.)

// The stages that act on each bin alone, in the order they run: the clearness stage's peak emphasis, up to
// three rotations and the tone, then the fat-bass stage's level. One pass over a channel does all of them,
// each bin getting the operations the separate stages would give it.
struct BinStages {
    const float* magnitude = nullptr; // peak emphasis when set: m(k) before it, and the smoothed envelope
    const float* envelope = nullptr;
    float amount = 0.0f;
    const BinTable* rotation[3] = {};
    float direction[3] = {};
    int rotations = 0;
    const float* gain = nullptr; // the tone's gains

    void emphasisePeaks(const float* magnitudeBefore, const float* smoothed, float clearnessAmount) {
        magnitude = magnitudeBefore, envelope = smoothed, amount = clearnessAmount;
    }
    void turn(const BinTable& table, float towards) {
        rotation[rotations] = &table, direction[rotations] = towards, ++rotations;
    }
};
// bassLevel, when given, receives 1e-6 + the sum over bins 1..1023 of m(k) / sqrt(k) after the stages.
void applyBinStages(float* spectrum, const BinStages& stages, float* bassLevel);

// The clearness stage up to its peak emphasis: m(k) of both channels into magnitudeL/R (kStageBins each)
// and their smoothed envelopes into scratchL/R.
void clearnessEnvelopes(const float* left, const float* right, float* magnitudeL, float* magnitudeR,
                        float* scratchL, float* scratchR);
// The fat-bass stage from the channels' levels; returns the meter value 0..5.
uint8_t boostFatBass(float* left, float* right, float amount, const float* levels);

// Chooses the register width of the loops over the bins (the one pass, the gate, the magnitudes and the
// smoothing): the wanted one, or the widest below it that the processor has; returns the width in force. By
// default the widest is used. Every width gives the same bits.
VectorWidth useVectors(VectorWidth wanted);

} // namespace spectral
