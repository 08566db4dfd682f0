// The editor through the module's binary interface, in a window the test host makes under Xvfb, driven
// with real mouse input.
#include "editor/editor_layout.h"
#include "support/message_box.h"
#include "test_helpers.h"
#include "test_signals.h"
#include "x11_test_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cairo.h>
#include <cmath>
#include <dirent.h>
#include <malloc.h>
#include <thread>

namespace {

const auto* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);

std::string number(int value) {
    return std::to_string(value);
}

// The editor's window lives on a connection of its own, so the server may see its creation or
// destruction a moment after the host asks.
bool childrenBecome(TestHostWindow& host, int count) {
    return pumpUntil([&] { host.sync(); }, [&] { return host.children() == count; }, 1000);
}

// Size of the background artwork, which the editor's rectangle must equal.
void backgroundSize(int& width, int& height) {
    cairo_surface_t* image = cairo_image_surface_create_from_png(
        (std::string(LUMERIC_SOURCE_DIR) + "/resources/bmp00128.png").c_str());
    width = cairo_image_surface_get_width(image);
    height = cairo_image_surface_get_height(image);
    cairo_surface_destroy(image);
}

struct EditorInModule : ::testing::Test {
    void SetUp() override {
        plugin = newInstance();
        ASSERT_NE(plugin, nullptr);
        plugin->start(44100.0f, 512);
        ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, host.handle()), 1);
        idleUntil([&] { return host.pixel(20, 10) != 0; });
        plugin->clearCalls();
    }
    void TearDown() override {
        if (plugin && !plugin->isClosed()) plugin->dispatch(effEditClose);
    }

    bool idleUntil(const std::function<bool()>& condition, int milliseconds = 2000) {
        return pumpUntil([&] { plugin->dispatch(effEditIdle); }, condition, milliseconds);
    }
    void moveTo(int x, int y) {
        ASSERT_TRUE(runXdotool({"mousemove", number(x), number(y)}));
        idleUntil([] { return false; }, 30);
    }
    // A few pixels inside the control's top-left corner.
    void clickOn(int tag) { clickAt(controlWithTag(tag).left + 4, controlWithTag(tag).top + 4); }
    void clickAt(int x, int y) {
        moveTo(x, y);
        ASSERT_TRUE(runXdotool({"click", "1"}));
        idleUntil([] { return false; }, 60);
    }
    std::vector<HostCall> edits() const {
        std::vector<HostCall> found;
        for (const HostCall& call : plugin->calls())
            if (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterEndEdit ||
                call.opcode == audioMasterAutomate)
                found.push_back(call);
        return found;
    }
    VstIntPtr program() { return plugin->dispatch(effGetProgram); }

    TestHostWindow host;
    std::unique_ptr<PluginInstance> plugin;
};

TEST(EditorRect, IsTheBackgroundsSizeBeforeAndAfterOpen) {
    TestHostWindow host;
    auto plugin = newInstance();
    ASSERT_TRUE(plugin->effect()->flags & effFlagsHasEditor);
    int width = 0, height = 0;
    backgroundSize(width, height);
    for (int round = 0; round < 2; ++round) {
        ERect* rect = nullptr;
        ASSERT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->top, 0);
        EXPECT_EQ(rect->left, 0);
        EXPECT_EQ(rect->right, width);
        EXPECT_EQ(rect->bottom, height);
        EXPECT_EQ(plugin->dispatch(effEditOpen, 0, 0, host.handle()), 1);
    }
    // The second open replaced the first window.
    EXPECT_TRUE(childrenBecome(host, 1));
    plugin->dispatch(effEditClose);
    EXPECT_TRUE(childrenBecome(host, 0));
}

TEST(EditorLifetime, OpeningAndClosingAHundredTimesLeavesNothingBehind) {
    TestHostWindow host;
    auto plugin = newInstance();
    auto openAndClose = [&] {
        bool opened = plugin->dispatch(effEditOpen, 0, 0, host.handle()) == 1;
        plugin->dispatch(effEditIdle);
        bool shown = childrenBecome(host, 1);
        plugin->dispatch(effEditClose);
        return opened && shown;
    };
    ASSERT_TRUE(openAndClose()); // warms up the caches of cairo and fontconfig
    const int descriptors = openFileDescriptors();
    const size_t heap = mallinfo2().uordblks;
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(openAndClose());
    EXPECT_TRUE(childrenBecome(host, 0));
    EXPECT_EQ(openFileDescriptors(), descriptors);
    EXPECT_LT(mallinfo2().uordblks, heap + 256 * 1024);
    // Idle and close after close are harmless.
    plugin->dispatch(effEditIdle);
    plugin->dispatch(effEditClose);
}

