// lumeric-render end to end: the built tool run on files made here, its outputs, status and messages.
#include <cairo.h>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <numeric>
#include <sndfile.hh>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/px_audio.h"
#include "presets/preset_files.h"
#include "presets/preset_images.h"
#include "support/atomic_file.h"
#include "test_helpers.h"

namespace {

using Args = std::vector<std::string>;
Args operator+(Args a, const Args& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
constexpr size_t npos = std::string::npos;
constexpr int kWav = SF_FORMAT_WAV, kAiff = SF_FORMAT_AIFF, kFlac = SF_FORMAT_FLAC, kOgg = SF_FORMAT_OGG;
constexpr int kF32 = SF_FORMAT_FLOAT, kI16 = SF_FORMAT_PCM_16, kI24 = SF_FORMAT_PCM_24,
              kVorbis = SF_FORMAT_VORBIS;

struct ToolRun {
    int status = -1;
    std::string out, err;
};

// Runs the tool, its writes limited to fileSizeLimit bytes when given. With interrupt, it gets a Ctrl-C as
// soon as a new file appears in the current folder: its output's temporary file.
ToolRun runRender(const Args& args, rlim_t fileSizeLimit = 0, bool interrupt = false) {
    TemporaryFolder capture;
    const std::string outPath = capture.file("out"), errPath = capture.file("err");
    Args argv = Args{LUMERIC_RENDER_PATH} + args;
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    const auto entries = [] { return std::distance(std::filesystem::directory_iterator("."), {}); };
    const auto entriesBefore = entries();
    const pid_t child = fork();
    if (child == 0) {
        dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        if (fileSizeLimit) setrlimit(RLIMIT_FSIZE, &limit);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    for (int wait = 0; interrupt && entries() == entriesBefore && wait < 10000; ++wait)
        usleep(1000);
    if (interrupt) kill(child, SIGINT);
    int raw = 0;
    waitpid(child, &raw, 0);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), readWholeFile(outPath),
            readWholeFile(errPath)};
}

struct Audio {
    int rate = 44100, channels = 2, format = kWav | kF32;
    std::vector<float> samples; // interleaved
    int64_t frames() const { return channels ? static_cast<int64_t>(samples.size()) / channels : 0; }
};

void writeAudio(const std::string& path, const Audio& audio) {
    SndfileHandle file(path, SFM_WRITE, audio.format, audio.channels, audio.rate);
    EXPECT_EQ(file.writef(audio.samples.data(), audio.frames()), audio.frames()) << path;
}

Audio readAudio(const std::string& path) {
    SndfileHandle file(path);
    EXPECT_TRUE(file) << path << ": " << sf_strerror(nullptr);
    Audio audio{file.samplerate(), file.channels(), file.format(),
                std::vector<float>(static_cast<size_t>(file.frames() * file.channels()))};
    file.readf(audio.samples.data(), file.frames());
    return audio;
}

// Two tones, a different one on each side, over a slow one common to both; deterministic.
Audio tones(int64_t frames, int rate = 44100, int channels = 2, int format = kWav | kF32) {
    Audio audio{rate, channels, format, std::vector<float>(static_cast<size_t>(frames * channels))};
    for (int64_t i = 0; i < frames * channels; ++i)
        audio.samples[static_cast<size_t>(i)] =
            0.25f * std::sin(0.031f * static_cast<float>((i % channels + 1) * (i / channels))) +
            0.1f * std::sin(0.0021f * static_cast<float>(i / channels));
    return audio;
}

// The largest difference between two sample sequences; infinite when their shapes differ.
float maxDifference(const Audio& a, const Audio& b) {
    if (a.channels != b.channels || a.samples.size() != b.samples.size()) return INFINITY;
    return std::transform_reduce(
        a.samples.begin(), a.samples.end(), b.samples.begin(), 0.0f,
        [](float x, float y) { return std::max(x, y); }, [](float x, float y) { return std::fabs(x - y); });
}

int64_t loudestFrame(const Audio& audio, size_t channel) {
    size_t best = channel;
    for (size_t i = channel; i < audio.samples.size(); i += static_cast<size_t>(audio.channels))
        if (std::fabs(audio.samples[i]) > std::fabs(audio.samples[best])) best = i;
    return static_cast<int64_t>(best) / audio.channels;
}

// Every entry under a folder with a digest of its contents: anything written, changed or left behind shows.
std::map<std::string, size_t> folderState(const std::string& folder) {
    std::map<std::string, size_t> state;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        state[entry.path().lexically_relative(folder).string()] =
            std::hash<std::string>{}(readWholeFile(entry.path().string()));
    return state;
}

// Each test works in a fresh folder of its own, so its files go by their plain names.
class RenderCli : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(chdir(tmp.path().c_str()), 0); }
    TemporaryFolder tmp;
    // Renders one file, which must succeed, and reads the output back.
    static Audio render(const std::string& in, const std::string& out, const Args& options = {}) {
        const Args args = Args{in, "-o", out, "--overwrite"} + options;
        const ToolRun run = runRender(args);
        if (run.status != 0) ADD_FAILURE() << testing::PrintToString(args) << ": " << run.err;
        return run.status == 0 ? readAudio(out) : Audio{};
    }
};

