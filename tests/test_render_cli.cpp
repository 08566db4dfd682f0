// lumeric-render end to end: the built tool run on files made here, its outputs, exit codes and messages.
#include <algorithm>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/px_audio.h"
#include "presets/preset_files.h"
#include "presets/preset_images.h"
#include "support/atomic_file.h"
#include "test_helpers.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the tool with the arguments; shellPrefix, when given, runs it through sh after that command.
ToolRun runRender(const std::vector<std::string>& args, const std::string& shellPrefix = "",
                  int interruptAfterMs = -1) {
    TemporaryFolder capture;
    const std::string outPath = capture.file("out"), errPath = capture.file("err");
    std::vector<std::string> argv;
    if (!shellPrefix.empty()) {
        argv = {"/bin/sh", "-c", shellPrefix + "; exec \"$0\" \"$@\""};
    }
    argv.push_back(LUMERIC_RENDER_PATH);
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t child = fork();
    if (child == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> pointers;
        for (auto& a : argv)
            pointers.push_back(const_cast<char*>(a.c_str()));
        pointers.push_back(nullptr);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    if (interruptAfterMs >= 0) {
        usleep(static_cast<useconds_t>(interruptAfterMs) * 1000);
        kill(child, SIGINT);
    }
    int raw = 0;
    waitpid(child, &raw, 0);
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    run.out = readWholeFile(outPath);
    run.err = readWholeFile(errPath);
    return run;
}

struct Audio {
    int rate = 44100;
    int channels = 2;
    int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    std::vector<float> samples; // interleaved
    int64_t frames() const { return static_cast<int64_t>(samples.size()) / channels; }
    float at(int64_t frame, int channel) const {
        return samples[static_cast<size_t>(frame * channels + channel)];
    }
};

void writeAudio(const std::string& path, const Audio& audio) {
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = audio.channels;
    info.format = audio.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    EXPECT_EQ(sf_writef_float(file, audio.samples.data(), audio.frames()), audio.frames());
    sf_close(file);
}

Audio readAudio(const std::string& path) {
    Audio audio;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        ADD_FAILURE() << path << ": " << sf_strerror(nullptr);
        audio.channels = 0;
        return audio;
    }
    audio.rate = info.samplerate;
    audio.channels = info.channels;
    audio.format = info.format;
    audio.samples.resize(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, audio.samples.data(), info.frames);
    sf_close(file);
    return audio;
}