TEST_F(EditorInModule, ShowsTheBackgroundInTheHostsWindow) {
    EXPECT_TRUE(childrenBecome(host, 1));
    cairo_surface_t* art = cairo_image_surface_create_from_png(
        (std::string(LUMERIC_SOURCE_DIR) + "/resources/bmp00128.png").c_str());
    cairo_surface_flush(art);
    const unsigned char* data = cairo_image_surface_get_data(art);
    const int stride = cairo_image_surface_get_stride(art);
    // Places with no control over the artwork.
    for (auto [x, y] : {std::pair{20, 10}, std::pair{600, 130}, std::pair{12, 540}}) {
        const unsigned expected = *reinterpret_cast<const uint32_t*>(data + y * stride + 4 * x) & 0xffffff;
        EXPECT_EQ(host.pixel(x, y), expected) << x << "," << y;
    }
    cairo_surface_destroy(art);
}

TEST_F(EditorInModule, DraggingAKnobAutomatesItsParameterBetweenBeginAndEndOfEdit) {
    // Volume: anchor (355, 44), a 42 px knob.
    const float before = plugin->getParameter(0);
    moveTo(355, 65);
    ASSERT_TRUE(runXdotool({"mousedown", "1"}));
    ASSERT_TRUE(idleUntil([&] { return plugin->countCalls(audioMasterBeginEdit) == 1; }));
    for (int step = 1; step <= 4; ++step) {
        moveTo(355, 65 - 10 * step);
        ASSERT_TRUE(idleUntil([&] { return plugin->countCalls(audioMasterAutomate) == size_t(step); }));
    }
    ASSERT_TRUE(runXdotool({"mouseup", "1"}));
    ASSERT_TRUE(idleUntil([&] { return plugin->countCalls(audioMasterEndEdit) == 1; }));
    const auto calls = edits();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls.back().opcode, audioMasterEndEdit);
    float previous = before;
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].index, 0);
        if (i == 0 || i + 1 == calls.size()) continue;
        EXPECT_EQ(calls[i].opcode, audioMasterAutomate);
        EXPECT_GT(calls[i].opt, previous);
        EXPECT_LE(calls[i].opt, 1.0f);
        previous = calls[i].opt;
    }
    EXPECT_EQ(plugin->getParameter(0), previous);
}

TEST_F(EditorInModule, BypassAndMonoToggleTheirParameters) {
    for (int parameter : {kBypass, kMono}) {
        plugin->clearCalls();
        ASSERT_EQ(plugin->getParameter(parameter), 0.0f);
        clickOn(parameter);
        ASSERT_TRUE(idleUntil([&] { return plugin->getParameter(parameter) == 1.0f; }));
        clickOn(parameter);
        ASSERT_TRUE(idleUntil([&] { return plugin->getParameter(parameter) == 0.0f; }));
        const auto calls = edits();
        ASSERT_EQ(calls.size(), 6u);
        for (int click = 0; click < 2; ++click) {
            EXPECT_EQ(calls[3 * click].opcode, audioMasterBeginEdit);
            EXPECT_EQ(calls[3 * click + 1].opcode, audioMasterAutomate);
            EXPECT_EQ(calls[3 * click + 1].opt, click == 0 ? 1.0f : 0.0f);
            EXPECT_EQ(calls[3 * click + 2].opcode, audioMasterEndEdit);
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(calls[3 * click + i].index, parameter);
        }
    }
}

