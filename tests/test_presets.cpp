// Program and bank files: the exact images, round trips through files with the real commands, damaged
// images, and the command behaviours that protect the user's data.
#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include "engine/px_audio.h"
#include "presets/preset_commands.h"
#include "presets/preset_images.h"
#include "test_helpers.h"

namespace {

using Image = std::vector<unsigned char>;
using Command = bool (*)(PxAudio&, CFrame*);

int updateDisplays = 0;
VstIntPtr countingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterUpdateDisplay) ++updateDisplays;
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

void setBe32(Image& image, size_t at, uint32_t value) {
    for (int b = 0; b < 4; ++b)
        image[at + b] = static_cast<unsigned char>(value >> (24 - 8 * b));
}
uint32_t bitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}
// Distinct values, each with four different bytes, so that a swapped or repeated byte shows.
float marker(int program, int i) {
    return 0.2f + 0.0013f * program + 0.0171f * i;
}
size_t recordAt(int program) {
    return kBankHeaderSize + kProgramImageSize * program;
}

// Images written here from the published layout: a program image, or a bank of the effect's programs.
void putHead(Image& image, size_t at, uint32_t byteSize, const char* format, uint32_t count) {
    std::memcpy(&image[at], "CcnK", 4);
    setBe32(image, at + 4, byteSize);
    std::memcpy(&image[at + 8], format, 4);
    setBe32(image, at + 12, 1);
    std::memcpy(&image[at + 16], "QV4M", 4);
    setBe32(image, at + 20, 1);
    setBe32(image, at + 24, count);
}
void putRecord(Image& image, size_t at, const PxProgram& program) {
    putHead(image, at, 188, "FxCk", 35);
    std::memcpy(&image[at + 28], program.name, strnlen(program.name, 26)); // the last two bytes stay 0
    for (int i = 0; i < kNumParams; ++i)
        setBe32(image, at + 56 + 4 * i, bitsOf(program.values[i]));
}
Image programImage(const PxProgram& program) {
    Image image(kProgramImageSize);
    putRecord(image, 0, program);
    return image;
}
Image bankImage(PxAudio& effect) {
    Image image(kBankImageSize);
    putHead(image, 0, 25236, "FxBk", 128);
    for (int p = 0; p < kNumPrograms; ++p)
        putRecord(image, recordAt(p), effect.program(p));
    return image;
}
// Where two images first differ; -1 when they are the same.
long firstDifference(const Image& a, const Image& b) {
    const auto [x, y] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return x == a.end() && y == b.end() ? -1 : x - a.begin();
}

// The image a writer makes, checked to be exactly `size` bytes with nothing written past them.
Image saved(void (*write)(PxAudio&, unsigned char*, size_t*), PxAudio& effect, size_t size) {
    Image image(65536, 0xEE);
    size_t written = 0;
    write(effect, image.data(), &written);
    EXPECT_EQ(written, size);
    EXPECT_EQ(image[size], 0xEE);
    image.resize(size);
    return image;
}
// Everything a load may change: every program, the current program, its live values and its full name.
std::string state(PxAudio& effect) {
    const Image bank = saved(fxbSaveBytesToBuf, effect, kBankImageSize);
    const Image program = saved(fxpSaveBytesToBuf, effect, kProgramImageSize);
    return std::string(bank.begin(), bank.end()) + std::string(program.begin(), program.end()) +
           std::to_string(effect.getProgram()) + effect.program(effect.getProgram()).name;
}