// Each refusal exits with 2, says one line naming the problem and leaves the folder exactly as it was.
struct Refusal {
    Args args;
    const char* message;
    rlim_t fileSizeLimit = 0;
};

const Refusal kRefusals[] = {
    {{"nothing.wav", "-o", "out.wav"}, "nothing.wav: no such file"},
    {{"notes.wav", "-o", "out.wav"}, "notes.wav: not a readable audio file"},
    {{"six.wav", "-o", "out.wav"}, "six.wav: 6 channels"},
    {{"-o", "out.wav"}, "no input file"},
    {{"in.wav"}, "no output given"},
    {{"in.wav", "-o", "out.wav", "--louder"}, "unknown option --louder"},
    {{"in.wav", "-o", "out.wav", "--program"}, "--program needs a value"},
    {{"in.wav", "existing.wav", "-o", "in.wav"}, "in.wav: not a folder"},
    {{"in.wav", "sub/in.wav", "-o", "new"}, "two inputs would be written to the same output file"},
    {{"existing.wav", "in.wav", "-o", "sub"}, "sub/in.wav: already exists"},
    {{"in.wav", "-o", "existing.wav"}, "existing.wav: already exists (use --overwrite"},
    {{"in.wav", "-o", "in.wav", "--overwrite"}, "replace its own input"},
    {{"in.wav", "-o", "no/such/out.wav"}, "the folder no/such does not exist"},
    {{"in.wav", "-o", "out.wav"}, "out.wav: write failed", 64 * 1024},
    {{"in.wav", "-o", "out.flac", "--float"}, "FLAC cannot hold float"},
    {{"in.wav", "-o", "out.wav", "--bits", "12"}, "--bits 12: expected 16 or 24"},
    {{"in.wav", "-o", "out.wav", "--float", "--bits", "24"}, "exclude each other"},
    {{"in.wav", "-o", "out.wav", "--block", "0"}, "--block 0"},
    {{"in.wav", "-o", "out.wav", "--set", "Loudness=0.5"}, "unknown parameter \"Loudness\""},
    {{"in.wav", "-o", "out.wav", "--set", "Reserved=0.5"}, "\"Reserved\" is ambiguous"},
    {{"in.wav", "-o", "out.wav", "--set", "Tone"}, "expected NAME=VALUE"},
    {{"in.wav", "-o", "out.wav", "--set", "Volume=1.01"}, "Volume=1.01: value must lie within 0..1"},
    {{"in.wav", "-o", "out.wav", "--program", "Polka"}, "unknown program \"Polka\""},
    {{"in.wav", "-o", "out.wav", "--program", "128"}, "programs are 0..127"},
    {{"in.wav", "-o", "out.wav", "--program", "tone w"}, "32 \"Tone warm\", 34 \"Tone warmer\""},
    {{"in.wav", "-o", "out.wav", "--program", "Virtual surround medium"}, "\"Virtual surround medium\", 16"},
    {{"in.wav", "-o", "out.wav", "--fxp", "none.fxp"}, "none.fxp: cannot read"},
    {{"in.wav", "-o", "out.wav", "--fxb", "notes.wav"}, "notes.wav: not a Lumeric bank"},
    {{"in.wav", "existing.wav", "-o", "new", "--snapshot", "e.png"}, "--snapshot takes one input"},
    {{"in.wav", "-o", "out.wav", "--snapshot", "e.png", "--snapshot-scale", "1.3"}, "expected 1, 1.25, 1.5"},
    {{"--make-demo", "existing.wav"}, "existing.wav: already exists"},
};

