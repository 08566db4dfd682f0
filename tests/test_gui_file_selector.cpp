// File dialogs through a fake dialog program on PATH, and the editor glue's calls into the effect.
#include "editor/aeffguieditor.h"
#include "gui/cfileselector.h"
#include "gui/vstkeys.h"
#include "host/audioeffectx.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

namespace {

struct SelectorCase {
    CNewFileSelector::Style style;
    std::vector<std::string> expected;
};

class FileSelectorWithZenity : public ::testing::TestWithParam<SelectorCase> {};

TEST_P(FileSelectorWithZenity, PassesStyleTitleAndFilterAndReturnsTheChosenPath) {
    FakeDialogProgram zenity("zenity", 0, "/home/user/presets/Warm Master.fxp\n");
    CNewFileSelector* selector = CNewFileSelector::create(nullptr, GetParam().style);
    ASSERT_NE(selector, nullptr);
    selector->addFileExtension(CFileExtension("Program file (.fxp file)", "fxp", "application/octet-stream"));
    selector->setDefaultExtension(CFileExtension("Program file (.fxp file)", "fxp"));
    selector->setTitle("Load a fxp program (.fxp file)");
    EXPECT_TRUE(selector->runModal());
    ASSERT_EQ(selector->getNumSelectedFiles(), 1);
    EXPECT_STREQ(selector->getSelectedFile(0), "/home/user/presets/Warm Master.fxp");
    EXPECT_EQ(selector->getSelectedFile(1), nullptr);
    selector->forget();
    ASSERT_EQ(zenity.runs().size(), 1u);
    EXPECT_EQ(zenity.runs()[0], GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, FileSelectorWithZenity,
    ::testing::Values(SelectorCase{CNewFileSelector::kSelectFile,
                                   {"--file-selection", "--title=Load a fxp program (.fxp file)",
                                    "--file-filter=Program file (.fxp file) | *.fxp"}},
                      SelectorCase{CNewFileSelector::kSelectSaveFile,
                                   {"--file-selection", "--save", "--title=Load a fxp program (.fxp file)",
                                    "--file-filter=Program file (.fxp file) | *.fxp"}}));

TEST(FileSelector, CancelOrNoDialogProgramSelectsNothing) {
    {
        FakeDialogProgram zenity("zenity", 1, "");
        CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectSaveFile);
        EXPECT_FALSE(selector->runModal());
        EXPECT_EQ(selector->getNumSelectedFiles(), 0);
        EXPECT_EQ(selector->getSelectedFile(0), nullptr);
        selector->forget();
        EXPECT_EQ(zenity.runs().size(), 1u);
    }
    {
        NoDialogPrograms none;
        CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectFile);
        EXPECT_FALSE(selector->runModal());
        EXPECT_EQ(selector->getSelectedFile(0), nullptr);
        selector->forget();
    }
}

TEST(FileSelector, FallsBackToKdialog) {
    FakeDialogProgram kdialog("kdialog", 0, "/tmp/mix.fxb\n");
    CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectSaveFile);
    selector->addFileExtension(CFileExtension("Program bank", "fxb", "application/octet-stream"));
    selector->setTitle("Save a fxb bank");
    ASSERT_TRUE(selector->runModal());
    EXPECT_STREQ(selector->getSelectedFile(0), "/tmp/mix.fxb");
    selector->forget();
    ASSERT_EQ(kdialog.runs().size(), 1u);
    EXPECT_EQ(kdialog.runs()[0], (std::vector<std::string>{"--title", "Save a fxb bank", "--getsavefilename",
                                                           ".", "*.fxb|Program bank"}));
}

// The host side of the glue's calls: every request the effect makes.
std::vector<std::pair<VstInt32, VstInt32>> hostRequests;
VstIntPtr VSTCALLBACK recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    hostRequests.emplace_back(opcode, index);
    return 1;
}

class TestEffect : public AudioEffectX {
  public:
    TestEffect() : AudioEffectX(recordingHost, 1, 35) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

TEST(EditorGlue, PassesBeginAndEndOfParameterGesturesOnlyToTheHost) {
    TestEffect effect;
    AEffGUIEditor* editor = new AEffGUIEditor(&effect);
    effect.setEditor(editor);
    hostRequests.clear();
    editor->beginEdit(5);
    editor->endEdit(5);
    editor->beginEdit(100);
    editor->endEdit(300);
    EXPECT_EQ(hostRequests, (std::vector<std::pair<VstInt32, VstInt32>>{{audioMasterBeginEdit, 5},
                                                                        {audioMasterEndEdit, 5}}));
    hostRequests.clear();
    editor->doIdleStuff();
    EXPECT_EQ(hostRequests, (std::vector<std::pair<VstInt32, VstInt32>>{{audioMasterIdle, 0}}));
    // Idle, keys and the rectangle work without any window.
    editor->idle();
    VstKeyCode key{0, VKEY_ESCAPE, 0};
    EXPECT_FALSE(editor->onKeyDown(key));
    ERect* rect = nullptr;
    EXPECT_TRUE(editor->getRect(&rect));
    ASSERT_NE(rect, nullptr);
    EXPECT_TRUE(editor->setKnobMode(kLinearMode));
    EXPECT_EQ(editor->getKnobMode(), kLinearMode);
}

} // namespace