struct PresetFiles : testing::Test {
    void SetUp() override { updateDisplays = 0; }
    // Runs a command with zenity answering `chosen` and the exit status.
    bool run(Command command, const std::string& chosen, int status = 0) {
        FakeDialogProgram zenity("zenity", status, chosen + "\n");
        const bool done = command(effect, nullptr);
        dialogs = zenity.runs();
        return done;
    }
    long files() const { return std::distance(std::filesystem::directory_iterator(folder.path()), {}); }
    void write(const std::string& name, const Image& image) {
        std::ofstream(folder.file(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }
    TemporaryFolder folder;
    PxAudio effect{countingHost};
    std::vector<std::vector<std::string>> dialogs;
};

} // namespace

TEST_F(PresetFiles, ImagesHaveTheExactLayout) {
    effect.setProgram(8);
    char longName[] = "abcdefghijklmnopqrstuvwxyzA"; // 27 characters: the file keeps 26
    effect.setProgramName(longName);
    for (int i = 0; i < kNumParams; ++i)
        effect.setParameter(i, marker(8, i));
    effect.program(77).values[4] = 0.3f; // a program that is not current: written from its record
    EXPECT_EQ(firstDifference(saved(fxpSaveBytesToBuf, effect, 196), programImage(effect.program(8))), -1);
    EXPECT_EQ(firstDifference(saved(fxbSaveBytesToBuf, effect, 25244), bankImage(effect)), -1);
}

TEST_F(PresetFiles, RoundTripsThroughFilesWithTheRealCommands) {
    effect.setProgram(5);
    for (int i = 0; i < kNumParams; ++i)
        effect.setParameter(i, marker(5, i));
    const std::string original = state(effect);
    // A save adds the ending unless the last three characters are it: chosen name, file written, size.
    const struct {
        Command command;
        const char *chosen, *written;
        uintmax_t size;
    } saves[] = {{saveProgramFile, "bright", "bright.fxp", 196},
                 {saveProgramFile, "bright.fxp", "bright.fxp", 196},
                 {saveProgramFile, "toolfxp", "toolfxp", 196},
                 {saveBankFile, "mix", "mix.fxb", 25244}};
    for (const auto& s : saves) {
        EXPECT_TRUE(run(s.command, folder.file(s.chosen))) << s.chosen;
        EXPECT_EQ(std::filesystem::file_size(folder.file(s.written)), s.size) << s.chosen;
    }
    EXPECT_EQ(files(), 3);

    // Another program current: the files bring the saved values back.
    effect.setProgram(9);
    ASSERT_TRUE(run(loadProgramFile, folder.file("bright.fxp")));
    EXPECT_EQ(effect.getProgram(), 9);
    EXPECT_STREQ(effect.program(9).name, "bright"); // named after the file, not the name inside
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(effect.program(9).values[i], marker(5, i)) << i;
    EXPECT_EQ(updateDisplays, 1);

    ASSERT_TRUE(run(loadBankFile, folder.file("mix.fxb")));
    EXPECT_EQ(effect.getProgram(), 0);
    effect.setProgram(5);
    EXPECT_TRUE(state(effect) == original);
    EXPECT_EQ(updateDisplays, 2);

    write(".fxp", saved(fxpSaveBytesToBuf, effect, 196)); // a file name of four characters names nothing
    ASSERT_TRUE(run(loadProgramFile, folder.file(".fxp")));
    EXPECT_STREQ(effect.program(5).name, "");
}

namespace {

// A damaged image of a program ('p'), a bank ('b') or a session state ('s', whole or not at all): what is
// done to a good one, and how many values are read, in the order they are stored (35 to a bank record; a
// record's name is read with its first value); -1 when it is refused.
struct Damage {
    char kind;
    const char* what;
    void (*damage)(Image&);
    int read;
};
const Damage kDamage[] = {
    {'p', "intact", [](Image&) {}, 35},
    {'p', "40 values", [](Image& m) { m.resize(56 + 160, 0x3F), setBe32(m, 24, 40); }, 35},
    {'p', "a count of 10", [](Image& m) { setBe32(m, 24, 10); }, 10},
    {'p', "a count of 0", [](Image& m) { setBe32(m, 24, 0); }, 0},
    {'p', "a negative count", [](Image& m) { setBe32(m, 24, uint32_t(-1)); }, 0},
    {'p', "the most negative count", [](Image& m) { setBe32(m, 24, 0x80000000u); }, 0},
    {'p', "cut inside the eighth value", [](Image& m) { m.resize(56 + 4 * 7 + 3); }, 7},
    {'p', "the header alone", [](Image& m) { m.resize(56); }, 0},
    {'p', "one byte short of a header", [](Image& m) { m.resize(55); }, -1},
    {'p', "empty", [](Image& m) { m.clear(); }, -1},
    {'p', "another effect's ID", [](Image& m) { std::memcpy(&m[16], "ABCD", 4); }, -1},
    {'p', "a wrong chunk magic", [](Image& m) { m[0] = 'X'; }, -1},
    {'p', "the bank format magic", [](Image& m) { std::memcpy(&m[8], "FxBk", 4); }, 35},
    {'p', "an unterminated name", [](Image& m) { std::memset(&m[28], 'N', 28); }, 35},
    {'b', "intact", [](Image&) {}, 128 * 35},
    {'b', "a count of 2 in the two low bytes", [](Image& m) { m[24] = 0x7F, m[26] = 0, m[27] = 2; }, 70},
    {'b', "a count of 65535", [](Image& m) { m[26] = m[27] = 0xFF; }, 128 * 35},
    {'b', "another effect's ID", [](Image& m) { std::memcpy(&m[16], "NoEf", 4); }, -1},
    {'b', "a wrong chunk magic", [](Image& m) { m[3] = 'k'; }, -1},
    {'b', "one byte short of a header", [](Image& m) { m.resize(155); }, -1},
    {'b', "the header alone", [](Image& m) { m.resize(156); }, 0},
    {'b', "cut inside a record's head", [](Image& m) { m.resize(recordAt(3) + 55); }, 105},
    {'b', "cut inside a record's values", [](Image& m) { m.resize(recordAt(3) + 101); }, 116},
    {'b', "cut one byte short", [](Image& m) { m.pop_back(); }, 128 * 35 - 1},
    {'b', "a negative value count in record 3", [](Image& m) { setBe32(m, recordAt(3) + 24, uint32_t(-5)); },
     105},
    {'b', "record 0 claiming 2^31-1 values", [](Image& m) { setBe32(m, recordAt(0) + 24, 0x7FFFFFFF); }, 35},
    {'s', "intact", [](Image&) {}, 128 * 35},
    {'s', "cut one byte short", [](Image& m) { m.pop_back(); }, -1},
    {'s', "a foreign magic", [](Image& m) { m[0] = 'X'; }, -1},
    {'s', "a newer version", [](Image& m) { m[7] = 2; }, -1},
    {'s', "no such current program", [](Image& m) { m[11] = 128; }, -1},
    {'s', "another effect's bank", [](Image& m) { m[kStateHeaderSize + 16] = 'X'; }, -1},
    {'s', "a record short of values", [](Image& m) { setBe32(m, kStateHeaderSize + recordAt(3) + 24, 34); },
     -1},
};

// A session state: magic, version 1, program 7 current, then the bank.
Image stateImage(PxAudio& effect) {
    Image image = {'L', 'm', 'S', 't', 0, 0, 0, 1, 0, 0, 0, 7}, bank = bankImage(effect);
    image.insert(image.end(), bank.begin(), bank.end());
    return image;
}

// Loads through an exactly-sized heap copy, so that AddressSanitizer sees any read past the end.
bool load(PxAudio& effect, const Image& image, char kind) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[image.size()]);
    std::copy(image.begin(), image.end(), copy.get());
    const unsigned char* at = image.empty() ? nullptr : copy.get();
    if (kind == 's') return stateLoadBytesFromBuf(effect, at, image.size());
    return kind == 'b' ? fxbLoadBytesFromBuf(effect, at, image.size())
                       : fxpLoadBytesFromBuf(effect, at, image.size());
}

} // namespace