TEST_F(RenderCli, RefusalsWriteNothing) {
    writeAudio("in.wav", tones(44100)); // larger than the file-size limit
    writeAudio("existing.wav", tones(10));
    writeAudio("six.wav", tones(10, 44100, 6));
    std::filesystem::create_directory("sub");
    writeAudio("sub/in.wav", tones(10));
    std::ofstream("notes.wav") << "not audio at all\n";
    const auto before = folderState(".");
    for (const Refusal& refusal : kRefusals) {
        SCOPED_TRACE(testing::PrintToString(refusal.args));
        const ToolRun run = runRender(refusal.args, refusal.fileSizeLimit);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind("lumeric-render: ", 0), 0u) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        EXPECT_NE(run.err.find(refusal.message), npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(folderState("."), before);
    }
}

// Bypassed, the output is the input in the expected container, sample format, rate and channels: only the
// formats' own quantisation separates them.
// Rows: input, its format, rate and channels, output, options, expected format, tolerance.
const std::tuple<const char*, int, int, int, const char*, Args, int, float> kFormats[] = {
    {"in.wav", kWav | kF32, 44100, 2, "out.wav", {"--block", "100"}, kWav | kF32, 0},
    {"in.wav", kWav | kF32, 48000, 1, "out.wav", {}, kWav | kF32, 0},
    {"in.wav", kWav | kI16, 44100, 2, "out.wav", {}, kWav | kI16, 1e-4f},
    {"in.wav", kWav | kI24, 48000, 1, "out.aiff", {}, kAiff | kI24, 1e-6f},
    {"in.aiff", kAiff | kI16, 88200, 2, "out.wav", {"--float"}, kWav | kF32, 1e-4f},
    {"in.wav", kWav | kF32, 96000, 2, "out.flac", {}, kFlac | kI24, 1e-6f},
    {"in.flac", kFlac | kI16, 44100, 1, "out", {}, kFlac | kI16, 1e-4f}, // keeps the container
    {"in.flac", kFlac | kI24, 48000, 2, "out.aif", {"--bits", "16"}, kAiff | kI16, 1e-4f},
    {"in.wav", kWav | kI16, 32000, 2, "out.wav", {"--bits", "24"}, kWav | kI24, 1e-4f},
    {"in.ogg", kOgg | kVorbis, 44100, 2, "out.wav", {}, kWav | kI24, 1e-6f},
    {"in.wav", kWav | kF32, 48000, 1, "out.ogg", {}, kOgg | kVorbis, 0.05f},
};

TEST_F(RenderCli, OutputFormatFollowsInputAndOptions) {
    for (const auto& [in, inFormat, rate, channels, out, options, outFormat, tolerance] : kFormats) {
        SCOPED_TRACE(in + (" -> " + std::string(out)) + testing::PrintToString(options));
        writeAudio(in, tones(12345, rate, channels, inFormat));
        const Audio output = render(in, out, Args{"--set", "Bypass=1"} + options);
        EXPECT_EQ(output.format, outFormat);
        EXPECT_EQ(output.rate, rate);
        EXPECT_LE(maxDifference(output, readAudio(in)), tolerance); // channels, length and samples
    }
}

// An impulse comes out where it went in, whatever the path delay; --raw keeps the delay. Rows: rate, options
// on top of a program whose stages are all neutral, path delay.
const std::tuple<int, Args, int64_t> kAlignments[] = {
    {44100, {"--set", "Tone=0.7"}, 767},
    {48000, {"--set", "Tone=0.3", "--block", "100"}, 767}, // blocks shorter than the delay
    {88200, {"--set", "Tone=0.7", "--block", "333"}, 1535},
    {96000, {"--set", "Tone=0.7"}, 1535},
    {44100, {}, 0},
    {32000, {"--set", "Tone=0.7"}, 0}, // the spectral stages do not run at this rate
};

