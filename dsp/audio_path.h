// The whole audio path of one effect instance: block driver, spectral block processor, time-domain
// stages and the display feed. Everything is held by value; processing never allocates.
#pragma once

#include <atomic>
#include <cstdint>

#include "dsp/display_feed.h"
#include "dsp/exciter.h"
#include "dsp/loudness.h"
#include "dsp/punch.h"
#include "dsp/three_band.h"
#include "engine/parameter_ids.h"

class AudioPath {
  public:
    // params: the effect's 35 current values, written by other threads.
    explicit AudioPath(const std::atomic<float>* params);

    // Host rate as given; sampleRateInt follows it truncated to whole hertz.
    void setSampleRate(float rate);
    // Clears every buffer and filter state except the loudness section's.
    void resetVariables();

    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames);
    void processBlock44100LR(bool resynthesis);

    // Current lag of the output behind the input, in host samples (0 when no spectral stage is on).
    int32_t pathDelay() const;

    // Called once per reset from the audio thread when an odd block arrives at the half rate; must not block.
    void setWarningHandler(void (*handler)(void* context), void* context) {
        warningHandler = handler;
        warningContext = context;
    }

    float getSampleRate() const { return sampleRate; }
    int64_t getSampleRateInt() const { return sampleRateInt; }

    DisplayFeed feed;
    Loudness loudness;

  private:
    const std::atomic<float>* params;
    float sampleRate = 44100.0f;
    int64_t sampleRateInt = 44100;
    void (*warningHandler)(void*) = nullptr;
    void* warningContext = nullptr;
    Punch punch;
    ThreeBand threeBand;
    Exciter exciter;
};