// A quiet stereo mix of two tones, different on each side; deterministic.
Audio tones(int64_t frames, int rate = 44100, int channels = 2,
            int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
    Audio audio;
    audio.rate = rate;
    audio.channels = channels;
    audio.format = format;
    audio.samples.resize(static_cast<size_t>(frames * channels));
    for (int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            audio.samples[static_cast<size_t>(i * channels + c)] =
                0.25f * std::sin(0.031f * (c + 1) * static_cast<float>(i)) +
                0.1f * std::sin(0.0021f * static_cast<float>(i));
    return audio;
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int lineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

int64_t loudestFrame(const Audio& audio, int channel) {
    int64_t best = 0;
    for (int64_t i = 0; i < audio.frames(); ++i)
        if (std::fabs(audio.at(i, channel)) > std::fabs(audio.at(best, channel))) best = i;
    return best;
}

int64_t reportedDelay(const std::string& summary) {
    size_t at = summary.find("delay ");
    return at == std::string::npos ? -1 : std::atoll(summary.c_str() + at + 6);
}

class RenderCli : public testing::Test {
  protected:
    TemporaryFolder tmp;
    std::string file(const std::string& name) const { return tmp.file(name); }
};

TEST_F(RenderCli, HelpDocumentsEveryOptionWithAnExample) {
    ToolRun run = runRender({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* option : {"--output", "--program", "--set", "--fxp", "--fxb", "--list-programs",
                               "--list-params", "--block", "--raw", "--jobs", "--overwrite", "--quiet",
                               "--float", "--bits", "--snapshot", "--snapshot-mode", "--make-demo"}) {
        size_t at = run.out.find(option);
        ASSERT_NE(at, std::string::npos) << option;
        EXPECT_NE(run.out.find("e.g. lumeric-render", at), std::string::npos) << option;
    }
}

// Every refusal: status 2, one line naming the problem, and the folder left exactly as it was.
struct ErrorCase {
    const char* name;
    std::vector<std::string> args; // "@" stands for the temporary folder
    const char* expected;
};

class RenderErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(RenderErrors, RefusesWithOneLineAndWritesNothing) {
    TemporaryFolder tmp;
    writeAudio(tmp.file("in.wav"), tones(3000));
    Audio six = tones(100, 44100, 6);
    writeAudio(tmp.file("six.wav"), six);
    writeAudio(tmp.file("existing.wav"), tones(10));
    std::string notAudio = tmp.file("notes.wav");
    FILE* text = std::fopen(notAudio.c_str(), "w");
    std::fputs("not audio at all\n", text);
    std::fclose(text);
    const auto before = folderEntries(tmp.path());

    std::vector<std::string> args;
    for (std::string arg : GetParam().args) {
        for (size_t at = arg.find('@'); at != std::string::npos; at = arg.find('@'))
            arg.replace(at, 1, tmp.path());
        args.push_back(arg);
    }
    ToolRun run = runRender(args);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(lineCount(run.err), 1) << run.err;
    EXPECT_EQ(run.err.rfind("lumeric-render: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(GetParam().expected), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(folderEntries(tmp.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    All, RenderErrors,
    testing::Values(
        ErrorCase{"MissingInput", {"@/nothing.wav", "-o", "@/out.wav"}, "nothing.wav: no such file"},
        ErrorCase{"NotAudio", {"@/notes.wav", "-o", "@/out.wav"}, "notes.wav: not a readable audio file"},
        ErrorCase{"UnknownOption", {"@/in.wav", "-o", "@/out.wav", "--louder"}, "unknown option --louder"},
        ErrorCase{"NoInput", {"-o", "@/out.wav"}, "no input file"},
        ErrorCase{"NoOutput", {"@/in.wav"}, "no output given"},
        ErrorCase{"SeveralInputsToAFile", {"@/in.wav", "@/existing.wav", "-o", "@/in.wav"}, "not a folder"},
        ErrorCase{"UnknownParameter",
                  {"@/in.wav", "-o", "@/out.wav", "--set", "Loudness=0.5"},
                  "unknown parameter \"Loudness\""},
        ErrorCase{
            "AmbiguousParameter", {"@/in.wav", "-o", "@/out.wav", "--set", "Reserved=0.5"}, "ambiguous"},
        ErrorCase{"ValueAboveOne", {"@/in.wav", "-o", "@/out.wav", "--set", "Volume=1.5"}, "within 0..1"},
        ErrorCase{"ValueBelowZero", {"@/in.wav", "-o", "@/out.wav", "--set", "Tone=-0.1"}, "within 0..1"},
        ErrorCase{"PercentAbove", {"@/in.wav", "-o", "@/out.wav", "--set", "Tone=101%"}, "within 0..1"},
        ErrorCase{"NotANumber", {"@/in.wav", "-o", "@/out.wav", "--set", "Tone=loud"}, "within 0..1"},
        ErrorCase{
            "SetWithoutEquals", {"@/in.wav", "-o", "@/out.wav", "--set", "Tone"}, "expected NAME=VALUE"},
        ErrorCase{"UnknownProgram", {"@/in.wav", "-o", "@/out.wav", "--program", "Polka"}, "unknown program"},
        ErrorCase{"ProgramNumberTooHigh", {"@/in.wav", "-o", "@/out.wav", "--program", "128"}, "0..127"},
        ErrorCase{"AmbiguousPrefix",
                  {"@/in.wav", "-o", "@/out.wav", "--program", "tone w"},
                  "32 \"Tone warm\", 34 \"Tone warmer\""},
        ErrorCase{"DuplicateExactName",
                  {"@/in.wav", "-o", "@/out.wav", "--program", "Virtual surround medium"},
                  "14 \"Virtual surround medium\", 16"},
        ErrorCase{"OutputFolderMissing", {"@/in.wav", "-o", "@/no/such/folder/out.wav"}, "does not exist"},
        ErrorCase{"OutputUnderAFile", {"@/in.wav", "-o", "@/in.wav/out.wav"}, "does not exist"},
        ErrorCase{"OutputExists", {"@/in.wav", "-o", "@/existing.wav"}, "already exists (use --overwrite"},
        ErrorCase{"OutputIsInput", {"@/in.wav", "-o", "@/in.wav", "--overwrite"}, "replace its own input"},
        ErrorCase{"SixChannels", {"@/six.wav", "-o", "@/out.wav"}, "6 channels"},
        ErrorCase{"BitsForOgg", {"@/in.wav", "-o", "@/out.ogg", "--bits", "16"}, "OGG cannot hold 16-bit"},
        ErrorCase{"FloatForFlac", {"@/in.wav", "-o", "@/out.flac", "--float"}, "FLAC cannot hold float"},
        ErrorCase{"BadBits", {"@/in.wav", "-o", "@/out.wav", "--bits", "12"}, "expected 16 or 24"},
        ErrorCase{"BadBlock", {"@/in.wav", "-o", "@/out.wav", "--block", "0"}, "--block 0"},
        ErrorCase{"BadJobs", {"@/in.wav", "-o", "@/out.wav", "-j", "none"}, "-j none"},
        ErrorCase{"BadSnapshotMode",
                  {"@/in.wav", "-o", "@/out.wav", "--snapshot-mode", "waves"},
                  "spectrum or scope"},
        ErrorCase{"MissingProgramFile",
                  {"@/in.wav", "-o", "@/out.wav", "--fxp", "@/none.fxp"},
                  "none.fxp: cannot read"},
        ErrorCase{
            "ForeignBankFile", {"@/in.wav", "-o", "@/out.wav", "--fxb", "@/notes.wav"}, "not a Lumeric bank"},
        ErrorCase{"ValueMissing", {"@/in.wav", "-o", "@/out.wav", "--program"}, "needs a value"},
        ErrorCase{"StandardInput", {"-", "-o", "@/out.wav"}, "standard input is not supported"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

TEST_F(RenderCli, SnapshotShowsTheEditorAfterProcessing) {
    writeAudio(file("in.wav"), tones(5000));
    for (const char* mode : {"spectrum", "scope"}) {
        const std::string png = file(std::string("editor-") + mode + ".png");
        ToolRun run = runRender({file("in.wav"), "-o", file("out.wav"), "--overwrite", "--snapshot", png,
                                 "--snapshot-mode", mode});
        EXPECT_EQ(run.status, 0) << run.err;
        const std::string image = readWholeFile(png);
        ASSERT_GT(image.size(), 24u) << mode;
        EXPECT_EQ(image.substr(1, 3), "PNG");
        // Width and height from the PNG header: the editor's background size.
        const auto be32 = [&](size_t at) {
            return (uint32_t(uint8_t(image[at])) << 24) | (uint32_t(uint8_t(image[at + 1])) << 16) |
                   (uint32_t(uint8_t(image[at + 2])) << 8) | uint32_t(uint8_t(image[at + 3]));
        };
        EXPECT_EQ(be32(16), 828u);
        EXPECT_EQ(be32(20), 554u);
    }
}

// An impulse comes out where it went in, whatever delay the engine's spectral stages add; --raw keeps it.
struct AlignmentCase {
    int rate;
    std::vector<std::string> settings;
};

class RenderAlignment : public testing::TestWithParam<AlignmentCase> {};

TEST_P(RenderAlignment, ImpulseStaysInPlaceAndRawKeepsTheDelay) {
    TemporaryFolder tmp;
    const int rate = GetParam().rate;
    const int64_t position = 5003;
    Audio impulse;
    impulse.rate = rate;
    impulse.samples.assign(2 * 20000, 0.0f);
    impulse.samples[2 * position] = impulse.samples[2 * position + 1] = 0.5f;
    writeAudio(tmp.file("impulse.wav"), impulse);

    std::vector<std::string> args = {tmp.file("impulse.wav"), "-o", tmp.file("aligned.wav"), "--program",
                                     "73"};
    args.insert(args.end(), GetParam().settings.begin(), GetParam().settings.end());
    ToolRun aligned = runRender(args);
    ASSERT_EQ(aligned.status, 0) << aligned.err;
    EXPECT_EQ(aligned.err, ""); // in particular no warning about the block length at the half rate
    Audio out = readAudio(tmp.file("aligned.wav"));
    ASSERT_EQ(out.frames(), impulse.frames());
    // The half-rate path resamples, so the peak may fall on a neighbouring sample there.
    const int64_t tolerance = rate > 48000 ? 1 : 0;
    EXPECT_NEAR(loudestFrame(out, 0), position, tolerance);
    EXPECT_NEAR(loudestFrame(out, 1), position, tolerance);

    const int64_t delay = reportedDelay(aligned.out);
    ASSERT_GE(delay, 0) << aligned.out;
    args[2] = tmp.file("raw.wav");
    args.push_back("--raw");
    ToolRun raw = runRender(args);
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(reportedDelay(raw.out), delay);
    Audio late = readAudio(tmp.file("raw.wav"));
    ASSERT_EQ(late.frames(), impulse.frames());
    EXPECT_NEAR(loudestFrame(late, 0), position + delay, tolerance);
}

INSTANTIATE_TEST_SUITE_P(SpectralStagesOn, RenderAlignment,
                         testing::Values(AlignmentCase{44100, {"--set", "Tone=0.7"}},
                                         AlignmentCase{48000, {"--set", "Tone=0.3", "--block", "100"}},
                                         AlignmentCase{88200, {"--set", "Tone=0.7", "--block", "333"}},
                                         AlignmentCase{96000, {"--set", "Tone=0.7"}},
                                         AlignmentCase{44100, {"--set", "Tone=0.5"}}));

// Output length equals input length for any block size, mono stays mono, stereo stays stereo.
struct LengthCase {
    int64_t frames;
    int channels;
    int block;
};

class RenderLengths : public testing::TestWithParam<LengthCase> {};

TEST_P(RenderLengths, OutputHasTheInputsLengthAndChannels) {
    TemporaryFolder tmp;
    const LengthCase c = GetParam();
    writeAudio(tmp.file("in.wav"), tones(c.frames, 44100, c.channels));
    for (const char* mode : {"", "--raw"}) {
        std::vector<std::string> args = {
            tmp.file("in.wav"),      "-o",    tmp.file("out.wav"), "--overwrite", "--block",
            std::to_string(c.block), "--set", "NoiseReduction=0.5"};
        if (*mode) args.push_back(mode);
        ToolRun run = runRender(args);
        ASSERT_EQ(run.status, 0) << run.err;
        Audio out = readAudio(tmp.file("out.wav"));
        EXPECT_EQ(out.frames(), c.frames) << mode;
        EXPECT_EQ(out.channels, c.channels) << mode;
    }
}

INSTANTIATE_TEST_SUITE_P(All, RenderLengths,
                         testing::Values(LengthCase{0, 2, 512}, LengthCase{1, 2, 512}, LengthCase{1000, 1, 1},
                                         LengthCase{44117, 2, 512}, LengthCase{44117, 1, 4096},
                                         LengthCase{3000, 2, 3000}, LengthCase{2999, 2, 333}));

TEST_F(RenderCli, BypassGivesTheInputBackExactlyForMonoAndStereo) {
    for (int channels : {1, 2}) {
        Audio input = tones(7777, 48000, channels);
        writeAudio(file("in.wav"), input);
        ToolRun run = runRender(
            {file("in.wav"), "-o", file("out.wav"), "--overwrite", "--set", "Bypass=1", "--block", "100"});
        ASSERT_EQ(run.status, 0) << run.err;
        Audio out = readAudio(file("out.wav"));
        ASSERT_EQ(out.channels, channels);
        ASSERT_EQ(out.samples.size(), input.samples.size());
        for (size_t i = 0; i < input.samples.size(); ++i)
            ASSERT_EQ(out.samples[i], input.samples[i]) << "channels " << channels << " sample " << i;
    }
}

TEST_F(RenderCli, MonoInputIsProcessedAsTwoEqualChannels) {
    Audio mono = tones(20000, 44100, 1);
    Audio stereo = mono;
    stereo.channels = 2;
    stereo.samples.clear();
    for (float sample : mono.samples)
        stereo.samples.insert(stereo.samples.end(), {sample, sample});
    writeAudio(file("mono.wav"), mono);
    writeAudio(file("stereo.wav"), stereo);
    for (const char* name : {"mono.wav", "stereo.wav"})
        ASSERT_EQ(runRender({file(name), "-o", file(std::string("out-") + name), "--program", "0"}).status,
                  0);
    Audio monoOut = readAudio(file("out-mono.wav")), stereoOut = readAudio(file("out-stereo.wav"));
    ASSERT_EQ(monoOut.frames(), stereoOut.frames());
    for (int64_t i = 0; i < monoOut.frames(); ++i)
        ASSERT_NEAR(monoOut.at(i, 0), 0.5f * (stereoOut.at(i, 0) + stereoOut.at(i, 1)), 1e-6f) << i;
}

TEST_F(RenderCli, BlockSizeDoesNotChangeTheResult) {
    writeAudio(file("in.wav"), tones(30000));
    ASSERT_EQ(runRender({file("in.wav"), "-o", file("small.wav"), "--block", "64"}).status, 0);
    ASSERT_EQ(runRender({file("in.wav"), "-o", file("large.wav"), "--block", "4096"}).status, 0);
    Audio small = readAudio(file("small.wav")), large = readAudio(file("large.wav"));
    ASSERT_EQ(small.samples.size(), large.samples.size());
    for (size_t i = 0; i < small.samples.size(); ++i)
        ASSERT_NEAR(small.samples[i], large.samples[i], 1e-5f) << i;
}

// The output keeps the input's container, sample format and rate unless told otherwise.
struct FormatCase {
    const char* name;
    int inputFormat;
    const char* outputName;
    std::vector<std::string> extra;
    int expectedFormat;
};

class RenderFormats : public testing::TestWithParam<FormatCase> {};

TEST_P(RenderFormats, WritesTheExpectedFormat) {
    TemporaryFolder tmp;
    const FormatCase c = GetParam();
    Audio input = tones(12345, 48000, 2, c.inputFormat);
    const int container = c.inputFormat & SF_FORMAT_TYPEMASK;
    const char* extension = container == SF_FORMAT_WAV    ? "wav"
                            : container == SF_FORMAT_AIFF ? "aiff"
                            : container == SF_FORMAT_FLAC ? "flac"
                                                          : "ogg";
    const std::string in = tmp.file(std::string("in.") + extension);
    writeAudio(in, input);
    std::vector<std::string> args = {in, "-o", tmp.file(c.outputName), "--set", "Bypass=1"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    ToolRun run = runRender(args);
    ASSERT_EQ(run.status, 0) << run.err;
    Audio out = readAudio(tmp.file(c.outputName));
    EXPECT_EQ(out.format, c.expectedFormat);
    EXPECT_EQ(out.rate, 48000);
    EXPECT_EQ(out.frames(), 12345);
    // Bypassed, so only the formats' own quantisation separates input and output.
    Audio reread = readAudio(in);
    const bool lossy = (c.expectedFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS ||
                       (c.inputFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS;
    const float tolerance = lossy                                                        ? 0.05f
                            : (c.expectedFormat & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ? 1e-4f
                                                                                         : 1e-6f;
    for (size_t i = 1000; i < out.samples.size() && i < reread.samples.size(); i += 97)
        ASSERT_NEAR(out.samples[i], reread.samples[i], tolerance) << i;
}

INSTANTIATE_TEST_SUITE_P(
    All, RenderFormats,
    testing::Values(
        FormatCase{
            "Wav16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, "out.wav", {}, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        FormatCase{
            "Wav24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, "out.wav", {}, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        FormatCase{
            "WavFloat", SF_FORMAT_WAV | SF_FORMAT_FLOAT, "out.wav", {}, SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        FormatCase{
            "Aiff16", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, "out.aiff", {}, SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        FormatCase{
            "Flac16", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "out.flac", {}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        FormatCase{
            "Flac24", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, "out.flac", {}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        FormatCase{"Ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, "out.ogg", {}, SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        FormatCase{"NoExtensionKeepsInput",
                   SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                   "out",
                   {},
                   SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        FormatCase{"FloatOption",
                   SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                   "out.wav",
                   {"--float"},
                   SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        FormatCase{"Bits16",
                   SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                   "out.wav",
                   {"--bits", "16"},
                   SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        FormatCase{"Bits24Aiff",
                   SF_FORMAT_AIFF | SF_FORMAT_PCM_16,
                   "out.aiff",
                   {"--bits", "24"},
                   SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
        FormatCase{
            "WavToFlac", SF_FORMAT_WAV | SF_FORMAT_PCM_24, "out.flac", {}, SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        FormatCase{"FloatToFlac",
                   SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                   "out.flac",
                   {},
                   SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        FormatCase{
            "OggToWav", SF_FORMAT_OGG | SF_FORMAT_VORBIS, "out.wav", {}, SF_FORMAT_WAV | SF_FORMAT_PCM_24}),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

TEST_F(RenderCli, ProgramIsFoundByNumberExactNameOrUniquePrefix) {
    const std::pair<const char*, const char*> cases[] = {
        {"34", "Program 34: Tone warmer"},
        {"Tone warm", "Program 32: Tone warm"},
        {"tone WARM", "Program 32: Tone warm"},
        {"tone warme", "Program 34: Tone warmer"},
        {"lowfi over", "Program 72: LowFi overprocessing"},
        {"mono s", "Program 49: Mono subwoofer"},
    };
    for (const auto& [wanted, expected] : cases) {
        ToolRun run = runRender({"--list-params", "--program", wanted});
        ASSERT_EQ(run.status, 0) << wanted << ": " << run.err;
        EXPECT_EQ(firstLine(run.out), expected) << wanted;
    }
    ToolRun unknown = runRender({"--list-params", "--program", "surround x"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("(see --list-programs)"), std::string::npos) << unknown.err;
    ToolRun partial = runRender({"--list-params", "--program", "punch"});
    EXPECT_NE(partial.err.find("29 \"Analog punch medium\""), std::string::npos) << partial.err;
}

TEST_F(RenderCli, ListsShowWhatAHostSees) {
    ToolRun programs = runRender({"--list-programs"});
    ASSERT_EQ(programs.status, 0);
    EXPECT_EQ(lineCount(programs.out), 128);
    EXPECT_NE(programs.out.find(" 72   LowFi overprocessing\n"), std::string::npos);
    EXPECT_NE(programs.out.find("  0 * Enhance general medium\n"), std::string::npos);

    ToolRun params = runRender({"--list-params", "--set", "Volume=65%", "--set", "24=1"});
    ASSERT_EQ(params.status, 0) << params.err;
    EXPECT_EQ(lineCount(params.out), 36);
    EXPECT_NE(params.out.find("  0  Volume             65.0 %"), std::string::npos) << params.out;
    EXPECT_NE(params.out.find(" 24  Mono               100.0 %"), std::string::npos) << params.out;
}

// Settings saved in program and bank files by the engine itself give the same effect as --set.
class RenderPresetFiles : public RenderCli {
  protected:
    static VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
        return opcode == audioMasterVersion ? kVstVersion : 0;
    }
    const std::vector<std::pair<int, float>> values = {
        {kTone, 0.8f}, {kClearness, 0.4f}, {kVolume, 0.45f}, {kLazerPunch, 0.3f}, {kEqHigh, 0.7f}};
    std::vector<std::string> setArguments() const {
        std::vector<std::string> args = {"--program", "73"};
        for (const auto& [index, value] : values) {
            args.push_back("--set");
            args.push_back(std::to_string(index) + "=" + std::to_string(value));
        }
        return args;
    }
    void saveFiles() {
        PxAudio effect(host);
        effect.setProgram(73);
        for (const auto& [index, value] : values)
            effect.setParameter(index, value);
        std::vector<unsigned char> image(kBankImageSize);
        size_t size = 0;
        fxpSaveBytesToBuf(effect, image.data(), &size);
        ASSERT_TRUE(writeFileAtomically(file("settings.fxp"), image.data(), size));
        // The bank holds the same settings as its program 5.
        std::memcpy(effect.program(5).values, effect.program(73).values, sizeof(effect.program(5).values));
        fxbSaveBytesToBuf(effect, image.data(), &size);
        ASSERT_TRUE(writeFileAtomically(file("settings.fxb"), image.data(), size));
    }
};

TEST_F(RenderPresetFiles, ProgramAndBankFilesAgreeWithSet) {
    saveFiles();
    writeAudio(file("in.wav"), tones(20000));
    std::vector<std::string> bySet = setArguments();
    const std::vector<std::vector<std::string>> variants = {
        bySet, {"--fxp", file("settings.fxp")}, {"--fxb", file("settings.fxb"), "--program", "5"}};
    std::vector<std::string> listings;
    std::vector<Audio> outputs;
    for (size_t v = 0; v < variants.size(); ++v) {
        std::vector<std::string> list = {"--list-params"};
        list.insert(list.end(), variants[v].begin(), variants[v].end());
        ToolRun listed = runRender(list);
        ASSERT_EQ(listed.status, 0) << listed.err;
        listings.push_back(listed.out.substr(listed.out.find('\n'))); // without the program name line
        const std::string out = file("out" + std::to_string(v) + ".wav");
        std::vector<std::string> render = {file("in.wav"), "-o", out};
        render.insert(render.end(), variants[v].begin(), variants[v].end());
        ToolRun rendered = runRender(render);
        ASSERT_EQ(rendered.status, 0) << rendered.err;
        outputs.push_back(readAudio(out));
    }
    for (size_t v = 1; v < variants.size(); ++v) {
        EXPECT_EQ(listings[v], listings[0]) << v;
        EXPECT_EQ(outputs[v].samples, outputs[0].samples) << v;
    }
    EXPECT_NE(listings[0].find("Tone               80.0 %"), std::string::npos) << listings[0];
}

TEST_F(RenderPresetFiles, SetOverridesAProgramFile) {
    saveFiles();
    ToolRun run = runRender({"--list-params", "--fxp", file("settings.fxp"), "--set", "Tone=0.25"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Tone               25.0 %"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Clearness          40.0 %"), std::string::npos) << run.out;
}

TEST_F(RenderCli, BatchInParallelMatchesSingleRuns) {
    writeAudio(file("a.wav"), tones(30000, 44100));
    writeAudio(file("b.flac"), tones(20000, 48000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    writeAudio(file("c.aiff"), tones(25000, 96000, 2, SF_FORMAT_AIFF | SF_FORMAT_PCM_24));
    const std::string folder = file("batch");
    ToolRun batch =
        runRender({file("a.wav"), file("b.flac"), file("c.aiff"), "-o", folder, "-j", "2", "--program", "0"});
    ASSERT_EQ(batch.status, 0) << batch.err;
    EXPECT_EQ(folderEntries(folder), (std::vector<std::string>{"a.wav", "b.flac", "c.aiff"}));
    for (const char* name : {"a.wav", "b.flac", "c.aiff"}) {
        EXPECT_NE(batch.out.find(file(name) + " -> " + folder + "/" + name), std::string::npos) << batch.out;
        ASSERT_EQ(runRender({file(name), "-o", file(std::string("single-") + name), "--program", "0"}).status,
                  0);
        EXPECT_EQ(readAudio(folder + "/" + name).samples,
                  readAudio(file(std::string("single-") + name)).samples)
            << name;
    }
    size_t summaries = 0;
    for (size_t at = batch.out.find("  speed "); at != std::string::npos;
         at = batch.out.find("  speed ", at + 1))
        ++summaries;
    EXPECT_EQ(summaries, 3u);
    EXPECT_EQ(batch.err, ""); // not a terminal: no progress bar

    // A second run refuses as a whole when any output exists, then --overwrite replaces them all.
    ToolRun again = runRender({file("a.wav"), file("b.flac"), "-o", folder, "-j", "2"});
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("a.wav: already exists"), std::string::npos) << again.err;
    ToolRun replaced = runRender(
        {file("a.wav"), file("b.flac"), "-o", folder, "-j", "2", "--overwrite", "--set", "Bypass=1"});
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(readAudio(folder + "/a.wav").samples, readAudio(file("a.wav")).samples);
}

TEST_F(RenderCli, OutputFolderIsCreatedForOneInputToo) {
    writeAudio(file("in.wav"), tones(1000));
    ToolRun run = runRender({file("in.wav"), "-o" + file("made") + "/", "-j1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readAudio(file("made/in.wav")).frames(), 1000);
}

TEST_F(RenderCli, UnsupportedRateIsNotedOnceAndQuietSaysNothing) {
    writeAudio(file("a.wav"), tones(5000, 32000));
    writeAudio(file("b.wav"), tones(5000, 32000));
    ToolRun run = runRender({file("a.wav"), file("b.wav"), "-o", file("out")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(lineCount(run.err), 1) << run.err;
    EXPECT_NE(run.err.find("at 32000 Hz only the time-domain stages run"), std::string::npos) << run.err;

    ToolRun quiet = runRender({file("a.wav"), "-o", file("quiet.wav"), "--quiet"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "");
}

TEST_F(RenderCli, SummaryMeasuresLoudnessAndFlagsPeaksAboveZero) {
    Audio hot = tones(44100 * 2);
    for (float& sample : hot.samples)
        sample *= 4.0f; // float samples beyond full scale
    writeAudio(file("hot.wav"), hot);
    ToolRun run = runRender({file("hot.wav"), "-o", file("out.wav"), "--set", "Bypass=1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("LUFS"), std::string::npos);
    EXPECT_NE(run.out.find("above 0 dBTP"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("x real time"), std::string::npos);

    writeAudio(file("calm.wav"), tones(44100 * 2));
    ToolRun calm = runRender({file("calm.wav"), "-o", file("calm-out.wav"), "--set", "Bypass=1"});
    EXPECT_EQ(calm.out.find("above 0 dBTP"), std::string::npos) << calm.out;
    // Bypassed, the loudness before and after must agree.
    size_t at = calm.out.find("loudness");
    double before = std::atof(calm.out.c_str() + at + 8);
    double after = std::atof(calm.out.c_str() + calm.out.find("->", at) + 2);
    EXPECT_LT(before, -5.0);
    EXPECT_NEAR(before, after, 0.05);
}

TEST_F(RenderCli, FailedWriteLeavesNoFileBehind) {
    writeAudio(file("long.wav"), tones(44100 * 4));
    // A file-size limit of 64 KiB makes the output's writes fail part way through.
    ToolRun run = runRender({file("long.wav"), "-o", file("out.wav")}, "ulimit -f 64");
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(lineCount(run.err), 1) << run.err;
    EXPECT_NE(run.err.find("out.wav: write failed"), std::string::npos) << run.err;
    EXPECT_EQ(folderEntries(tmp.path()), std::vector<std::string>{"long.wav"});
}

TEST_F(RenderCli, InterruptLeavesEitherTheWholeFileOrNothing) {
    writeAudio(file("long.wav"), tones(44100 * 60));
    ToolRun run = runRender({file("long.wav"), "-o", file("out.wav"), "--block", "16"}, "", 300);
    auto entries = folderEntries(tmp.path());
    if (run.status == 130) {
        EXPECT_EQ(entries, std::vector<std::string>{"long.wav"});
        EXPECT_NE(run.err.find("interrupted"), std::string::npos);
    } else {
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(entries, (std::vector<std::string>{"long.wav", "out.wav"}));
        EXPECT_EQ(readAudio(file("out.wav")).frames(), 44100 * 60);
    }
}

TEST_F(RenderCli, DemoClipIsTenSecondsOfStereoMusic) {
    ToolRun run = runRender({"--make-demo", file("demo.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(runRender({"--make-demo", file("again.wav")}).status, 0);
    Audio demo = readAudio(file("demo.wav"));
    EXPECT_EQ(demo.channels, 2);
    EXPECT_EQ(demo.rate, 44100);
    EXPECT_NEAR(static_cast<double>(demo.frames()) / demo.rate, 10.0, 0.5);
    EXPECT_EQ(demo.samples, readAudio(file("again.wav")).samples);
    float peak = 0.0f;
    double energy = 0.0, sideEnergy = 0.0;
    for (int64_t i = 0; i < demo.frames(); ++i) {
        peak = std::max({peak, std::fabs(demo.at(i, 0)), std::fabs(demo.at(i, 1))});
        energy += demo.at(i, 0) * demo.at(i, 0);
        float side = demo.at(i, 0) - demo.at(i, 1);
        sideEnergy += side * side;
    }
    EXPECT_LT(peak, 1.0f);
    EXPECT_GT(peak, 0.5f);
    EXPECT_GT(sideEnergy, 0.0); // chords spread across the stereo field
    // Something sounds in every second.
    for (int second = 0; second < 10; ++second) {
        double sum = 0.0;
        for (int64_t i = second * 44100; i < (second + 1) * 44100; ++i)
            sum += std::fabs(demo.at(i, 0));
        EXPECT_GT(sum / 44100, 0.01) << second;
    }
    ToolRun refused = runRender({"--make-demo", file("demo.wav")});
    EXPECT_EQ(refused.status, 2);
}

} // namespace
