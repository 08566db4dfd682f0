// The editor drawn offscreen through the real PxEditor (no X server): the views its layout table asks for,
// the parameter echo, the idle cycle, the widgets' mouse and key handling, the analyser's drawing and feed,
// and the snapshot picture.
#include "audio_path_rig.h"
#include "editor/editor_scale.h"
#include "editor/editor_snapshot.h"
#include "editor/px_editor.h"
#include "editor/tooltexts.h"
#include "editor/wavedisplay.h"
#include "engine/parameter_table.h"
#include "engine/px_audio.h"
#include "test_helpers.h"
#include "x11_test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <random>
#include <thread>
#include <tuple>

namespace {

std::vector<HostCall> hostCalls;
bool hostResizes = false;

VstIntPtr VSTCALLBACK recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*,
                                    float opt) {
    hostCalls.push_back(HostCall{opcode, index, value, opt});
    if (opcode == audioMasterSizeWindow) return hostResizes;
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

size_t countCalls(VstInt32 opcode) {
    return std::count_if(hostCalls.begin(), hostCalls.end(),
                         [&](const HostCall& c) { return c.opcode == opcode; });
}

// One pixel of an RGB24 image as 0xRRGGBB, and the sum of its three channels.
unsigned pixel(cairo_surface_t* image, int x, int y) {
    cairo_surface_flush(image);
    const unsigned char* row =
        cairo_image_surface_get_data(image) + y * cairo_image_surface_get_stride(image);
    return reinterpret_cast<const uint32_t*>(row)[x] & 0xffffff;
}

int brightness(cairo_surface_t* image, int x, int y) {
    const unsigned value = pixel(image, x, y);
    return static_cast<int>((value >> 16 & 255) + (value >> 8 & 255) + (value & 255));
}

CPoint centre(const CRect& r) {
    return CPoint(std::floor((r.left + r.right) / 2), std::floor((r.top + r.bottom) / 2));
}

struct Editor : ::testing::Test {
    void SetUp() override {
        editor = dynamic_cast<PxEditor*>(effect->getEditor());
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->open(nullptr));
        editor->idle();
        hostCalls.clear();
    }
    CFrame* frame() { return editor->getFrame(); }
    DisplayFeed& feed() { return const_cast<DisplayFeed&>(effect->displayFeed()); }
    void click(CPoint at, long modifiers = 0) {
        frame()->onMouseDown(at, kLButton | modifiers);
        frame()->onMouseUp(at, modifiers);
    }
    void key(long virt) {
        CKeyCode code{0, static_cast<unsigned char>(virt), 0};
        frame()->onKeyDown(code);
    }
    void newBlock() {
        feed().displayCounter.fetch_add(1);
        editor->idle();
    }
    // The host saw exactly one gesture on the parameter: begin, these automated values, end.
    void expectGesture(int index, const std::vector<float>& values) {
        std::vector<HostCall> calls;
        for (const HostCall& c : hostCalls)
            if (c.opcode == audioMasterBeginEdit || c.opcode == audioMasterAutomate ||
                c.opcode == audioMasterEndEdit)
                calls.push_back(c);
        ASSERT_EQ(calls.size(), values.size() + 2);
        EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
        EXPECT_EQ(calls.back().opcode, audioMasterEndEdit);
        for (size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].index, index) << i;
            if (i > 0 && i + 1 < calls.size()) {
                EXPECT_NEAR(calls[i].opt, values[i - 1], 1e-5) << i;
            }
        }
        hostCalls.clear();
    }

    std::unique_ptr<PxAudio> effect = std::make_unique<PxAudio>(&recordingHost);
    PxEditor* editor = nullptr;
};