TEST(DamagedImages, AreReadAsFarAsTheyAreWholeAndNoFurther) {
    PxAudio source(nullptr);
    for (int p = 0; p < kNumPrograms; ++p) {
        std::snprintf(source.program(p).name, 26, "Marked %d", p);
        for (int i = 0; i < kNumParams; ++i)
            source.program(p).values[i] = marker(p, i);
    }
    for (const Damage& d : kDamage) {
        SCOPED_TRACE(std::string(1, d.kind) + ": " + d.what);
        const bool bank = d.kind != 'p';
        const size_t head = d.kind == 's' ? kStateHeaderSize : 0;
        Image image = d.kind == 's' ? stateImage(source)
                      : bank        ? bankImage(source)
                                    : programImage(source.program(0));
        d.damage(image);
        PxAudio effect(countingHost), expected(countingHost);
        effect.setProgram(40);
        expected.setProgram(40);
        // What the reader should make of it, built here by hand.
        for (int p = 0; p < (bank ? kNumPrograms : 1) && (bank ? p * kNumParams < d.read : d.read >= 0);
             ++p) {
            PxProgram& target = expected.program(bank ? p : 40);
            const char* name = reinterpret_cast<const char*>(&image[bank ? head + recordAt(p) + 28 : 28]);
            std::snprintf(target.name, 28, "%.*s", static_cast<int>(strnlen(name, 28)), name);
            for (int i = 0; i < kNumParams && p * kNumParams + i < d.read; ++i)
                target.values[i] = marker(p, i);
        }
        expected.setProgram(bank && d.read >= 0 ? (d.kind == 's' ? 7 : 0) : 40);
        updateDisplays = 0;
        EXPECT_EQ(load(effect, image, d.kind), d.read >= 0);
        EXPECT_EQ(updateDisplays, d.read >= 0 ? 1 : 0);
        EXPECT_TRUE(state(effect) == state(expected));
    }
}

