// Rendering one file: read, run through a fresh effect instance, align, measure, write.
#pragma once

#include <atomic>
#include <string>

#include "audio_file.h"
#include "loudness_summary.h"
#include "options.h"

struct EngineSettings;
class ProgressDisplay;

struct RenderJob {
    std::string input;
    std::string output;
    AudioFileInfo inputInfo;
    int outputFormat = 0;
    std::string snapshotPath; // empty: no editor picture
};

struct RenderSettings {
    int blockSize = 512;
    bool raw = false;
    bool overwrite = false;
    AnalyserMode snapshotMode = AnalyserMode::Spectrum;
    double snapshotScale = 1.0;
};

struct RenderResult {
    bool ok = false;
    bool cancelled = false;
    std::string error;
    FileSummary summary;
};

// The block length the engine gets at this rate: the half-rate path needs an even one.
int engineBlockSize(int requested, int sampleRate);

// Never leaves a partial output: on failure or cancel the temporary file is removed.
RenderResult renderFile(const RenderJob& job, const EngineSettings& engineSettings,
                        const RenderSettings& settings, ProgressDisplay& progress,
                        const std::atomic<bool>& cancel);
