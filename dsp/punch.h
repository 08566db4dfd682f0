// Punch: a chain of up to 49 identical first-order all-pass sections per channel.
#pragma once

#include <cstdint>

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
    // Whether the chain runs eight lanes wide (AVX) instead of four (SSE2). On by default where the
    // processor has AVX; returns the setting now in force, so tests can cover both.
    static bool useAvx(bool wanted);

    float punchInL[60] = {};
    float punchOutL[60] = {};
    float punchInR[60] = {};
    float punchOutR[60] = {};

  private:
    // The eight-lane wavefront, built for AVX in its own file.
    static void runWavefrontAvx(float* chain, float* lastIn, float* left, float* right, int32_t n,
                                int32_t sections, float c);
};
