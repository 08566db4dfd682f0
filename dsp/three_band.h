// Three-band mid/side stage: per-band level, stereo width and left/right delay around a movable middle band.
#pragma once

#include <cstdint>

constexpr int kBandDelayLength = 8192; // positions are used modulo 4096
constexpr int kBandDelayMask = 4095;

class ThreeBand {
  public:
    // params: a snapshot of the path settings. True when any of the nine controls is off-centre.
    static bool isActive(const float* params);
    // f = 2 sin(3.1457 fc / rate), fc = 500 + 2000 MidFreq^2 Hz, limited to 0..1: beyond 1 the poles of the
    // filter move back out towards the unit circle, which they cross at sqrt(5) - 1.
    static float filterCoefficient(float midFreq, float sampleRate);
    // A band's delay in samples for its delay control p, 0..4095 for any float (remainders modulo 4096).
    static int32_t leftDelay(float p, float sampleRate);
    static int32_t rightDelay(float p, float sampleRate);
    void reset();
    void process(float* left, float* right, int32_t n, const float* params, float sampleRate);
    void resetIfNotFinite();

    float svfLowMid = 0, svfBandMid = 0;
    float svfLowSide = 0, svfBandSide = 0;
    float bandDelayLowL[kBandDelayLength] = {};
    float bandDelayLowR[kBandDelayLength] = {};
    float bandDelayMidL[kBandDelayLength] = {};
    float bandDelayMidR[kBandDelayLength] = {};
    float bandDelayHighL[kBandDelayLength] = {};
    float bandDelayHighR[kBandDelayLength] = {};
    uint16_t bandDelayPos = 0;
};
