// What the audio path publishes for the editor: analyser columns, a block counter and the bass meter.
// Written by the audio thread, read by the editor without locks (relaxed atomics).
#pragma once

#include <atomic>
#include <cstdint>

constexpr int kDisplayColumns = 512;

struct DisplayFeed {
    std::atomic<float> levelDisp[kDisplayColumns];
    std::atomic<float> phaseDisp[kDisplayColumns];
    std::atomic<float> peakDisp[kDisplayColumns];
    std::atomic<float> magDisp[kDisplayColumns];
    float smoothLog[kDisplayColumns]; // audio thread only
    std::atomic<uint64_t> displayCounter{0};
    uint16_t displayDivider = 0; // audio thread only
    std::atomic<uint8_t> bassLedCount{0};

    void reset() {
        for (int k = 0; k < kDisplayColumns; ++k) {
            levelDisp[k].store(400.0f, std::memory_order_relaxed);
            smoothLog[k] = 400.0f;
            peakDisp[k].store(400.0f, std::memory_order_relaxed);
            phaseDisp[k].store(0.0f, std::memory_order_relaxed);
            magDisp[k].store(0.0f, std::memory_order_relaxed);
        }
        displayCounter.store(0, std::memory_order_relaxed);
        displayDivider = 0;
        bassLedCount.store(0, std::memory_order_relaxed);
    }
};
