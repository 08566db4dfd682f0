// The whole audio path of one effect instance: block driver, spectral block processor, time-domain
// stages and the display feed. Everything is held by value; processing never allocates.
#pragma once

#include <atomic>
#include <cstdint>

#include "dsp/display_feed.h"
#include "dsp/exciter.h"
#include "dsp/loudness.h"
#include "dsp/punch.h"
#include "dsp/spectral_stages.h"
#include "dsp/path_settings.h"
#include "dsp/three_band.h"

constexpr int kSpectralBlock = 256;      // samples per spectral call
constexpr int kFrameSlots = 8;           // overlap-add ring
constexpr int32_t kFullRateDelay = 767;  // exchange 255 + overlapped frames 512
constexpr int32_t kHalfRateDelay = 1535; // 767 half-rate samples in host samples, rounded

class AudioPath {
  public:
    // params: the current values of the kNumPathSettings settings, written by other threads.
    explicit AudioPath(const std::atomic<float>* params);

    // Host rate as given; sampleRateInt follows it truncated to whole hertz.
    void setSampleRate(float rate);
    // Clears every buffer and filter state except the loudness section's.
    void resetVariables();

    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames);
    // One spectral call on inL/inR with the current parameter values. resynthesis: rebuild outL/outR.
    void processBlock44100LR(bool resynthesis);
    // Analyser columns from the processed left and right spectra of one block.
    void updateDisplayColumns(const float* left, const float* right);

    // Current lag of the output behind the input, in host samples (0 when no spectral stage is on).
    int32_t pathDelay() const;

    // Called once per reset from the audio thread when an odd block arrives at the half rate; must not block.
    void setWarningHandler(void (*handler)(void* context), void* context) {
        warningHandler = handler;
        warningContext = context;
    }

    float getSampleRate() const { return sampleRate; }
    int64_t getSampleRateInt() const { return sampleRateInt; }

    // True when any spectral stage is on for these parameter values.
    static bool isSpectralActive(const float* p);

    DisplayFeed feed;
    Loudness loudness;

    // Block exchange with the spectral processor; entries 0..255 used.
    float inL[kSpectralBlock] = {}, inR[kSpectralBlock] = {};
    float outL[kSpectralBlock] = {}, outR[kSpectralBlock] = {};
    uint16_t blockPos = 0;
    int8_t frameSlot = 0;

    // Cached per-bin tables of the spectral stages (tests check they are rebuilt once per change).
    spectral::BinTable virtualSurroundPhasors;
    spectral::BinTable silkyPhasorsL, silkyPhasorsR;
    spectral::BinTable diffuseCreamPhasors;
    spectral::ToneTable toneGains;

    // Which exchange a host rate gets: the full-rate spectral path (44.1/48 kHz), the half-rate one
    // (88.2/96 kHz), or the time-domain stages only (any other rate).
    enum class RateClass { Full, Half, Other };
    static RateClass classifyRate(float rate);

  private:
    RateClass rateClass() const { return classifyRate(sampleRate); }
    void snapshotParams(float* p) const;
    void runSpectralBlock(bool resynthesis, const float* p);
    void runSpectralStages(float* left, float* right, const float* p);
    void overlapAdd(int slot);
    void enterProcessing();
    void fullRateExchange(float* left, float* right, int32_t n, bool spectralActive, float gain,
                          const float* p);
    // Returns false when the block ends early because of the odd-block warning.
    bool halfRateExchange(float* left, float* right, int32_t n, bool spectralActive, float gain,
                          const float* p);

    const std::atomic<float>* params;
    float sampleRate = 44100.0f;
    int64_t sampleRateInt = 44100;
    void (*warningHandler)(void*) = nullptr;
    void* warningContext = nullptr;
    Punch punch;
    ThreeBand threeBand;
    Exciter exciter;

    float prevOutL = 0, prevOutR = 0;
    float avgPrevL = 0, avgPrevR = 0;
    bool warningShown = false;
    // Whether the last exchange played processed output; a switch on clears stale output and spectra.
    bool processingWasOn = false;

    float prevL[kSpectralBlock] = {}, prevR[kSpectralBlock] = {};
    float frameL[kFrameSlots][spectral::kFrameLength] = {};
    float frameR[kFrameSlots][spectral::kFrameLength] = {};
    bool slotHoldsSpectrum[kFrameSlots] = {};
    float scratchL[spectral::kScratchLength] = {}, scratchR[spectral::kScratchLength] = {};
};
