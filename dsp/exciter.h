// Exciter: isolates the highs, shapes them with an asymmetric curve and mixes them back in.
#pragma once

#include <cstdint>

class Exciter {
  public:
    static bool isActive(float exciterMix) { return exciterMix > 0.02f; }

    struct Coefficients {
        float inputLowPass;   // a: one-pole coefficient of the input low-pass
        float outputHighPass; // b: one-pole coefficient of the two output high-passes
        float mixGain;        // G: gain of the shaped highs added to the signal
    };
    // Both one-pole coefficients are limited to 0..1, which keeps each pole in 0..1: at low rates the plain
    // formulas give a ringing negative pole, below 12.5 kHz an unstable one. Non-finite tuning adds nothing.
    static Coefficients coefficients(float exciterMix, float exciterFreq, float sampleRate);

    void reset();
    void process(float* left, float* right, int32_t n, float exciterMix, float exciterFreq, float sampleRate);
    void resetIfNotFinite();

    float exLpL = 0, exLpR = 0;
    float exPrevHpL = 0, exPrevHpR = 0;
    float exPrevSumL = 0, exPrevSumR = 0;
    float exHp1L = 0, exHp1R = 0, exHp2L = 0, exHp2R = 0;
};