TEST_F(Editor, ReopeningBuildsEveryRowOfTheTableWithTheEffectsProgramValuesAndHelp) {
    editor->close();
    effect->setProgram(9);
    effect->setParameter(kVolume, 0.125f);
    ASSERT_TRUE(editor->open(nullptr));
    ASSERT_EQ(frame()->getNbViews(), kNumControls + 1); // and the size menu, which has no row
    for (int i = 0; i < kNumControls; ++i) {
        const ControlPlace& place = kEditorLayout[i];
        const CRect size = frame()->getView(i)->getViewSize();
        EXPECT_EQ(size.getTopLeft(), CPoint(place.left, place.top)) << i;
        if (place.width) {
            EXPECT_EQ(size.getWidth() * 1000 + size.getHeight(), place.width * 1000 + place.height);
        }
        if (place.kind == ControlKind::Knob || place.kind == ControlKind::Switch) {
            ASSERT_EQ(editor->parameterControls[place.tag], frame()->getView(i)) << i;
            EXPECT_EQ(editor->parameterControls[place.tag]->getValue(), effect->getParameter(place.tag));
        }
        char text[kTooltextSize] = {};
        long length = 0;
        ASSERT_EQ(frame()->getView(i)->getAttribute(kCViewTooltipAttribute, sizeof text, text, length),
                  place.helpText != kNoHelp)
            << i;
        if (place.helpText != kNoHelp) {
            EXPECT_STREQ(text, tooltexts[place.helpText]) << i;
        }
    }
    EXPECT_EQ(editor->parameterControls[kVolume]->getValue(), 0.125f);
    ASSERT_EQ(editor->programList->getNbEntries(), kNumPrograms);
    for (int p = 0; p < kNumPrograms; ++p) {
        EXPECT_STREQ(editor->programList->getEntry(p)->getTitle(), effect->program(p).name) << p;
        EXPECT_EQ(editor->programList->isCheckEntry(p), p == 9) << p;
    }
    EXPECT_EQ(editor->programList->getValue(), 9.0f);
}

TEST_F(Editor, HostChangesShowAtOnceFromTheEditorsThreadAndAtIdleFromOthersAndAreDrawnAtIdle) {
    const unsigned long redraws = frame()->getRedrawCount();
    effect->setParameter(kVolume, 0.9f);
    effect->setParameter(kNumUsedParams + 2, 0.7f); // reserved: no control
    EXPECT_EQ(editor->parameterControls[kVolume]->getValue(), 0.9f);
    EXPECT_EQ(frame()->getRedrawCount(), redraws);
    editor->idle();
    EXPECT_EQ(frame()->getRedrawCount(), redraws + 1);
    std::thread([&] { effect->setParameter(kTone, 0.3f); }).join();
    EXPECT_NE(editor->parameterControls[kTone]->getValue(), 0.3f);
    editor->idle();
    EXPECT_EQ(editor->parameterControls[kTone]->getValue(), 0.3f);
}

TEST_F(Editor, IdleLightsTheBassMeterFromTheBottomAndRedrawsTheAnalyserOnlyForNewBlocks) {
    for (int lit : {0, 3, kNumLeds, 1, kNumLeds - 1}) {
        feed().bassLedCount.store(static_cast<uint8_t>(lit));
        editor->idle();
        int light = 0; // the table lists the lights from the bottom; a lit one shows its first frame
        for (int i = 0; i < kNumControls; ++i)
            if (kEditorLayout[i].kind == ControlKind::Led || kEditorLayout[i].kind == ControlKind::RedLed) {
                EXPECT_EQ(static_cast<CControl*>(frame()->getView(i))->getValue(), light++ < lit ? 0 : 1)
                    << lit;
            }
        EXPECT_EQ(light, kNumLeds);
    }
    const unsigned long redraws = frame()->getRedrawCount();
    editor->idle();
    EXPECT_EQ(frame()->getRedrawCount(), redraws);
    newBlock();
    EXPECT_EQ(frame()->getRedrawCount(), redraws + 1);
    editor->idle();
    EXPECT_EQ(frame()->getRedrawCount(), redraws + 1);
}

TEST_F(Editor, ProgramListFollowsAHostProgramChangeAndRenameAtTheNextIdle) {
    effect->setProgram(5);
    for (int i = 0; i < kNumUsedParams; ++i)
        EXPECT_EQ(editor->parameterControls[i]->getValue(), effect->program(5).values[i]) << i;
    EXPECT_EQ(editor->programList->getValue(), 0.0f);
    editor->idle();
    EXPECT_EQ(editor->programList->getValue(), 5.0f);
    for (int p = 0; p < kNumPrograms; ++p)
        EXPECT_EQ(editor->programList->isCheckEntry(p), p == 5) << p;
    char name[] = "Late Night Master";
    effect->setProgramName(name);
    editor->idle();
    EXPECT_STREQ(editor->programList->getEntry(5)->getTitle(), name);
    EXPECT_EQ(editor->programList->getNbEntries(), kNumPrograms);
    EXPECT_EQ(countCalls(audioMasterUpdateDisplay), 2u);
}

