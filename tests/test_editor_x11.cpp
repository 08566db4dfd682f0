// The editor through the module's binary interface, in a window the test host makes under its own Xvfb,
// driven with real pointer input (xdotool, which uses XTest).
#include "editor/editor_controls.h"
#include "editor/editor_scale.h"
#include "test_helpers.h"
#include "test_signals.h"
#include "x11_test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

const auto* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);

// Where the editor puts the control with the tag, as its own construction computes it.
CRect placeOf(int tag) {
    static EditorBitmaps bitmaps;
    CControl* control = createControl(controlWithTag(tag), bitmaps, nullptr);
    const CRect size = control->getViewSize();
    control->forget();
    return size;
}

CPoint centre(const CRect& r) {
    return CPoint(std::floor((r.left + r.right) / 2), std::floor((r.top + r.bottom) / 2));
}

// The host's request for an editor size ('PreS', 'AeCs', the factor in opt).
VstIntPtr askForScale(PluginInstance& plugin, float factor) {
    return plugin.dispatch(effVendorSpecific, fourCharCode('P', 'r', 'e', 'S'),
                           fourCharCode('A', 'e', 'C', 's'), nullptr, factor);
}

struct EditorX11 : ::testing::TestWithParam<double> {
    bool idleUntil(const std::function<bool()>& condition, int milliseconds = 2000) {
        return pumpUntil([&] { plugin->dispatch(effEditIdle); }, condition, milliseconds);
    }
    bool childrenBecome(TestHostWindow& host, int count) {
        return idleUntil([&] { return host.sync(), host.children() == count; });
    }
    // The pointer to a point of the editor's layout, in the window's pixels at the editor's scale.
    void moveTo(CPoint to) {
        ASSERT_TRUE(runXdotool({"mousemove", std::to_string(std::lround(to.h * scale)),
                                std::to_string(std::lround(to.v * scale))}));
        idleUntil([] { return false; }, 40);
    }
    void clickAt(CPoint at) {
        moveTo(at);
        ASSERT_TRUE(runXdotool({"click", "1"}));
        idleUntil([] { return false; }, 80);
    }
    // The gesture requests the host saw: begin, automate and end of edits.
    std::vector<HostCall> edits() const {
        std::vector<HostCall> found;
        for (const HostCall& call : plugin->calls())
            if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterEndEdit ||
                call.opcode == audioMasterAutomate)
                found.push_back(call);
        return found;
    }

    std::unique_ptr<PluginInstance> plugin = newInstance();
    double scale = 1;
};

