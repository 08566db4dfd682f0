// The editor inside the test program: its views after open, the parameter echo, the idle cycle (meter,
// analyser, program list), the control events and the log lines it writes.
#include "editor/px_editor.h"
#include "editor/tooltexts.h"
#include "editor/wavedisplay.h"
#include "engine/parameter_table.h"
#include "engine/px_audio.h"
#include "test_helpers.h"
#include "test_signals.h"
#include "x11_test_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <mutex>

namespace {

const auto* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);

std::mutex callsMutex;
std::vector<HostCall> hostCalls;

VstIntPtr VSTCALLBACK recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*,
                                    float opt) {
    std::lock_guard<std::mutex> lock(callsMutex);
    hostCalls.push_back(HostCall{opcode, index, value, opt});
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

size_t countCalls(VstInt32 opcode) {
    std::lock_guard<std::mutex> lock(callsMutex);
    size_t n = 0;
    for (const HostCall& call : hostCalls)
        n += call.opcode == opcode ? 1 : 0;
    return n;
}

struct EditorFixture : ::testing::Test {
    void SetUp() override {
        effect = std::make_unique<PxAudio>(&recordingHost);
        editor = dynamic_cast<PxEditor*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
        hostCalls.clear();
    }
    void TearDown() override { effect.reset(); }
    void openOffscreen() { ASSERT_TRUE(editor->open(nullptr)); }
    DisplayFeed& feed() { return const_cast<DisplayFeed&>(effect->displayFeed()); }
    CFrame* frame() { return editor->getFrame(); }

    std::unique_ptr<PxAudio> effect;
    PxEditor* editor = nullptr;
};

using EditorLayoutTest = EditorFixture;

TEST_F(EditorLayoutTest, RectangleIsTheBackgroundsSizeBeforeTheFirstOpen) {
    CBitmap background(128);
    ERect* rect = nullptr;
    ASSERT_TRUE(editor->getRect(&rect));
    EXPECT_EQ(rect->right, background.getWidth());
    EXPECT_EQ(rect->bottom, background.getHeight());
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_TRUE(effect->getAeffect()->flags & effFlagsHasEditor);
}

TEST_F(EditorLayoutTest, OpenBuildsEveryViewInOrderWithItsPlaceTagAndValue) {
    effect->setProgram(3);
    openOffscreen();
    CFrame* f = frame();
    ASSERT_EQ(f->getNbViews(), 38);
    EXPECT_EQ(f->getView(0), editor->programList);
    EXPECT_EQ(f->getView(1), editor->fileMenu);
    for (int k = 0; k < kNumKnobs; ++k)
        EXPECT_EQ(f->getView(2 + k), editor->knobs[k]);
    const std::vector<CView*> buttons = {editor->bypassButton,      editor->monoButton,
                                         editor->spectrumButton,    editor->scopeButton,
                                         editor->prevProgramButton, editor->nextProgramButton};
    for (size_t b = 0; b < buttons.size(); ++b)
        EXPECT_EQ(f->getView(25 + static_cast<long>(b)), buttons[b]);
    for (int i = 0; i < kNumLeds; ++i)
        EXPECT_EQ(f->getView(31 + i), editor->leds[i]);
    EXPECT_EQ(f->getView(36), editor->waveDisplay);
    EXPECT_EQ(f->getView(37), editor->aboutScreen);

    // Every view where the layout puts it; knobs and buttons one frame of their film strips.
    for (int i = 0; i < kNumControls; ++i) {
        const ControlPlace& place = kEditorLayout[i];
        const CRect size = f->getView(i)->getViewSize();
        const int side = place.kind == ControlKind::Knob ? 42 : 18;
        const CPoint extent = place.width ? CPoint(place.width, place.height) : CPoint(side, side);
        EXPECT_EQ(size.getTopLeft(), CPoint(place.left, place.top)) << i;
        const bool isLed = place.kind == ControlKind::Led || place.kind == ControlKind::RedLed;
        EXPECT_TRUE(isLed || size == CRect(size.getTopLeft(), extent)) << i;
    }
    for (int i = 0; i < kNumLeds; ++i) {
        EXPECT_EQ(editor->leds[i]->getTag(), kTagLed);
        EXPECT_EQ(editor->leds[i]->getBackground()->getResourceID(), i < 4 ? 134 : 135);
    }
    EXPECT_EQ(editor->getKnobMode(), kLinearMode);

    // Every parameter control: its tag, the effect's value and its help text.
    for (int i = 0; i < kNumUsedParams; ++i) {
        CControl* control = editor->parameterControls[i];
        ASSERT_NE(control, nullptr) << i;
        EXPECT_EQ(control->getTag(), i);
        EXPECT_EQ(control->getValue(), effect->getParameter(i)) << i;
        char text[kTooltextSize];
        long size = 0;
        ASSERT_TRUE(control->getAttribute(kCViewTooltipAttribute, sizeof(text), text, size));
        EXPECT_EQ(size, static_cast<long>(std::strlen(tooltexts[i]) + 1));
        EXPECT_STREQ(text, tooltexts[i]);
    }
    EXPECT_STREQ(tooltexts[kExciterFreq], "Controls the exciter's frequency, use it together with MIX.");
    EXPECT_STREQ(tooltexts[kMono], "Checks the signal for mono compatibility.");

    EXPECT_EQ(editor->programList->getStyle(), kCheckStyle);
    EXPECT_EQ(editor->programList->getNbItemsPerColumn(), 32);
    ASSERT_EQ(editor->programList->getNbEntries(), kNumPrograms);
    char name[64];
    for (int p = 0; p < kNumPrograms; ++p) {
        effect->getProgramNameIndexed(0, p, name);
        EXPECT_STREQ(editor->programList->getEntry(p)->getTitle(), name);
        EXPECT_EQ(editor->programList->isCheckEntry(p), p == 3);
    }
    EXPECT_EQ(editor->programList->getValue(), 3.0f);

    EXPECT_EQ(editor->fileMenu->getStyle(), 6656);
    const std::vector<std::string> entries = {"Load preset", "Save bank" /*4*/, "Init preset" /*6*/,
                                              "Visit lumeric.example" /*8*/};
    ASSERT_EQ(editor->fileMenu->getNbEntries(), 9);
    EXPECT_EQ(editor->fileMenu->getEntry(0)->getTitle(), entries[0]);
    EXPECT_EQ(editor->fileMenu->getEntry(4)->getTitle(), entries[1]);
    EXPECT_EQ(editor->fileMenu->getEntry(6)->getTitle(), entries[2]);
    EXPECT_EQ(editor->fileMenu->getEntry(8)->getTitle(), entries[3]);
    for (long separator : {2, 5, 7})
        EXPECT_TRUE(editor->fileMenu->getEntry(separator)->isSeparator());
}

TEST_F(EditorLayoutTest, ReopeningShowsTheCurrentProgramAndValues) {
    openOffscreen();
    editor->close();
    EXPECT_EQ(editor->knobs[0], nullptr);
    effect->setProgram(9);
    effect->setParameter(kVolume, 0.125f);
    editor->setParameter(kVolume, 0.125f); // closed: dropped without harm
    openOffscreen();
    EXPECT_EQ(editor->programList->getValue(), 9.0f);
    EXPECT_TRUE(editor->programList->isCheckEntry(9));
    EXPECT_EQ(editor->parameterControls[kVolume]->getValue(), 0.125f);
}

using EditorIdle = EditorFixture;

TEST_F(EditorIdle, HostAutomationMovesTheKnobAndReservedParametersMoveNothing) {
    openOffscreen();
    editor->idle();
    std::vector<float> before;
    for (CControl* control : editor->parameterControls)
        before.push_back(control->getValue());
    effect->setParameter(30, 0.77f);
    for (int i = 0; i < kNumUsedParams; ++i)
        EXPECT_EQ(editor->parameterControls[i]->getValue(), before[i]);

    const unsigned long redraws = frame()->getRedrawCount();
    effect->setParameter(kVolume, 0.9f);
    EXPECT_EQ(editor->parameterControls[kVolume]->getValue(), 0.9f);
    EXPECT_EQ(frame()->getRedrawCount(), redraws); // drawn at the next idle, not at once
    editor->idle();
    EXPECT_EQ(frame()->getRedrawCount(), redraws + 1);
    EXPECT_FALSE(editor->parameterControls[kVolume]->isDirty());
}

TEST_F(EditorIdle, HostProgramChangeUpdatesControlsAtOnceAndTheListAtTheNextIdle) {
    openOffscreen();
    editor->idle();
    hostCalls.clear();
    effect->setProgram(5);
    for (int i = 0; i < kNumUsedParams; ++i)
        EXPECT_EQ(editor->parameterControls[i]->getValue(), effect->program(5).values[i]) << i;
    EXPECT_EQ(editor->programList->getValue(), 0.0f);
    EXPECT_TRUE(editor->isProgramListDirty());
    editor->idle();
    EXPECT_EQ(editor->programList->getValue(), 5.0f);
    for (int p = 0; p < kNumPrograms; ++p)
        EXPECT_EQ(editor->programList->isCheckEntry(p), p == 5);
    EXPECT_FALSE(editor->isProgramListDirty());
    EXPECT_EQ(countCalls(audioMasterUpdateDisplay), 1u);
    editor->idle();
    EXPECT_EQ(countCalls(audioMasterUpdateDisplay), 1u);
}

TEST_F(EditorIdle, HostRenameRenamesTheListEntry) {
    openOffscreen();
    effect->setProgram(12);
    editor->idle();
    char name[] = "Late Night Master";
    effect->setProgramName(name);
    EXPECT_STRNE(editor->programList->getEntry(12)->getTitle(), name);
    editor->idle();
    EXPECT_STREQ(editor->programList->getEntry(12)->getTitle(), name);
    EXPECT_EQ(editor->programList->getNbEntries(), kNumPrograms);
}

TEST_F(EditorIdle, ListChangesWhileClosedAreAppliedAfterTheNextOpen) {
    effect->setProgram(4);
    EXPECT_TRUE(editor->isProgramListDirty());
    editor->idle(); // closed: nothing
    EXPECT_TRUE(editor->isProgramListDirty());
    openOffscreen();
    editor->idle();
    EXPECT_FALSE(editor->isProgramListDirty());
    EXPECT_TRUE(editor->programList->isCheckEntry(4));
}

TEST_F(EditorIdle, BassMeterLightsThatManyLedsFromTheBottom) {
    openOffscreen();
    for (int lit : {0, 3, 5, 1}) {
        feed().bassLedCount.store(static_cast<uint8_t>(lit));
        editor->idle();
        for (int i = 0; i < kNumLeds; ++i)
            EXPECT_EQ(editor->leds[i]->getValue(), i < lit ? 0.0f : 1.0f) << lit << " led " << i;
    }
    // A click flips only that LED's picture; the next idle sets it back.
    CPoint where(505, 60);
    editor->leds[2]->onMouseDown(where, kLButton);
    EXPECT_EQ(editor->leds[2]->getValue(), 0.0f);
    EXPECT_EQ(editor->leds[1]->getValue(), 1.0f);
    editor->idle();
    EXPECT_EQ(editor->leds[2]->getValue(), 1.0f);
}

TEST_F(EditorIdle, MeterFollowsTheAudioPath) {
    openOffscreen();
    effect->setSampleRate(44100.0f);
    effect->setParameter(kDynamicFatBass, 1.0f);
    std::vector<float> left = sineWave(60, 44100, 44100, 0.9), right = left;
    float* io[2] = {left.data(), right.data()};
    effect->processReplacing(io, io, 44100);
    const int count = feed().bassLedCount.load();
    ASSERT_GT(count, 0);
    editor->idle();
    for (int i = 0; i < kNumLeds; ++i)
        EXPECT_EQ(editor->leds[i]->getValue(), i < count ? 0.0f : 1.0f);
}

TEST_F(EditorIdle, AnalyserRedrawsOnlyWhenNewBlocksArrived) {
    openOffscreen();
    editor->idle();
    const unsigned long redraws = frame()->getRedrawCount();
    editor->idle();
    editor->idle();
    EXPECT_EQ(frame()->getRedrawCount(), redraws);
    feed().displayCounter.fetch_add(1);
    editor->idle();
    EXPECT_EQ(frame()->getRedrawCount(), redraws + 1);
    editor->idle();
    EXPECT_EQ(frame()->getRedrawCount(), redraws + 1);
}

using EditorEvents = EditorFixture;

TEST_F(EditorEvents, ModeButtonsSwitchTheAnalyserWithoutARedraw) {
    openOffscreen();
    editor->idle();
    editor->valueChanged(editor->scopeButton);
    EXPECT_EQ(editor->waveDisplay->displayMode, AnalyserMode::Scope);
    EXPECT_FALSE(editor->waveDisplay->isDirty());
    editor->valueChanged(editor->spectrumButton);
    EXPECT_EQ(editor->waveDisplay->displayMode, AnalyserMode::Spectrum);
    EXPECT_EQ(countCalls(audioMasterBeginEdit) + countCalls(audioMasterAutomate), 0u);
}

TEST_F(EditorEvents, InitPresetResetsTheShownProgramAtOnceAndItsNameAtTheNextIdle) {
    effect->setProgram(5);
    openOffscreen();
    editor->idle();
    editor->fileMenu->choose(kInitPreset);
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(effect->getParameter(i), parameterTable[i].neutralValue) << i;
    EXPECT_EQ(effect->getProgram(), 5);
    EXPECT_STRNE(editor->programList->getEntry(5)->getTitle(), "Init 005");
    editor->idle();
    EXPECT_STREQ(editor->programList->getEntry(5)->getTitle(), "Init 005");
}

TEST_F(EditorEvents, SeparatorsRunNothingAndVisitOpensTheWebSite) {
    openOffscreen();
    FakeDialogProgram browser("xdg-open");
    for (long separator : {2, 5, 7})
        editor->valueChanged((editor->fileMenu->setValue(static_cast<float>(separator)), editor->fileMenu));
    EXPECT_EQ(browser.runs().size(), 0u);
    editor->fileMenu->choose(kVisitWebSite);
    ASSERT_TRUE(pumpUntil([] {}, [&] { return browser.runs().size() == 1; }));
    EXPECT_EQ(browser.runs()[0], std::vector<std::string>{"https://lumeric.example/"});
}

TEST_F(EditorEvents, HidingTheAboutImageAsksOnceAndNoOpensNothing) {
    openOffscreen();
    FakeDialogProgram zenity("zenity", 1);
    CPoint where(600, 530);
    editor->aboutScreen->onMouseDown(where, kLButton);
    EXPECT_EQ(editor->aboutScreen->getValue(), 1.0f);
    EXPECT_EQ(zenity.runs().size(), 0u);
    editor->aboutScreen->onMouseDown(where, kLButton);
    ASSERT_EQ(zenity.runs().size(), 1u);
    const auto question = zenity.runs()[0];
    EXPECT_EQ(question[0], "--question");
    EXPECT_NE(std::find_if(question.begin(), question.end(),
                           [](const std::string& a) {
                               return a.find("for more sounds, information, news and updates?") !=
                                      std::string::npos;
                           }),
              question.end());
}

// Choosing in the program list with the mouse, in a real window.
TEST_F(EditorEvents, ChoosingAProgramInTheListMakesItCurrentAndMovesTheCheckMark) {
    TestHostWindow host;
    ASSERT_TRUE(editor->open(host.handle()));
    auto idle = [&] { editor->idle(); };
    ASSERT_TRUE(pumpUntil(idle, [&] { return frame()->getRedrawCount() > 0; }));
    hostCalls.clear();
    ASSERT_TRUE(runXdotool({"mousemove", "170", "75"}));
    pumpUntil(idle, [&] { return frame()->getMousePosition() == CPoint(170, 75); });
    ASSERT_TRUE(runXdotool({"click", "1"}));
    ASSERT_TRUE(pumpUntil(idle, [&] { return editor->programList->isPopupOpen(); }));
    auto* popup = dynamic_cast<CMenuPopup*>(frame()->getModalView());
    ASSERT_NE(popup, nullptr);
    const CRect entry = popup->entryRect(40);
    const CPoint target(entry.left + 30, entry.top + entry.height() / 2);
    ASSERT_TRUE(runXdotool({"mousemove", std::to_string(static_cast<int>(target.h)),
                            std::to_string(static_cast<int>(target.v))}));
    pumpUntil(idle, [&] { return frame()->getMousePosition() == target; });
    ASSERT_TRUE(runXdotool({"click", "1"}));
    ASSERT_TRUE(pumpUntil(idle, [&] { return effect->getProgram() == 40; }));
    for (int p = 0; p < kNumPrograms; ++p)
        EXPECT_EQ(editor->programList->isCheckEntry(p), p == 40);
    for (int i = 0; i < kNumUsedParams; ++i)
        EXPECT_EQ(editor->parameterControls[i]->getValue(), effect->program(40).values[i]);
    EXPECT_GE(countCalls(audioMasterUpdateDisplay), 1u);
    EXPECT_EQ(countCalls(audioMasterBeginEdit) + countCalls(audioMasterAutomate), 0u);
    editor->close();
}

TEST_F(EditorEvents, RestingThePointerOnAControlShowsItsHelpText) {
    TestHostWindow host;
    ASSERT_TRUE(editor->open(host.handle()));
    auto idle = [&] { editor->idle(); };
    ASSERT_TRUE(pumpUntil(idle, [&] { return frame()->getRedrawCount() > 0; }));
    ASSERT_TRUE(runXdotool({"mousemove", "355", "65"}));
    ASSERT_TRUE(pumpUntil(
        idle, [&] { return editor->tooltipSupport->isShowing(); }, 3000));
    EXPECT_EQ(editor->tooltipSupport->getShownText(), "Output volume");
    EXPECT_EQ(editor->tooltipSupport->getDelay(), 1000);
    editor->close();
}

TEST(EditorLog, OpenCloseAndDestructionWriteTheirLines) {
    TemporaryFolder folder;
    std::filesystem::copy_file(LUMERIC_MODULE_PATH, folder.file("lumeric.so"));
    std::string error;
    auto module = PluginModule::open(folder.file("lumeric.so"), &error);
    ASSERT_NE(module, nullptr) << error;
    {
        auto plugin = PluginInstance::create(*module);
        ASSERT_NE(plugin, nullptr);
        plugin->dispatch(effEditOpen, 0, 0, nullptr);
        plugin->dispatch(effEditIdle);
        plugin->dispatch(effEditClose);
        plugin->close();
    }
    auto lines = readLines(folder.file("LumericLog.txt"));
    ASSERT_GE(lines.size(), 2u);
    lines.erase(lines.begin(), lines.begin() + 2);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "PxAudio::PxAudio start", "PxEditor::PxEditor start", "PxEditor::PxEditor end",
                         "PxAudio::PxAudio end", "PxEditor::open start", "PxEditor::open end",
                         "PxEditor::close start", "PxEditor::close end", "PxAudio::~PxAudiostart",
                         "PxAudio::~PxAudio end", "PxEditor::~PxEditor start", "PxEditor::~PxEditor end"}));
}

} // namespace