TEST_F(RenderCli, ImpulseStaysInPlaceAndRawKeepsTheDelay) {
    const int64_t frames = 12000, position = 5003;
    for (const auto& [rate, options, delay] : kAlignments) {
        SCOPED_TRACE(std::to_string(rate) + " Hz " + testing::PrintToString(options));
        Audio impulse{rate, 2, kWav | kF32, std::vector<float>(2 * frames)};
        impulse.samples[2 * position] = impulse.samples[2 * position + 1] = 0.5f;
        writeAudio("impulse.wav", impulse);
        for (bool raw : {false, true}) {
            const ToolRun run =
                runRender(Args{"impulse.wav", "-o", "out.wav", "--overwrite", "--program", "73"} + options +
                          (raw ? Args{"--raw"} : Args{}));
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_NE(run.out.find("delay      " + std::to_string(delay) + " samples"), npos) << run.out;
            const Audio out = readAudio("out.wav");
            ASSERT_EQ(out.frames(), frames);
            for (size_t channel : {0, 1})
                // The half-rate path resamples: there the peak may fall on a neighbouring sample.
                EXPECT_NEAR(loudestFrame(out, channel), position + (raw ? delay : 0), rate > 48000 ? 1 : 0)
                    << "raw " << raw << ", channel " << channel;
        }
    }
}

// A mono file is processed as two equal channels and written back as their mean.
TEST_F(RenderCli, MonoIsProcessedAsTwoEqualChannels) {
    Audio mono = tones(20000, 44100, 1), stereo = tones(20000);
    for (int64_t i = 0; i < mono.frames(); ++i)
        stereo.samples[2 * i] = stereo.samples[2 * i + 1] = mono.samples[i];
    writeAudio("mono.wav", mono);
    writeAudio("stereo.wav", stereo);
    const Audio monoOut = render("mono.wav", "out-mono.wav");
    const Audio stereoOut = render("stereo.wav", "out-stereo.wav");
    Audio mean = mono;
    for (int64_t i = 0; i < mean.frames() && i < stereoOut.frames(); ++i)
        mean.samples[i] = 0.5f * (stereoOut.samples[2 * i] + stereoOut.samples[2 * i + 1]);
    EXPECT_LE(maxDifference(monoOut, mean), 1e-6f);
    EXPECT_GT(maxDifference(monoOut, mono), 0.01f); // the effect did act
}

TEST_F(RenderCli, ProgramIsFoundByNumberExactNameOrUniquePrefix) {
    const std::pair<const char*, int> cases[] = {{"34", 34},         {"Tone warm", 32}, {"tone WARM", 32},
                                                 {"tone warme", 34}, {"mono s", 49},    {"lowfi over", 72}};
    for (const auto& [wanted, number] : cases) {
        const ToolRun run = runRender({"--list-params", "--program", wanted});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.rfind("Program " + std::to_string(number) + ":", 0), 0u) << wanted;
    }
}

// The same settings through program and bank files, percentages or any order of the options give the same
// output: settings apply as bank, program, program file, single values.
TEST_F(RenderCli, ProgramAndBankFilesAgreeWithSet) {
    const std::pair<int, int> percent[] = {{kTone, 80}, {kClearness, 40}, {kVolume, 45}, {kEqHigh, 70}};
    Args fractions = {"--program", "73"}, percentages = fractions;
    PxAudio effect([](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
        return opcode == audioMasterVersion ? kVstVersion : 0;
    });
    effect.setProgram(73);
    for (const auto& [index, value] : percent) {
        effect.setParameter(index, index == kTone ? 0.2f : value / 100.0f); // the files' Tone is overridden
        fractions.push_back("--set=" + std::to_string(index) + "=" + std::to_string(value / 100.0));
        percentages.push_back("--set=" + std::to_string(index) + "=" + std::to_string(value) + "%");
    }
    std::vector<unsigned char> image(kBankImageSize);
    size_t size = 0;
    fxpSaveBytesToBuf(effect, image.data(), &size);
    ASSERT_TRUE(writeFileAtomically("settings.fxp", image.data(), size));
    fxbSaveBytesToBuf(effect, image.data(), &size);
    ASSERT_TRUE(writeFileAtomically("settings.fxb", image.data(), size));
    writeAudio("in.wav", tones(20000));
    const Audio reference = render("in.wav", "reference.wav", fractions);
    for (const Args& variant : {percentages, Args{"--fxp", "settings.fxp", "--set", "Tone=0.8"},
                                Args{"--fxb", "settings.fxb", "--program", "73", "--set", "Tone=0.8"},
                                Args{"--set", "Tone=80%", "--fxp", "settings.fxp", "--program", "0"}})
        EXPECT_EQ(maxDifference(render("in.wav", "out.wav", variant), reference), 0.0f)
            << testing::PrintToString(variant);
}