// At 200 % each point of the layout is 2 x 2 window pixels: a knob's range stays 200 points of the layout.
TEST_P(EditorX11, TheUserDragsAKnobTogglesASwitchAndChoosesAProgramInTheHostsWindow) {
    scale = GetParam();
    plugin->start(44100.0f, 512);
    ASSERT_EQ(askForScale(*plugin, static_cast<float>(scale)), 1);
    ERect* rect = nullptr;
    ASSERT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    TestHostWindow host(rect->right - rect->left, rect->bottom - rect->top);
    ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, host.handle()), 1);
    const CPoint about = centre(placeOf(kTagAbout)); // the background shows through there
    ASSERT_TRUE(idleUntil([&] { return host.pixel(about.h * scale, about.v * scale) != 0; }));
    EXPECT_EQ(host.children(), 1);
    plugin->clearCalls();

    const CPoint knob = centre(placeOf(kVolume));
    const float before = plugin->getParameter(kVolume);
    moveTo(knob);
    ASSERT_TRUE(runXdotool({"mousedown", "1"}));
    ASSERT_TRUE(idleUntil([&] { return plugin->countCalls(audioMasterBeginEdit) == 1; }));
    for (int step = 1; step <= 4; ++step) {
        moveTo(CPoint(knob.h, knob.v - 10 * step));
        ASSERT_TRUE(idleUntil([&] { return plugin->countCalls(audioMasterAutomate) == size_t(step); }));
    }
    ASSERT_TRUE(runXdotool({"mouseup", "1"}));
    ASSERT_TRUE(idleUntil([&] { return plugin->countCalls(audioMasterEndEdit) == 1; }));
    std::vector<HostCall> calls = edits();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls.back().opcode, audioMasterEndEdit);
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].index, kVolume);
        if (i > 0 && i < 5) {
            EXPECT_NEAR(calls[i].opt, std::min(1.0f, before + 0.05f * i), 1e-4) << i;
        }
    }

    plugin->clearCalls();
    clickAt(centre(placeOf(kMono)));
    ASSERT_TRUE(idleUntil([&] { return plugin->getParameter(kMono) == 1.0f; }));
    calls = edits();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[1].index, kMono);

    // The program list's popup, laid out as the widget layer lays it out for this menu.
    plugin->clearCalls();
    static EditorBitmaps bitmaps;
    auto* list = static_cast<COptionMenu*>(createControl(controlWithTag(kTagProgramList), bitmaps, nullptr));
    for (int i = 0; i < kNumPrograms; ++i)
        list->addEntry(plugin->programNameIndexed(i).c_str());
    const CRect entry = CMenuPopup(list, CRect(0, 0, 828, 554), CPoint()).entryRect(40);
    list->forget();
    clickAt(centre(placeOf(kTagProgramList)));
    clickAt(centre(entry));
    ASSERT_TRUE(idleUntil([&] { return plugin->dispatch(effGetProgram) == 40; }));
    EXPECT_EQ(edits().size(), 0u);

    // Pictures of both analyser modes after some audio, for a reader of the build folder.
    std::vector<float> left = sineWave(70, 44100, 44100, 0.4), right = uniformNoise(44100, 7, 0.2f);
    const ControlPlace& row =
        *std::find_if(std::begin(kEditorLayout), std::end(kEditorLayout),
                      [](const ControlPlace& p) { return p.kind == ControlKind::Analyser; });
    const int x = row.left + row.width / 4, y = row.top + row.height - 10; // off the scope's rings and legend
    unsigned shown[2] = {};
    for (int scope = 0; scope < 2; ++scope) {
        if (scope) clickAt(centre(placeOf(kTagScope)));
        for (size_t at = 0; at + 2048 <= left.size(); at += 2048) { // the scope's trails grow per drawing
            plugin->processInBlocks(left.data() + at, right.data() + at, 2048, 512);
            plugin->dispatch(effEditIdle);
        }
        idleUntil([] { return false; }, 100);
        ASSERT_TRUE(host.savePng(std::string(LUMERIC_BINARY_DIR) +
                                 (scale == 1 ? "/editor_" : "/editor_200_") +
                                 (scope ? "scope.png" : "spectrum.png")));
        shown[scope] = host.pixel(x * scale, y * scale);
    }
    EXPECT_NE(shown[0], shown[1]); // the scope's dark panel over the spectrum's backdrop
    if (scale == 2) { // a host that resizes: back to 100 %, the window shows the host's black beside it
        ASSERT_EQ(askForScale(*plugin, 1.0f), 1);
        EXPECT_TRUE(idleUntil([&] { return host.pixel(1000, 700) == 0; }));
    }
    plugin->dispatch(effEditClose);
    EXPECT_TRUE(childrenBecome(host, 0));
}

INSTANTIATE_TEST_SUITE_P(Scales, EditorX11, ::testing::Values(1.0, 2.0));

TEST_F(EditorX11, TheHostsFactorWinsOverTheSavedSizeWhichWinsOverTheDesktopsDpi) {
    TemporaryFolder config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    TestHostWindow host;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(host.connection)).data->root;
    const std::string resources = "Xft.antialias:\t1\nXft.dpi:\t144\n";
    xcb_change_property(host.connection, XCB_PROP_MODE_REPLACE, root, XCB_ATOM_RESOURCE_MANAGER,
                        XCB_ATOM_STRING, 8, static_cast<uint32_t>(resources.size()), resources.data());
    host.sync();
    // The saved size (0: none), the host's factor (0: none), the editor's width.
    const std::tuple<double, float, int> kRows[] = {{0, 0, 1242}, {1.75, 0, 1449}, {1.75, 1.25f, 1035}};
    for (auto [saved, factor, width] : kRows) {
        if (saved > 0) saveEditorScale(saved);
        auto instance = newInstance();
        if (factor > 0) askForScale(*instance, factor);
        ERect* rect = nullptr;
        instance->dispatch(effEditGetRect, 0, 0, &rect);
        EXPECT_EQ(rect->right, width) << saved << factor;
    }
    xcb_delete_property(host.connection, root, XCB_ATOM_RESOURCE_MANAGER);
    host.sync();
    setenv("XDG_CONFIG_HOME", "/no/such/config", 1);
}

TEST_F(EditorX11, OpenCloseCyclesLeaveNothingBehindAndAHostWindowGoneFirstIsSurvived) {
    TestHostWindow host;
    auto cycle = [&] {
        const bool opened =
            plugin->dispatch(effEditOpen, 0, 0, host.handle()) == 1 && childrenBecome(host, 1);
        plugin->dispatch(effEditClose);
        return opened && childrenBecome(host, 0);
    };
    ASSERT_TRUE(cycle()); // warms up the caches of cairo and fontconfig
    const int descriptors = openFileDescriptors();
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(cycle()) << i;
    EXPECT_EQ(openFileDescriptors(), descriptors);

    ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, host.handle()), 1);
    idleUntil([] { return false; }, 100);
    host.destroy();
    idleUntil([] { return false; }, 200);
    plugin->dispatch(effEditClose);
    plugin->dispatch(effEditIdle);
    EXPECT_EQ(openFileDescriptors(), descriptors);
}

} // namespace
