// Exciter: isolates the highs, shapes them with an asymmetric curve and mixes them back in.
#pragma once

#include <cstdint>

class Exciter {
  public:
    static bool isActive(float exciterMix) { return exciterMix > 0.02f; }
    void reset();
    void process(float* left, float* right, int32_t n, float exciterMix, float exciterFreq, float sampleRate);
    void resetIfNotFinite();

    float exLpL = 0, exLpR = 0;
    float exPrevHpL = 0, exPrevHpR = 0;
    float exPrevSumL = 0, exPrevSumR = 0;
    float exHp1L = 0, exHp1R = 0, exHp2L = 0, exHp2R = 0;
};
