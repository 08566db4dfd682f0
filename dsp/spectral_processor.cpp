// Spectral block processor: 512-sample window in a 2048-point frame, seven effects, overlap-add over a
// ring of eight frames per channel. With every effect off the output is the input two blocks later.
#include <cmath>
#include <cstring>

#include "dsp/audio_path.h"
#include "dsp/fft.h"

namespace {

constexpr int kN = spectral::kFrameLength;

// w(i) = 0.5 - 0.5 cos(3.1457 i / 512): angle in double, cosine in single; 3.1457 is deliberate.
struct AnalysisWindow {
    float w[kSpectralBlock];
    AnalysisWindow() {
        for (int i = 0; i < kSpectralBlock; ++i)
            w[i] = 0.5f - 0.5f * std::cos(static_cast<float>(3.1457 * i / 512.0));
    }
};
const AnalysisWindow window;

void fillFrame(float* frame, const float* previous, const float* current) {
    for (int i = 0; i < kSpectralBlock; ++i) {
        frame[i] = window.w[i] * previous[i];
        frame[kSpectralBlock + i] = (1.0f - window.w[i]) * current[i];
    }
    std::memset(frame + 2 * kSpectralBlock, 0, sizeof(float) * (kN - 2 * kSpectralBlock));
}

} // namespace

void AudioPath::processBlock44100LR(bool resynthesis) {
    float p[kNumPathSettings];
    snapshotParams(p);
    runSpectralBlock(resynthesis, p);
}

void AudioPath::runSpectralBlock(bool resynthesis, const float* p) {
    const int slot = frameSlot;
    float* left = frameL[slot];
    float* right = frameR[slot];
    fillFrame(left, prevL, inL);
    fillFrame(right, prevR, inR);
    std::memcpy(prevL, inL, sizeof prevL);
    std::memcpy(prevR, inR, sizeof prevR);

    const bool columnsDue = ++feed.displayDivider % 4 == 0;
    // With no effect on and no output wanted, only the columns read the spectrum; the slot of an
    // analysis-only call is cleared before output resumes, so between columns the transform is skipped.
    if (resynthesis || columnsDue || isSpectralActive(p)) {
        realfft_split(left, kN);
        realfft_split(right, kN);
        runSpectralStages(left, right, p);
        if (columnsDue) updateDisplayColumns(left, right);
    } else {
        feed.bassLedCount.store(0, std::memory_order_relaxed);
    }

    if (resynthesis) {
        irealfft_split(left, kN);
        irealfft_split(right, kN);
        overlapAdd(slot);
    }
    slotHoldsSpectrum[slot] = !resynthesis;
    frameSlot = static_cast<int8_t>((slot + 1) % kFrameSlots);
    feed.displayCounter.fetch_add(1, std::memory_order_relaxed);
}

void AudioPath::runSpectralStages(float* left, float* right, const float* p) {
    using namespace spectral;
    if (isAmountOn(p[kNoiseReduction])) {
        noiseReduction(left, right, scratchL, scratchR, p[kNoiseReduction]);
    }
    // The stages from the clearness's peak emphasis to the fat-bass level act on each bin alone: one pass.
    BinStages stagesL, stagesR;
    float magnitudeL[kStageBins], magnitudeR[kStageBins];
    if (isAmountOn(p[kClearness])) {
        clearnessEnvelopes(left, right, magnitudeL, magnitudeR, scratchL, scratchR);
        stagesL.emphasisePeaks(magnitudeL, scratchL, p[kClearness]);
        stagesR.emphasisePeaks(magnitudeR, scratchR, p[kClearness]);
    }
    if (isAmountOn(p[kVirtualSurround])) {
        virtualSurroundPhasors.buildRotation(p[kVirtualSurround], virtualSurroundDelta);
        stagesL.turn(virtualSurroundPhasors, 1.0f);
        stagesR.turn(virtualSurroundPhasors, -1.0f);
    }
    if (isAmountOn(p[kSilkySurround])) {
        silkyPhasorsL.buildRotation(p[kSilkySurround], silkyDeltaLeft);
        silkyPhasorsR.buildRotation(p[kSilkySurround], silkyDeltaRight);
        stagesL.turn(silkyPhasorsL, 1.0f);
        stagesR.turn(silkyPhasorsR, 1.0f);
    }
    if (isAmountOn(p[kDiffuseCream])) {
        diffuseCreamPhasors.buildRotation(p[kDiffuseCream], diffuseCreamDelta);
        stagesL.turn(diffuseCreamPhasors, 1.0f);
        stagesR.turn(diffuseCreamPhasors, 1.0f);
    }
    if (isToneOn(p[kTone])) {
        toneGains.update(p[kTone]);
        stagesL.gain = stagesR.gain = toneGains.gain;
    }
    const bool fatBass = isFatBassOn(p[kDynamicFatBass]);
    float levels[2];
    if (fatBass || stagesL.magnitude || stagesL.rotations > 0 || stagesL.gain) {
        applyBinStages(left, stagesL, fatBass ? &levels[0] : nullptr);
        applyBinStages(right, stagesR, fatBass ? &levels[1] : nullptr);
    }
    const uint8_t meter = fatBass ? boostFatBass(left, right, p[kDynamicFatBass], levels) : 0;
    feed.bassLedCount.store(meter, std::memory_order_relaxed);
}

// This call's frame gives its positions 1792..2047, the one before it 0..255, and so back to the frame
// from seven calls ago, which gives 1536..1791.
// Each output sample adds its eight terms in this order.
void AudioPath::overlapAdd(int slot) {
    std::memset(outL, 0, sizeof outL);
    std::memset(outR, 0, sizeof outR);
    for (int s = 0; s < kFrameSlots; ++s) {
        const int source = (slot + s) % kFrameSlots;
        const float* fromL = frameL[source] + 1792 - kSpectralBlock * s;
        const float* fromR = frameR[source] + 1792 - kSpectralBlock * s;
        for (int i = 0; i < kSpectralBlock; ++i) {
            outL[i] += fromL[i];
            outR[i] += fromR[i];
        }
    }
}