TEST_F(EditorInModule, SteppingButtonsMoveThroughProgramsAndStopAtTheEnds) {
    clickOn(kTagNextProgram);
    ASSERT_TRUE(idleUntil([&] { return program() == 1; }));
    EXPECT_GE(plugin->countCalls(audioMasterUpdateDisplay), 1u);
    clickOn(kTagPreviousProgram);
    ASSERT_TRUE(idleUntil([&] { return program() == 0; }));
    clickOn(kTagPreviousProgram);
    idleUntil([] { return false; }, 100);
    EXPECT_EQ(program(), 0);

    plugin->dispatch(effSetProgram, 0, 126);
    plugin->dispatch(effEditIdle); // the list follows the host
    clickOn(kTagNextProgram);
    ASSERT_TRUE(idleUntil([&] { return program() == 127; }));
    plugin->setParameter(0, 0.25f); // a live change, which re-selecting the program keeps
    clickOn(kTagNextProgram);
    idleUntil([] { return false; }, 100);
    EXPECT_EQ(program(), 127);
    EXPECT_EQ(plugin->getParameter(0), 0.25f);
    EXPECT_EQ(edits().size(), 0u);
}

TEST_F(EditorInModule, MenuAndButtonTagsNeverReachTheHostAsEdits) {
    FakeDialogProgram zenity("zenity", 1); // answers "No" and cancels
    for (int tag : {kTagSpectrum, kTagScope, kTagNextProgram, kTagLed})
        clickOn(tag);
    clickOn(kTagFileMenu); // the file menu pops up ...
    ASSERT_TRUE(runXdotool({"key", "Escape"}));
    idleUntil([] { return false; }, 60);
    clickOn(kTagAbout); // the about image shows ...
    clickAt(100, 100);  // ... and a click hides it, asking about the web site
    ASSERT_TRUE(idleUntil([&] { return zenity.runs().size() == 1; }));
    EXPECT_EQ(zenity.runs()[0][0], "--question");
    EXPECT_EQ(edits().size(), 0u);
    EXPECT_EQ(program(), 1);
}

// Fills the analyser while audio runs on a thread of its own, as in a host.
class AudioThread {
  public:
    explicit AudioThread(PluginInstance& plugin) : plugin(plugin), thread([this] { run(); }) {}
    ~AudioThread() {
        running = false;
        thread.join();
    }

  private:
    void run() {
        const size_t block = 512;
        std::vector<float> noise = uniformNoise(44100, 7, 0.05f);
        std::vector<float> left(block), right(block);
        size_t at = 0;
        while (running) {
            for (size_t i = 0; i < block; ++i, ++at) {
                const double t = at / 44100.0;
                const float bass = 0.4f * static_cast<float>(std::sin(2 * M_PI * 70 * t));
                const float mid = 0.15f * static_cast<float>(std::sin(2 * M_PI * 900 * t));
                const float high = 0.06f * static_cast<float>(std::sin(2 * M_PI * 6000 * t));
                const float wide = 0.1f * static_cast<float>(std::sin(2 * M_PI * 2500 * t));
                left[i] = bass + mid + high + wide + noise[at % noise.size()];
                right[i] = bass + 0.7f * mid - high - wide + noise[(at + 5000) % noise.size()];
            }
            plugin.process(left.data(), right.data(), static_cast<VstInt32>(block));
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
        }
    }

    PluginInstance& plugin;
    std::atomic<bool> running{true};
    std::thread thread;
};

TEST_F(EditorInModule, ScreenshotsOfBothAnalyserModesWhileAudioRuns) {
    plugin->setParameter(2, 0.6f);  // dynamic fat bass, for the meter
    plugin->setParameter(6, 0.5f);  // virtual surround, for the scope
    plugin->setParameter(19, 0.8f); // high widener
    const std::string spectrum = std::string(LUMERIC_BINARY_DIR) + "/editor_spectrum.png";
    const std::string scope = std::string(LUMERIC_BINARY_DIR) + "/editor_scope.png";
    {
        AudioThread audio(*plugin);
        idleUntil([] { return false; }, 1500);
        ASSERT_TRUE(host.savePng(spectrum));
        const unsigned analyser = host.pixel(420, 500);
        clickOn(kTagScope);
        idleUntil([] { return false; }, 3000);
        ASSERT_TRUE(host.savePng(scope));
        // The scope's dark panel replaced the spectrum's backdrop.
        EXPECT_NE(host.pixel(420, 500), analyser);
    }
    for (const std::string& path : {spectrum, scope}) {
        cairo_surface_t* image = cairo_image_surface_create_from_png(path.c_str());
        EXPECT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS) << path;
        EXPECT_EQ(cairo_image_surface_get_width(image), 828);
        cairo_surface_destroy(image);
    }
}

} // namespace