TEST_F(Editor, ModeAndSteppingButtonsActOnReleaseAndNeverReachTheHostAsEdits) {
    click(centre(editor->scopeButton->getViewSize()));
    EXPECT_EQ(editor->waveDisplay->displayMode, AnalyserMode::Scope);
    click(centre(editor->spectrumButton->getViewSize()));
    EXPECT_EQ(editor->waveDisplay->displayMode, AnalyserMode::Spectrum);
    CPoint next = centre(editor->nextProgramButton->getViewSize());
    frame()->onMouseDown(next, kLButton);
    EXPECT_EQ(effect->getProgram(), 0);
    frame()->onMouseUp(next, 0);
    EXPECT_EQ(effect->getProgram(), 1);
    for (int i = 0; i < 2; ++i) // stops at the first program
        click(centre(editor->prevProgramButton->getViewSize()));
    EXPECT_EQ(effect->getProgram(), 0);
    effect->setProgram(kNumPrograms - 1);
    editor->idle();
    click(next);
    EXPECT_EQ(effect->getProgram(), kNumPrograms - 1);
    EXPECT_EQ(countCalls(audioMasterBeginEdit) + countCalls(audioMasterAutomate), 0u);
}

TEST_F(Editor, KnobDragsTwoHundredPixelsForTheRangeFinerWithShiftAndWheelAndControlClickStep) {
    auto* knob = static_cast<CKnob*>(editor->parameterControls[kEqLow]);
    effect->setParameter(kEqLow, 0.5f);
    CPoint at = centre(knob->getViewSize());
    frame()->onMouseDown(at, kLButton);
    const std::tuple<int, int, long> moves[] = {
        {30, -40, kLButton}, {30, -80, kLButton | kShift}, {30, 920, kLButton}, {30, 900, kLButton}};
    for (auto [dx, dy, buttons] : moves) {
        CPoint to(at.h + dx, at.v + dy);
        frame()->onMouseMoved(to, buttons);
    }
    frame()->onMouseUp(at, 0);
    // Up is more; Shift goes on ten times finer without a jump; past an end turning back responds at once.
    expectGesture(kEqLow, {0.7f, 0.72f, 0.0f, 0.1f});
    EXPECT_NEAR(effect->getParameter(kEqLow), 0.1f, 1e-5);
    frame()->onWheel(at, 1.0f, 0);
    expectGesture(kEqLow, {0.12f});
    frame()->onWheel(at, -1.0f, kShift);
    expectGesture(kEqLow, {0.118f});
    knob->setDefaultValue(0.25f);
    click(at, kControl);
    expectGesture(kEqLow, {0.25f});
}

TEST_F(Editor, TheTopmostOfTwoOverlappingViewsTakesPointerAndClick) {
    // The bypass switch comes later in the table than the file menu, so it lies on top of it.
    CRect both = editor->fileMenu->getViewSize();
    ASSERT_FALSE(both.bound(editor->bypassButton->getViewSize()).isEmpty());
    CPoint at = centre(both);
    frame()->onMouseMoved(at, 0);
    editor->idle();
    EXPECT_FALSE(editor->tooltipSupport->isShowing()); // not before the pointer has rested
    std::this_thread::sleep_for(std::chrono::milliseconds(editor->tooltipSupport->getDelay() + 50));
    editor->idle();
    ASSERT_TRUE(editor->tooltipSupport->isShowing());
    EXPECT_EQ(editor->tooltipSupport->getShownText(), tooltexts[controlWithTag(kBypass).helpText]);
    click(at);
    EXPECT_FALSE(editor->tooltipSupport->isShowing());
    EXPECT_FALSE(editor->fileMenu->isPopupOpen());
    expectGesture(kBypass, {1.0f});
    // A view that takes no mouse lets the click through to the one below.
    editor->bypassButton->setMouseEnabled(false);
    click(at);
    EXPECT_TRUE(editor->fileMenu->isPopupOpen());
    EXPECT_EQ(effect->getParameter(kBypass), 1.0f);
}

