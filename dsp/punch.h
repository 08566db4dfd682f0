// Punch: a chain of up to 49 identical first-order all-pass sections per channel.
#pragma once

#include <cstdint>

#include "dsp/cpu_features.h"

constexpr int kMaxPunchSections = 49;

class Punch {
  public:
    void reset();
    // trunc(49 x value), kept inside 0..49 for any float (NaN gives 0).
    static int32_t sectionCount(float lazerPunch);
    // All-pass coefficient for the rate, approximately e^(-2512 / sampleRate); 0 for a rate that is not
    // positive.
    static float coefficient(float sampleRate);
    void process(float* left, float* right, int32_t n, float lazerPunch, float sampleRate);
    void resetIfNotFinite();
    // How wide the chain runs: the wanted width, or the widest below it that the processor has; returns
    // the width in force, so tests can cover each. By default the widest.
    static VectorWidth useVectors(VectorWidth wanted);

    float punchInL[60] = {};
    float punchOutL[60] = {};
    float punchInR[60] = {};
    float punchOutR[60] = {};

  private:
    // The eight-lane wavefront and the one in sixteen-lane registers, built for AVX and AVX-512 in files
    // of their own.
    static void runWavefrontAvx(float* chain, float* lastIn, float* left, float* right, int32_t n,
                                int32_t sections, float c);
    static void runWavefrontAvx512(float* chain, float* lastIn, float* left, float* right, int32_t n,
                                   int32_t sections, float c);
};
