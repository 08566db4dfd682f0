// Placeholder block driver until the audio path lands: passes the input through.
#include "dsp/audio_path.h"

#include <cmath>
#include <cstring>

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
    feed.reset();
    punch.reset();
    threeBand.reset();
    exciter.reset();
}

void AudioPath::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
    if (sampleFrames <= 0) return;
    for (int c = 0; c < 2; ++c)
        if (outputs[c] != inputs[c])
            std::memmove(outputs[c], inputs[c], sizeof(float) * static_cast<size_t>(sampleFrames));
}

void AudioPath::processBlock44100LR(bool) {}

int32_t AudioPath::pathDelay() const {
    return 0;
}