TEST_F(Editor, SizesComeFromTheHostOrTheBackgroundsMenuAndARefusedResizeWaitsForTheNextOpen) {
    TemporaryFolder config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    ERect* rect = nullptr;
    const auto sized = [&](double scale) {
        editor->getRect(&rect);
        return rect->right == std::lround(828 * scale) && rect->bottom == std::lround(554 * scale);
    };
    editor->close();
    // A host's factor goes up to the next size; one that is no factor is refused and changes nothing.
    const std::pair<float, double> kFactors[] = {{2, 2},        {1.3f, 1.5}, {1, 1},     {9, 2},
                                                 {1.25f, 1.25}, {0, 1.25},   {NAN, 1.25}};
    for (auto [factor, scale] : kFactors) {
        EXPECT_EQ(effect->dispatcher(effVendorSpecific, fourCharCode('P', 'r', 'e', 'S'),
                                     fourCharCode('A', 'e', 'C', 's'), nullptr, factor),
                  factor > 0);
        EXPECT_TRUE(sized(scale)) << factor;
    }
    ASSERT_TRUE(editor->open(nullptr));
    const auto pickSize = [&](long entry) {
        CPoint background(4, 150);
        frame()->onMouseDown(background, kRButton);
        auto* popup = dynamic_cast<CMenuPopup*>(frame()->getModalView());
        ASSERT_NE(popup, nullptr);
        if (entry >= 0) click(centre(popup->entryRect(entry)));
    };
    CPoint knob = centre(editor->knobs[0]->getViewSize());
    frame()->onMouseDown(knob, kRButton);
    EXPECT_EQ(frame()->getModalView(), nullptr); // a control is no background
    pickSize(5);                                 // 200 %, which the host refuses
    EXPECT_EQ(countCalls(audioMasterSizeWindow), 1u);
    EXPECT_TRUE(sized(1.25));
    pickSize(-1);
    ASSERT_EQ(editor->sizeMenu->getNbEntries(), 7);
    EXPECT_STREQ(editor->sizeMenu->getEntry(6)->getTitle(), "applies when the editor is reopened");
    EXPECT_TRUE(editor->sizeMenu->isCheckEntry(5));
    EXPECT_EQ(savedEditorScale(), 2.0);
    editor->close();
    EXPECT_TRUE(sized(2.0));
    hostResizes = true;
    ASSERT_TRUE(editor->open(nullptr));
    pickSize(3);
    EXPECT_TRUE(sized(1.5));
    EXPECT_EQ(cairo_image_surface_get_width(frame()->getImage()), 1242);
}

TEST_F(Editor, OptionMenusPopUpOnAClickAndPickWithTheMouseOrTheKeys) {
    click(centre(editor->programList->getViewSize()));
    auto* popup = dynamic_cast<CMenuPopup*>(frame()->getModalView());
    ASSERT_NE(popup, nullptr);
    click(centre(popup->entryRect(40)));
    EXPECT_EQ(frame()->getModalView(), nullptr);
    EXPECT_EQ(effect->getProgram(), 40);
    EXPECT_TRUE(editor->programList->isCheckEntry(40));

    const CPoint file(editor->fileMenu->getViewSize().left + 2, editor->fileMenu->getViewSize().top + 2);
    click(file);
    key(VKEY_ESCAPE);
    EXPECT_FALSE(editor->fileMenu->isPopupOpen());
    effect->setParameter(kVolume, 0.9f);
    editor->fileMenu->setCurrent(kSaveBank);
    click(file);
    key(VKEY_DOWN); // over the separator to "Init preset"
    key(VKEY_RETURN);
    EXPECT_FALSE(editor->fileMenu->isPopupOpen());
    EXPECT_EQ(effect->getParameter(kVolume), parameterTable[kVolume].neutralValue);
}

