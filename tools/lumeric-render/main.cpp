// lumeric-render: runs audio files through the Lumeric effect without a host; see --help.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "audio_file.h"
#include "batch.h"
#include "demo_clip.h"
#include "engine_settings.h"
#include "job_plan.h"
#include "options.h"
#include "progress_display.h"
#include "render_job.h"

namespace {

constexpr int kExitError = 2;
constexpr int kExitInterrupted = 130;

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void onSignal(int) {
    interrupted.store(true, std::memory_order_relaxed);
}

void installSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A file-size limit or a closed pipe then shows up as a failed write, which cleans up.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

int fail(const std::string& message) {
    std::fprintf(stderr, "lumeric-render: %s\n", message.c_str());
    return kExitError;
}

int makeDemo(const RenderOptions& options) {
    const std::string& path = options.demoPath;
    int container = containerForPath(path);
    if (!container) return fail(path + ": name the demo clip .wav, .aiff, .flac or .ogg");
    if (access(path.c_str(), F_OK) == 0 && !options.overwrite)
        return fail(path + ": already exists (use --overwrite to replace it)");
    int format = container | (container == SF_FORMAT_OGG ? SF_FORMAT_VORBIS : SF_FORMAT_PCM_24);
    if (options.floatOutput) format = container | SF_FORMAT_FLOAT;
    if (options.bits) format = container | (options.bits == 16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_24);
    std::vector<float> clip = synthesiseDemoClip();
    std::string error;
    AudioWriter writer;
    if (!writer.open(path, format, 2, kDemoSampleRate, &error) ||
        !writer.write(clip.data(), static_cast<int64_t>(clip.size() / 2), &error))
        return fail(error);
    if (interrupted.load(std::memory_order_relaxed)) {
        writer.discard();
        std::fprintf(stderr, "lumeric-render: interrupted; nothing was written\n");
        return kExitInterrupted;
    }
    if (!writer.commit(options.overwrite, &error)) return fail(error);
    if (!options.quiet)
        std::printf("Demo clip: %s (%.1f s, %d Hz stereo, drums, bass and chords)\n", path.c_str(),
                    static_cast<double>(clip.size() / 2) / kDemoSampleRate, kDemoSampleRate);
    return 0;
}

int listPrograms(const EngineSettings& settings) {
    std::string error;
    auto engine = createEngine(&error);
    if (!engine) return fail(error);
    applySettings(*engine, settings);
    const VstIntPtr current = engine->dispatch(effGetProgram);
    for (int p = 0; p < engine->effect()->numPrograms; ++p)
        std::printf("%3d %c %s\n", p, p == current ? '*' : ' ', engine->programNameIndexed(p).c_str());
    return 0;
}

int listParameters(const EngineSettings& settings) {
    std::string error;
    auto engine = createEngine(&error);
    if (!engine) return fail(error);
    applySettings(*engine, settings);
    const int current = static_cast<int>(engine->dispatch(effGetProgram));
    std::printf("Program %d: %s\n", current, engine->programNameIndexed(current).c_str());
    for (int i = 0; i < engine->effect()->numParams; ++i)
        std::printf("%3d  %-18s %-10s (%.4f)\n", i, engine->parameterName(i).c_str(),
                    engine->parameterDisplay(i).c_str(), static_cast<double>(engine->getParameter(i)));
    return 0;
}

// The rates at which only the time-domain stages run, said once each.
void noteRates(const std::vector<RenderJob>& jobs) {
    std::set<int> said;
    for (const RenderJob& job : jobs) {
        int rate = job.inputInfo.sampleRate;
        if (isSpectralRate(rate) || !said.insert(rate).second) continue;
        std::fprintf(stderr,
                     "lumeric-render: note: at %d Hz only the time-domain stages run; the spectral stages "
                     "need 44100, 48000, 88200 or 96000 Hz\n",
                     rate);
    }
}

int render(const RenderOptions& options, const EngineSettings& settings) {
    JobPlan plan;
    std::string error;
    if (!planJobs(options, plan, &error)) return fail(error);
    if (!plan.folderToCreate.empty() && mkdir(plan.folderToCreate.c_str(), 0777) != 0)
        return fail(plan.folderToCreate + ": the output folder cannot be created");
    if (!options.quiet) noteRates(plan.jobs);

    RenderSettings renderSettings;
    renderSettings.blockSize = options.blockSize;
    renderSettings.raw = options.raw;
    renderSettings.overwrite = options.overwrite;
    renderSettings.snapshotMode = options.snapshotMode;
    renderSettings.snapshotScale = options.snapshotScale;

    double totalSeconds = 0.0;
    for (const RenderJob& job : plan.jobs)
        totalSeconds += static_cast<double>(job.inputInfo.frames) / job.inputInfo.sampleRate;
    ProgressDisplay progress(!options.quiet && isatty(STDERR_FILENO));
    std::vector<RenderResult> results(plan.jobs.size());
    progress.begin(totalSeconds);
    runInParallel(plan.jobs.size(), options.jobs > 0 ? options.jobs : defaultJobCount(), [&](size_t i) {
        results[i] = renderFile(plan.jobs[i], settings, renderSettings, progress, interrupted);
    });
    progress.end();

    if (interrupted.load(std::memory_order_relaxed)) {
        std::fprintf(stderr, "lumeric-render: interrupted; unfinished outputs were removed\n");
        return kExitInterrupted;
    }
    int status = 0;
    for (const RenderResult& result : results) {
        if (result.ok) {
            if (!options.quiet) std::fputs(formatSummary(result.summary).c_str(), stdout);
        } else {
            status = fail(result.error);
        }
    }
    if (!plan.jobs.front().snapshotPath.empty() && results.front().ok && !options.quiet)
        std::printf("Editor snapshot: %s\n", plan.jobs.front().snapshotPath.c_str());
    return status;
}

} // namespace

int main(int argc, char** argv) {
    installSignalHandlers();
    RenderOptions options;
    std::string error;
    if (!parseOptions(argc, argv, options, &error)) return fail(error);
    if (options.mode == RenderMode::Help) {
        printHelp(stdout);
        return 0;
    }
    if (options.mode == RenderMode::MakeDemo) return makeDemo(options);

    EngineSettings settings;
    if (!resolveSettings(options, settings, &error)) return fail(error);
    switch (options.mode) {
    case RenderMode::ListPrograms:
        return listPrograms(settings);
    case RenderMode::ListParams:
        return listParameters(settings);
    default:
        return render(options, settings);
    }
}