TEST_F(PresetFiles, FailedCommandsChangeNothing) {
    std::filesystem::create_directory(folder.file("taken.fxp"));
    std::filesystem::create_directory(folder.file("taken.fxb"));
    write("LOUD.FXP", saved(fxpSaveBytesToBuf, effect, 196));
    effect.setProgram(3);
    const std::string before = state(effect);
    for (Command command : {loadProgramFile, loadBankFile, saveProgramFile, saveBankFile})
        EXPECT_FALSE(run(command, "", 1)); // cancelled
    const struct {
        Command command;
        const char* chosen;
    } failures[] = {{loadProgramFile, "missing.fxp"}, {loadProgramFile, "taken.fxp"},
                    {loadBankFile, "missing.fxb"},    {loadBankFile, "taken.fxb"},
                    {saveBankFile, "taken.fxb"},      {saveProgramFile, "no/such/folder/p.fxp"}};
    for (const auto& f : failures)
        EXPECT_FALSE(run(f.command, folder.file(f.chosen))) << f.chosen;
    // Wrong endings, compared case-sensitively, are refused with a message.
    for (Command command : {loadProgramFile, loadBankFile}) {
        const bool bank = command == loadBankFile;
        EXPECT_FALSE(run(command, folder.file(bank ? "bank.fxp" : "LOUD.FXP")));
        ASSERT_EQ(dialogs.size(), 2u);
        EXPECT_EQ(dialogs[1].at(1), "--title=Invalid file selected");
        EXPECT_EQ(dialogs[1].at(2), std::string("--text=This file can not be loaded! Please select a ") +
                                        (bank ? "fxb" : "fxp") + " file!");
    }
    EXPECT_TRUE(state(effect) == before);
    EXPECT_EQ(updateDisplays, 0);
    EXPECT_EQ(files(), 3);

    // A program file of another effect loads no values, but the program still takes the file's name.
    Image foreign = saved(fxpSaveBytesToBuf, effect, 196);
    std::memcpy(&foreign[16], "XXXX", 4);
    write("Foreign.fxp", foreign);
    effect.setParameter(kVolume, 0.25f);
    EXPECT_TRUE(run(loadProgramFile, folder.file("Foreign.fxp")));
    EXPECT_STREQ(effect.program(3).name, "Foreign");
    EXPECT_EQ(effect.getParameter(kVolume), 0.25f);
}

TEST_F(PresetFiles, ASaveCutOffByTheFileSizeLimitLeavesTheOldFileWhole) {
    write("keep.fxb", Image(1000, 0x5a));
    // The file system refuses everything past 10000 bytes: the bank (25244 bytes) cannot be written.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 10000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    EXPECT_FALSE(run(saveBankFile, folder.file("keep.fxb")));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(readWholeFile(folder.file("keep.fxb")), std::string(1000, 0x5a));
    EXPECT_EQ(files(), 1);
}