TEST_F(Editor, FileMenuEntriesRunTheCommandsTheirTitlesName) {
    long visit = -1;
    {
        FakeDialogProgram zenity("zenity", 1); // every dialog is cancelled
        for (long i = 0; i < editor->fileMenu->getNbEntries(); ++i) {
            const std::string title = editor->fileMenu->getEntry(i)->getTitle();
            if (title.rfind("Visit", 0) == 0) visit = i;
            const size_t before = zenity.runs().size();
            if (visit != i) editor->fileMenu->choose(i);
            const auto runs = zenity.runs();
            const bool file = title.rfind("Load", 0) == 0 || title.rfind("Save", 0) == 0;
            ASSERT_EQ(runs.size(), before + file) << title;
            std::string arguments;
            for (const std::string& argument : file ? runs.back() : std::vector<std::string>())
                arguments += argument + " ";
            EXPECT_EQ(arguments.find("--save") != std::string::npos, title.rfind("Save", 0) == 0) << title;
            if (file) {
                EXPECT_NE(arguments.find(title.find("bank") != std::string::npos ? "fxb" : "fxp"),
                          std::string::npos);
            }
        }
    }
    FakeDialogProgram browser("xdg-open");
    editor->fileMenu->choose(visit);
    ASSERT_TRUE(pumpUntil([] {}, [&] { return browser.runs().size() == 1; }));
    EXPECT_EQ(browser.runs()[0][0].rfind("https://", 0), 0u);
}

TEST_F(Editor, AboutImageTakesTheNextClickAnywhereAndThenAsksAboutTheWebSite) {
    FakeDialogProgram zenity("zenity", 1); // "No"
    click(centre(editor->aboutScreen->getViewSize()));
    EXPECT_EQ(frame()->getModalView(), editor->aboutScreen);
    const float before = editor->knobs[0]->getValue();
    click(centre(editor->knobs[0]->getViewSize()));
    EXPECT_EQ(editor->knobs[0]->getValue(), before);
    EXPECT_EQ(frame()->getModalView(), nullptr);
    ASSERT_EQ(zenity.runs().size(), 1u);
    EXPECT_EQ(zenity.runs()[0][0], "--question");
}

TEST_F(Editor, SpectrumDarkensEachColumnUpToItsLevelAndMoreFaintlyUpToItsPeak) {
    cairo_surface_t* image = frame()->getImage();
    const CRect area = editor->waveDisplay->getViewSize();
    const int left = static_cast<int>(area.left), top = static_cast<int>(area.top);
    const int height = static_cast<int>(area.height());
    std::mt19937 random(7);
    for (int round = 0; round < 4; ++round) {
        const int x = std::uniform_int_distribution<int>(1, static_cast<int>(area.width()) - 3)(random);
        const int peak = std::uniform_int_distribution<int>(2, height - 20)(random);
        const int level = std::uniform_int_distribution<int>(peak + 6, height - 3)(random);
        std::vector<int> rest[2];
        for (int y = 0; y < height; ++y)
            for (int c = 0; c < 2; ++c)
                rest[c].push_back(brightness(image, left + x + c, top + y));
        feed().levelDisp[x].store(static_cast<float>(level));
        feed().peakDisp[x].store(static_cast<float>(peak));
        newBlock();
        for (int y = 0; y < height; ++y) {
            const double kept = y > level + 1 ? 127.0 / 255 : y > peak + 1 && y < level - 1 ? 191.0 / 255 : 1;
            if (kept < 1 || y < peak - 1) {
                EXPECT_NEAR(brightness(image, left + x, top + y), rest[0][y] * kept, 5);
            }
            EXPECT_EQ(brightness(image, left + x + 1, top + y), rest[1][y]) << y; // the next column
        }
        feed().levelDisp[x].store(400.0f);
        feed().peakDisp[x].store(400.0f);
    }
}

TEST_F(Editor, ScopeTrailsRunOutwardsAtTheirPhaseInTheirColumnsColour) {
    click(centre(editor->scopeButton->getViewSize()));
    newBlock();
    cairo_surface_t* image = frame()->getImage();
    const CRect area = editor->waveDisplay->getViewSize();
    const int width = std::min(static_cast<int>(area.width()), Wavedisplay::kMaxColumns - 1);
    const int cx = static_cast<int>(area.left) + width / 2,
              cy = static_cast<int>(area.top + area.height() / 2);
    const unsigned below = pixel(image, cx, cy + 30);
    const int low = width / 8, high = 3 * width / 4; // low columns are drawn red, high ones blue
    feed().magDisp[low].store(1.0f);
    feed().phaseDisp[low].store(0.0f); // both channels alike: straight up
    feed().magDisp[high].store(1.0f);
    feed().phaseDisp[high].store(static_cast<float>(M_PI / 2)); // right channel alone: to the right
    for (int i = 0; i < 40; ++i)
        newBlock();
    const unsigned upward = pixel(image, cx, cy - 30), rightward = pixel(image, cx + 30, cy);
    EXPECT_GT(upward >> 16 & 255, (upward & 255) + 100);
    EXPECT_GT(rightward & 255, (rightward >> 16 & 255) + 100);
    EXPECT_EQ(pixel(image, cx, cy + 30), below);
}