// Parallel jobs do not disturb each other, and the block length does not change the result.
TEST_F(RenderCli, BatchInParallelMatchesSingleRunsWithAnyBlockLength) {
    const Args names = {"a.wav", "b.flac", "c.aiff"}, blocks = {"64", "333", "4096"};
    writeAudio("a.wav", tones(30000));
    writeAudio("b.flac", tones(20000, 48000, 1, kFlac | kI24));
    writeAudio("c.aiff", tones(25000, 96000, 2, kAiff | kI24));
    const ToolRun batch = runRender({"a.wav", "b.flac", "c.aiff", "-o", "batch", "-j", "2"});
    ASSERT_EQ(batch.status, 0) << batch.err;
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_NE(batch.out.find(names[i] + " -> batch/" + names[i]), npos) << batch.out;
        const Audio single = render(names[i], "single-" + names[i], {"--block", blocks[i]});
        EXPECT_LE(maxDifference(readAudio("batch/" + names[i]), single), 1e-5f) << names[i];
    }
    // One input into the existing folder replaces its output; bypassed, that is the input.
    ASSERT_EQ(runRender({"a.wav", "-obatch/", "--overwrite", "--set", "Bypass=1"}).status, 0);
    EXPECT_EQ(maxDifference(readAudio("batch/a.wav"), readAudio("a.wav")), 0.0f);
    EXPECT_EQ(folderState("batch").size(), names.size()); // no temporary files left
}

// The input peaks at -9 dBTP; at full volume (8 times the gain) the output is flagged, at half it is not.
TEST_F(RenderCli, SummaryFlagsAnOutputTruePeakAboveZero) {
    writeAudio("in.wav", tones(44100));
    for (const char* volume : {"0.5", "1"}) {
        const ToolRun run = runRender({"in.wav", "-o", "out.wav", "--overwrite", "--program=73",
                                       "--set=Volume=" + std::string(volume)});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.find("above 0 dBTP") != npos, volume[0] == '1') << run.out;
    }
}

// Steps of over a third of the brightness range between neighbouring pixels: edges that upscaling smooths.
long sharpSteps(cairo_surface_t* image) {
    long steps = 0;
    for (int y = 0; y < cairo_image_surface_get_height(image); ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(image) +
                                                            y * cairo_image_surface_get_stride(image));
        const auto brightness = [&](int x) {
            return static_cast<int>((row[x] >> 16 & 255) + (row[x] >> 8 & 255) + (row[x] & 255));
        };
        for (int x = 1; x < cairo_image_surface_get_width(image); ++x)
            steps += std::abs(brightness(x) - brightness(x - 1)) > 255;
    }
    return steps;
}

TEST_F(RenderCli, SnapshotDrawsTheEditorInEitherModeAndTwiceAsLargeJustAsSharp) {
    writeAudio("in.wav", tones(5000));
    std::map<std::string, long> steps;
    for (const std::string name : {"spectrum1", "scope1", "spectrum2"}) {
        const std::string scale = name.substr(name.size() - 1), mode = name.substr(0, name.size() - 1);
        const ToolRun run = runRender({"in.wav", "-o", name + ".wav", "--snapshot", name + ".png",
                                       "--snapshot-mode", mode, "--snapshot-scale", scale});
        ASSERT_EQ(run.status, 0) << run.err;
        cairo_surface_t* image = cairo_image_surface_create_from_png((name + ".png").c_str());
        EXPECT_EQ(cairo_image_surface_get_width(image) * 10000 + cairo_image_surface_get_height(image),
                  scale == "1" ? 8280554 : 16561108);
        steps[name] = sharpSteps(image);
        cairo_surface_destroy(image);
    }
    EXPECT_NE(readWholeFile("spectrum1.png"), readWholeFile("scope1.png"));
    EXPECT_GT(steps["spectrum2"], 3 * steps["spectrum1"] / 2); // twice the rows, each as sharp
}

// Interrupted while writing, the renderer removes its temporary file and exits with 130.
TEST_F(RenderCli, InterruptLeavesNothingBehind) {
    writeAudio("long.wav", tones(44100 * 10));
    const auto before = folderState(".");
    const ToolRun run = runRender({"long.wav", "-o", "out.wav", "--block", "1"}, 0, true);
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_NE(run.err.find("interrupted"), npos) << run.err;
    EXPECT_EQ(folderState("."), before);
}

} // namespace
