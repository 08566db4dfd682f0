#include "render_job.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "editor/editor_snapshot.h"
#include "engine/px_audio.h"
#include "engine_settings.h"
#include "progress_display.h"

int engineBlockSize(int requested, int sampleRate) {
    return isHalfRate(sampleRate) && requested % 2 != 0 ? requested + 1 : requested;
}

RenderResult renderFile(const RenderJob& job, const EngineSettings& engineSettings,
                        const RenderSettings& settings, ProgressDisplay& progress,
                        const std::atomic<bool>& cancel) {
    RenderResult result;
    result.summary.input = job.input;
    result.summary.output = job.output;
    const auto started = std::chrono::steady_clock::now();

    AudioReader reader;
    if (!reader.open(job.input, &result.error)) return result;
    const int channels = reader.info().channels;
    const int rate = reader.info().sampleRate;
    const int64_t totalFrames = reader.info().frames;
    const int block = engineBlockSize(settings.blockSize, rate);

    auto engine = createEngine(&result.error);
    if (!engine) return result;
    applySettings(*engine, engineSettings);
    engine->start(static_cast<float>(rate), block);
    const size_t frames = static_cast<size_t>(block);
    std::vector<float> inLeft(frames), inRight(frames), outLeft(frames), outRight(frames);
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    // The engine fades its very first block in from silence; a block of silence before the file keeps
    // that fade out of the output, and the suspend/resume empties the spectral exchange again.
    engine->processReplacing(inputs, outputs, block);
    engine->suspend();
    engine->start(static_cast<float>(rate), block);

    LoudnessMeter inputMeter, outputMeter;
    if (!inputMeter.start(channels, rate) || !outputMeter.start(channels, rate)) {
        result.error = job.input + ": the loudness meter cannot measure " + std::to_string(channels) +
                       " channels at " + std::to_string(rate) + " Hz";
        return result;
    }
    AudioWriter writer;
    if (!writer.open(job.output, job.outputFormat, channels, rate, &result.error)) return result;

    std::vector<float> fileIn(frames * channels), fileOut(frames * channels);

    int64_t toSkip = -1; // head samples still to drop: the path delay, known once the engine has run
    int64_t written = 0;
    bool inputEnded = false;
    while (written < totalFrames) {
        if (cancel.load(std::memory_order_relaxed)) {
            result.cancelled = true;
            return result; // the writer removes its temporary file
        }
        int64_t got = inputEnded ? 0 : reader.read(fileIn.data(), block);
        if (got < block) inputEnded = true;
        inputMeter.add(fileIn.data(), got);
        for (int64_t i = 0; i < block; ++i) {
            // Past the end of the input the engine is fed silence, so its delayed tail comes out.
            inLeft[i] = i < got ? fileIn[i * channels] : 0.0f;
            inRight[i] = i < got ? fileIn[i * channels + channels - 1] : 0.0f;
        }
        engine->processReplacing(inputs, outputs, block);
        if (toSkip < 0) {
            result.summary.delay = effectOf(*engine).pathDelay();
            toSkip = settings.raw ? 0 : result.summary.delay;
        }

        int64_t first = std::min<int64_t>(toSkip, block);
        toSkip -= first;
        int64_t count = std::min<int64_t>(block - first, totalFrames - written);
        for (int64_t i = 0; i < count; ++i) {
            float left = outLeft[first + i], right = outRight[first + i];
            if (channels == 1) {
                fileOut[i] = 0.5f * (left + right);
            } else {
                fileOut[2 * i] = left;
                fileOut[2 * i + 1] = right;
            }
        }
        if (count > 0) {
            if (!writer.write(fileOut.data(), count, &result.error)) return result;
            outputMeter.add(fileOut.data(), count);
            written += count;
        }
        if (got > 0) progress.advance(static_cast<double>(got) / rate);
    }
    // The picture is taken before the effect is suspended: a suspend resets the analyser's feed.
    if (!job.snapshotPath.empty() &&
        !writeEditorSnapshot(effectOf(*engine), settings.snapshotMode, job.snapshotPath, &result.error,
                             settings.snapshotScale))
        return result;
    engine->suspend();
    if (!writer.commit(settings.overwrite, &result.error)) return result;

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.summary.before = inputMeter.figures();
    result.summary.after = outputMeter.figures();
    result.summary.delayKept = settings.raw;
    result.summary.speed = seconds > 0.0 ? static_cast<double>(totalFrames) / rate / seconds : 0.0;
    result.ok = true;
    return result;
}
