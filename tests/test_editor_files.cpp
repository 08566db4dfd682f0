// The file menu's preset commands with a fake zenity: dialogs, endings, names, messages and failures.
#include "editor/px_editor.h"
#include "engine/px_audio.h"
#include "presets/preset_images.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

namespace {

using Args = std::vector<std::string>;

VstIntPtr VSTCALLBACK silentHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

// Everything a command may change: the programs, their names, the current program and the live values.
struct EffectState {
    std::vector<float> values;
    std::vector<std::string> names;
    int current;
    bool operator==(const EffectState& other) const {
        return values == other.values && names == other.names && current == other.current;
    }
};

bool hasArgument(const Args& run, const std::string& argument) {
    return std::find(run.begin(), run.end(), argument) != run.end();
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct PresetCommands : ::testing::Test {
    void SetUp() override {
        effect = std::make_unique<PxAudio>(&silentHost);
        editor = dynamic_cast<PxEditor*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->open(nullptr));
        effect->setProgram(3);
        editor->idle();
    }
    void TearDown() override { effect.reset(); }

    EffectState state() {
        EffectState s;
        for (int p = 0; p < kNumPrograms; ++p) {
            s.names.push_back(effect->program(p).name);
            s.values.insert(s.values.end(), effect->program(p).values,
                            effect->program(p).values + kNumParams);
        }
        for (int i = 0; i < kNumParams; ++i)
            s.values.push_back(effect->getParameter(i));
        s.current = effect->getProgram();
        return s;
    }
    std::vector<unsigned char> programImage() {
        std::vector<unsigned char> image(kProgramImageSize);
        size_t size = 0;
        editor->fxpSaveBytesToBuf(image.data(), &size);
        image.resize(size);
        return image;
    }

    TemporaryFolder folder;
    std::unique_ptr<PxAudio> effect;
    PxEditor* editor = nullptr;
};

TEST_F(PresetCommands, SavesAddTheEndingOnlyWhenTheLastThreeCharactersLackIt) {
    struct Case {
        bool bank;
        std::string chosen, written;
        uintmax_t size;
    };
    for (const Case& c :
         {Case{false, "bright", "bright.fxp", 196}, Case{false, "bright.fxp", "bright.fxp", 196},
          Case{false, "toolfxp", "toolfxp", 196}, Case{true, "mix", "mix.fxb", 25244}}) {
        FakeDialogProgram zenity("zenity", 0, folder.file(c.chosen) + "\n");
        EXPECT_TRUE(c.bank ? editor->fxbSave() : editor->fxpSave()) << c.chosen;
        EXPECT_EQ(std::filesystem::file_size(folder.file(c.written)), c.size) << c.chosen;
        ASSERT_EQ(zenity.runs().size(), 1u);
        const Args run = zenity.runs()[0];
        EXPECT_TRUE(hasArgument(run, "--file-selection"));
        EXPECT_TRUE(hasArgument(run, "--save"));
        EXPECT_TRUE(hasArgument(run, c.bank ? "--title=Save a fxb bank" : "--title=Save a fxp program"));
        EXPECT_TRUE(hasArgument(run, c.bank ? "--file-filter=Program bank | *.fxb"
                                            : "--file-filter=Program file | *.fxp"));
    }
    EXPECT_EQ(filesIn(folder.path()), (std::vector<std::string>{"bright.fxp", "mix.fxb", "toolfxp"}));
    // The program file is the current program's image.
    std::vector<unsigned char> bytes;
    std::ifstream in(folder.file("bright.fxp"), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(bytes, programImage());
}

TEST_F(PresetCommands, LoadingAProgramNamesItAfterTheFileAndRefreshesItsListEntry) {
    const EffectState before = state();
    effect->setParameter(kVolume, 0.875f);
    effect->setParameter(kTone, 0.125f);
    char inside[] = "Name inside the file";
    effect->setProgramName(inside);
    writeBytes(folder.file("Warm Master.fxp"), programImage());
    effect->setProgram(4);
    effect->setProgram(3);
    effect->program(3) = PxProgram();
    effect->setProgram(3);
    editor->idle();

    FakeDialogProgram zenity("zenity", 0, folder.file("Warm Master.fxp") + "\n");
    editor->fileMenu->choose(kLoadPreset);
    EXPECT_STREQ(effect->program(3).name, "Warm Master");
    EXPECT_EQ(effect->getParameter(kVolume), 0.875f);
    EXPECT_EQ(effect->getParameter(kTone), 0.125f);
    EXPECT_EQ(effect->program(3).values[kVolume], 0.875f);
    EXPECT_EQ(effect->getProgram(), 3);
    EXPECT_STREQ(editor->programList->getEntry(3)->getTitle(), "Warm Master");
    EXPECT_EQ(editor->programList->getNbEntries(), kNumPrograms);
    EXPECT_EQ(editor->parameterControls[kVolume]->getValue(), 0.875f);
    const Args run = zenity.runs().at(0);
    EXPECT_FALSE(hasArgument(run, "--save"));
    EXPECT_TRUE(hasArgument(run, "--title=Load a fxp program (.fxp file)"));
    EXPECT_TRUE(hasArgument(run, "--file-filter=Program file (.fxp file) | *.fxp"));
    EXPECT_EQ(state().names[5], before.names[5]);
}

TEST_F(PresetCommands, WrongEndingsAreRefusedWithTheirMessages) {
    const EffectState before = state();
    writeBytes(folder.file("LOUD.FXP"), programImage());
    struct Case {
        bool bank;
        std::string chosen, message;
    };
    for (const Case& c : {Case{false, "LOUD.FXP", "This file can not be loaded! Please select a fxp file!"},
                          Case{true, "bank.fxp", "This file can not be loaded! Please select a fxb file!"}}) {
        FakeDialogProgram zenity("zenity", 0, folder.file(c.chosen) + "\n");
        EXPECT_FALSE(c.bank ? editor->fxbLoad() : editor->fxpLoad());
        ASSERT_EQ(zenity.runs().size(), 2u);
        const Args box = zenity.runs()[1];
        EXPECT_TRUE(hasArgument(box, "--title=Invalid file selected"));
        EXPECT_TRUE(hasArgument(box, "--text=" + c.message));
    }
    EXPECT_EQ(state(), before);
}

TEST_F(PresetCommands, LoadingABankMakesProgramZeroCurrent) {
    effect->program(0).values[kVolume] = 0.3125f;
    std::strcpy(effect->program(2).name, "Second in bank");
    std::vector<unsigned char> bank(kBankImageSize);
    size_t size = 0;
    editor->fxbSaveBytesToBuf(bank.data(), &size);
    writeBytes(folder.file("set.fxb"), bank);
    effect->program(0).values[kVolume] = 0.5f;
    std::strcpy(effect->program(2).name, "Other");
    effect->setProgram(7);

    FakeDialogProgram zenity("zenity", 0, folder.file("set.fxb") + "\n");
    editor->fileMenu->choose(kLoadBank);
    EXPECT_EQ(effect->getProgram(), 0);
    EXPECT_EQ(effect->getParameter(kVolume), 0.3125f);
    EXPECT_STREQ(effect->program(2).name, "Second in bank");
    EXPECT_TRUE(hasArgument(zenity.runs().at(0), "--title=Load a fxb bank (.fxb file)"));
    editor->idle();
    EXPECT_TRUE(editor->programList->isCheckEntry(0));
    EXPECT_STREQ(editor->programList->getEntry(2)->getTitle(), "Second in bank");
}

TEST_F(PresetCommands, CancelAndUnreadableOrUnwritablePathsChangeNothing) {
    std::filesystem::create_directory(folder.file("taken.fxp"));
    std::filesystem::create_directory(folder.file("taken.fxb"));
    const EffectState before = state();
    {
        FakeDialogProgram zenity("zenity", 1);
        EXPECT_FALSE(editor->fxpLoad());
        EXPECT_FALSE(editor->fxbLoad());
        EXPECT_FALSE(editor->fxpSave());
        EXPECT_FALSE(editor->fxbSave());
        EXPECT_EQ(zenity.runs().size(), 4u);
    }
    for (const std::string& chosen : {folder.file("missing.fxp"), folder.file("taken.fxp")}) {
        FakeDialogProgram zenity("zenity", 0, chosen + "\n");
        EXPECT_FALSE(editor->fxpLoad()) << chosen;
    }
    for (const std::string& chosen : {folder.file("missing.fxb"), folder.file("taken.fxb")}) {
        FakeDialogProgram zenity("zenity", 0, chosen + "\n");
        EXPECT_FALSE(editor->fxbLoad()) << chosen;
    }
    {
        FakeDialogProgram zenity("zenity", 0, folder.file("taken.fxb") + "\n");
        EXPECT_FALSE(editor->fxbSave());
    }
    {
        FakeDialogProgram zenity("zenity", 0, "/no/such/folder/preset.fxp\n");
        EXPECT_FALSE(editor->fxpSave());
    }
    EXPECT_EQ(state(), before);
    EXPECT_EQ(filesIn(folder.path()), (std::vector<std::string>{"taken.fxb", "taken.fxp"}));
}

TEST_F(PresetCommands, ARefusedProgramImageStillNamesTheProgram) {
    std::vector<unsigned char> image = programImage();
    std::memcpy(image.data() + 16, "XXXX", 4); // another effect's ID
    writeBytes(folder.file("Foreign.fxp"), image);
    effect->setParameter(kVolume, 0.25f);
    FakeDialogProgram zenity("zenity", 0, folder.file("Foreign.fxp") + "\n");
    EXPECT_TRUE(editor->fxpLoad());
    EXPECT_STREQ(effect->program(3).name, "Foreign");
    EXPECT_EQ(effect->getParameter(kVolume), 0.25f);
}

TEST_F(PresetCommands, ASaveThatCannotFinishLeavesTheOldFileWhole) {
    const std::vector<unsigned char> old(1000, 0x5a);
    writeBytes(folder.file("keep.fxb"), old);
    FakeDialogProgram zenity("zenity", 0, folder.file("keep.fxb") + "\n");
    // The file system refuses everything past 10000 bytes: the bank (25244 bytes) cannot be written.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 10000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool saved_ok = editor->fxbSave();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(saved_ok);
    std::ifstream in(folder.file("keep.fxb"), std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes, old);
    EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"keep.fxb"});
}

} // namespace
