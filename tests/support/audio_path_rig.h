// An AudioPath with its own parameter array, set to neutral values, for tests of the audio path itself.
// The loudness section always runs and fades in over its first block; the rig switches it off so that the
// driver's own timing can be checked sample by sample (the section has tests of its own).
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "dsp/audio_path.h"
#include "test_signals.h"

struct AudioPathRig {
    std::atomic<float> params[kNumPathSettings];
    std::unique_ptr<AudioPath> path;

    explicit AudioPathRig(float rate = 44100.0f) {
        for (int i = 0; i < kNumPathSettings; ++i)
            params[i] = neutralValue(i);
        path = std::make_unique<AudioPath>(params);
        path->setSampleRate(rate);
        path->resetVariables();
        path->loudness.enabled = false;
    }
    static float neutralValue(int index) {
        const bool centred = index == kVolume || index == kTone || index == kExciterFreq ||
                             (index >= kEqLow && index <= kMidFreq);
        return centred ? 0.5f : 0.0f;
    }
    // Runs the stereo signal through in blocks of blockSize, in place.
    void run(std::vector<float>& left, std::vector<float>& right, int blockSize) {
        for (size_t start = 0; start < left.size(); start += static_cast<size_t>(blockSize)) {
            const size_t n = std::min<size_t>(static_cast<size_t>(blockSize), left.size() - start);
            float* io[2] = {left.data() + start, right.data() + start};
            path->processReplacing(io, io, static_cast<int32_t>(n));
        }
    }
};
