// Block driver: copy, bypass, time-domain stages, the exchange with the spectral processor, volume, mono.
#include "dsp/audio_path.h"

#include <cmath>
#include <cstring>

namespace {

void mixToMono(float* left, float* right, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        left[i] = right[i] = (left[i] + right[i]) * 0.5f;
}

// A NaN or infinity would stay in the filter states for good.
void zeroNonFinite(float* samples, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        if (!std::isfinite(samples[i])) samples[i] = 0.0f;
}

void keepFinite(float& state) {
    if (!std::isfinite(state)) state = 0.0f;
}

} // namespace

AudioPath::AudioPath(const std::atomic<float>* params) : params(params) {
    resetVariables();
}

void AudioPath::setSampleRate(float rate) {
    sampleRate = rate;
    sampleRateInt = static_cast<int64_t>(rate);
    loudness.setSampleRate(static_cast<float>(sampleRateInt));
}

void AudioPath::resetVariables() {
    sampleRateInt = static_cast<int64_t>(sampleRate);
    blockPos = 0;
    std::memset(inL, 0, sizeof inL);
    std::memset(inR, 0, sizeof inR);
    std::memset(outL, 0, sizeof outL);
    std::memset(outR, 0, sizeof outR);
    prevOutL = prevOutR = 0.0f;
    avgPrevL = avgPrevR = 0.0f;
    warningShown = false;
    processingWasOn = false;
    punch.reset();
    threeBand.reset();
    exciter.reset();

    std::memset(prevL, 0, sizeof prevL);
    std::memset(prevR, 0, sizeof prevR);
    std::memset(frameL, 0, sizeof frameL);
    std::memset(frameR, 0, sizeof frameR);
    std::memset(slotHoldsSpectrum, 0, sizeof slotHoldsSpectrum);
    frameSlot = 0;
    feed.reset();
}

bool AudioPath::isSpectralActive(const float* p) {
    using namespace spectral;
    return isFatBassOn(p[kDynamicFatBass]) || isToneOn(p[kTone]) || isAmountOn(p[kDiffuseCream]) ||
           isAmountOn(p[kSilkySurround]) || isAmountOn(p[kVirtualSurround]) || isAmountOn(p[kClearness]) ||
           isAmountOn(p[kNoiseReduction]);
}

AudioPath::RateClass AudioPath::classifyRate(float rate) {
    if (rate == 44100.0f || rate == 48000.0f) return RateClass::Full;
    if (rate == 88200.0f || rate == 96000.0f) return RateClass::Half;
    return RateClass::Other;
}

// A host may store any float; the stages read values outside 0..1 as the nearer end and NaN as 0, so that
// none designs a filter from them whose state would outlive the bad value.
void AudioPath::snapshotParams(float* p) const {
    for (int i = 0; i < kNumPathSettings; ++i) {
        const float value = params[i].load(std::memory_order_relaxed);
        p[i] = value >= 0.0f ? (value <= 1.0f ? value : 1.0f) : 0.0f;
    }
}

int32_t AudioPath::pathDelay() const {
    float p[kNumPathSettings];
    snapshotParams(p);
    if (p[kBypass] > 0.5f || !isSpectralActive(p)) return 0;
    switch (rateClass()) {
    case RateClass::Full:
        return kFullRateDelay;
    case RateClass::Half:
        return kHalfRateDelay;
    case RateClass::Other:
        break;
    }
    return 0;
}