TEST(AnalyserFeed, PeakMarkJumpsToALouderLevelAndFallsBackHalfwayInAboutSeventyUpdates) {
    AudioPathRig rig;
    DisplayFeed& feed = rig.path->feed;
    auto update = [&](float magnitude) {
        const std::vector<float> spectrum(spectral::kFrameLength, magnitude);
        rig.path->updateDisplayColumns(spectrum.data(), spectrum.data());
    };
    for (int k : {0, 20, 200, 400}) {
        rig.path->resetVariables();
        for (int i = 0; i < 60; ++i) {
            update(0.05f);
            ASSERT_EQ(feed.peakDisp[k].load(), feed.levelDisp[k].load()) << k;
        }
        const float loud = feed.levelDisp[k].load();
        std::vector<float> peaks;
        for (int i = 0; i < 300; ++i, update(1e-6f))
            peaks.push_back(feed.peakDisp[k].load());
        const float halfway = (loud + feed.levelDisp[k].load()) / 2;
        ASSERT_GT(halfway, loud + 50) << k;
        EXPECT_NEAR(std::find_if(peaks.begin(), peaks.end(), [&](float p) { return p >= halfway; }) -
                        peaks.begin(),
                    74, 5)
            << k;
    }
}

TEST(AnalyserFeed, ColumnsAreLogSpacedFromBinSixOnePointThreeFivePercentApart) {
    for (int bin : {20, 120, 700}) {
        AudioPathRig rig;
        std::vector<float> spectrum(spectral::kFrameLength);
        spectrum[bin] = spectrum[spectral::kFrameLength - bin] = 1.0f;
        rig.path->updateDisplayColumns(spectrum.data(), spectrum.data());
        int first = 0;
        while (first < kDisplayColumns && rig.path->feed.magDisp[first].load() == 0.0f)
            ++first;
        EXPECT_NEAR(first, std::ceil(std::log(bin / 6.0) / std::log(1.0135)), 1) << bin;
    }
}

TEST(EditorSnapshot, BothModesShowTheSamePanelAndDifferentAnalysers) {
    PxAudio effect(&recordingHost);
    effect.setSampleRate(44100.0f);
    effect.setParameter(kVirtualSurround, 0.6f);
    std::vector<float> left = uniformNoise(44100, 3, 0.3f), right = sineWave(3000, 44100, 44100, 0.2);
    float* io[2] = {left.data(), right.data()};
    effect.processReplacing(io, io, 44100);
    cairo_surface_t* images[2];
    for (int scope = 0; scope < 2; ++scope) {
        const std::string path =
            std::string(LUMERIC_BINARY_DIR) + "/editor_snapshot_" + (scope ? "scope.png" : "spectrum.png");
        std::string error;
        ASSERT_TRUE(
            writeEditorSnapshot(effect, scope ? AnalyserMode::Scope : AnalyserMode::Spectrum, path, &error))
            << error;
        images[scope] = cairo_image_surface_create_from_png(path.c_str());
        ASSERT_EQ(cairo_surface_status(images[scope]), CAIRO_STATUS_SUCCESS);
    }
    const ControlPlace& row =
        *std::find_if(std::begin(kEditorLayout), std::end(kEditorLayout),
                      [](const ControlPlace& p) { return p.kind == ControlKind::Analyser; });
    const CRect analyser(row.left, row.top, row.left + row.width, row.top + row.height);
    int differ[2] = {}; // outside, inside the analyser
    for (int y = 0; y < cairo_image_surface_get_height(images[0]); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(images[0]); ++x)
            differ[analyser.pointInside(CPoint(x, y))] += pixel(images[0], x, y) != pixel(images[1], x, y);
    EXPECT_EQ(differ[0], 0);
    EXPECT_GT(differ[1], row.width * row.height / 4);
    for (cairo_surface_t* image : images)
        cairo_surface_destroy(image);
    EXPECT_FALSE(writeEditorSnapshot(effect, AnalyserMode::Spectrum, "/no/such/folder/editor.png", nullptr));
}

} // namespace