void AudioPath::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
    if (sampleFrames <= 0) return;
    const int32_t n = sampleFrames;
    float* left = outputs[0];
    float* right = outputs[1];
    const size_t bytes = sizeof(float) * static_cast<size_t>(n);
    if (left != inputs[0]) std::memmove(left, inputs[0], bytes);
    if (right != inputs[1]) std::memmove(right, inputs[1], bytes);

    float p[kNumPathSettings];
    snapshotParams(p);
    if (p[kBypass] > 0.5f) return;

    zeroNonFinite(left, n);
    zeroNonFinite(right, n);
    loudness.resetIfNotFinite();
    punch.resetIfNotFinite();
    threeBand.resetIfNotFinite();
    exciter.resetIfNotFinite();
    keepFinite(prevOutL);
    keepFinite(prevOutR);
    keepFinite(avgPrevL);
    keepFinite(avgPrevR);

    const float sr = static_cast<float>(sampleRateInt);
    loudness.mix = 2.0f * p[kLoudnessMix];
    loudness.bassBoost = p[kLoudnessBassBoost];
    loudness.setSampleRate(sr);
    loudness.process(left, right, n);
    if (Punch::sectionCount(p[kLazerPunch]) > 0) punch.process(left, right, n, p[kLazerPunch], sr);
    if (ThreeBand::isActive(p)) threeBand.process(left, right, n, p, sr);
    const bool mono = p[kMono] > 0.5f;
    if (mono) mixToMono(left, right, n);
    if (Exciter::isActive(p[kExciterMix]))
        exciter.process(left, right, n, p[kExciterMix], p[kExciterFreq], sr);

    const bool spectralActive = isSpectralActive(p);
    const float volume = p[kVolume];
    const float gain = 8.0f * volume * volume * volume;

    switch (rateClass()) {
    case RateClass::Full:
        fullRateExchange(left, right, n, spectralActive, gain, p);
        break;
    case RateClass::Half:
        if (!halfRateExchange(left, right, n, spectralActive, gain, p)) return;
        break;
    case RateClass::Other:
        break;
    }

    if (mono) mixToMono(left, right, n);
}

// Output left from the last processing period and spectra from analysis-only calls would otherwise
// be replayed; processed output after a switch is built from time frames only.
void AudioPath::enterProcessing() {
    std::memset(outL, 0, sizeof outL);
    std::memset(outR, 0, sizeof outR);
    for (int s = 0; s < kFrameSlots; ++s) {
        if (!slotHoldsSpectrum[s]) continue;
        std::memset(frameL[s], 0, sizeof frameL[s]);
        std::memset(frameR[s], 0, sizeof frameR[s]);
        slotHoldsSpectrum[s] = false;
    }
}

void AudioPath::fullRateExchange(float* left, float* right, int32_t n, bool spectralActive, float gain,
                                 const float* p) {
    if (spectralActive && !processingWasOn) enterProcessing();
    processingWasOn = spectralActive;
    for (int32_t i = 0; i < n; ++i) {
        inL[blockPos] = left[i];
        inR[blockPos] = right[i];
        if (++blockPos > kSpectralBlock - 1) {
            blockPos = 0;
            runSpectralBlock(spectralActive, p);
        }
        if (spectralActive) {
            left[i] = gain * outL[blockPos];
            right[i] = gain * outR[blockPos];
        } else {
            left[i] *= gain;
            right[i] *= gain;
        }
    }
}

bool AudioPath::halfRateExchange(float* left, float* right, int32_t n, bool spectralActive, float gain,
                                 const float* p) {
    if (spectralActive && (n & 1) != 0 && !warningShown) {
        warningShown = true;
        if (warningHandler != nullptr) warningHandler(warningContext);
        return false;
    }
    if (spectralActive && !processingWasOn) enterProcessing();
    processingWasOn = spectralActive;

    const int32_t pairs = n / 2;
    for (int32_t pair = 0; pair < pairs; ++pair) {
        const int32_t a = 2 * pair;
        const int32_t b = a + 1;
        inL[blockPos] = (left[a] + left[b]) * 0.5f;
        inR[blockPos] = (right[a] + right[b]) * 0.5f;
        if (++blockPos > kSpectralBlock - 1) {
            blockPos = 0;
            runSpectralBlock(spectralActive, p);
        }
        if (spectralActive) {
            const float oL = outL[blockPos];
            left[a] = (oL + prevOutL) * 0.5f * gain;
            left[b] = oL * gain;
            prevOutL = oL;
            const float oR = outR[blockPos];
            right[a] = (oR + prevOutR) * 0.5f * gain;
            right[b] = oR * gain;
            prevOutR = oR;
        }
    }
    if (!spectralActive) {
        for (int32_t i = 0; i < n; ++i) {
            left[i] *= gain;
            right[i] *= gain;
        }
    }
    for (int32_t i = 0; i < n; ++i) {
        const float x = left[i];
        left[i] = (x + avgPrevL) * 0.5f;
        avgPrevL = x;
        const float y = right[i];
        right[i] = (y + avgPrevR) * 0.5f;
        avgPrevR = y;
    }
    return true;
}
