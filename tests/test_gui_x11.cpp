// The frame as a real child window under Xvfb, driven with real input (xdotool, which uses XTest).
#include "gui_test_frame.h"
#include "support/subprocess.h"
#include "x11_test_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <functional>
#include <malloc.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

const auto* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);

void xdotool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {"xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ProgramResult result = runProgram(argv);
    ASSERT_TRUE(result.launched && result.exitStatus == 0) << "xdotool " << arguments[0];
}

std::string number(CCoord value) {
    return std::to_string(static_cast<long>(value));
}

// A top-level window standing in for the host's editor window, at the screen's top-left corner.
class HostWindow {
  public:
    HostWindow(int width = 828, int height = 554) {
        connection = xcb_connect(nullptr, nullptr);
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        root = screen->root;
        window = xcb_generate_id(connection);
        uint32_t values[] = {screen->black_pixel, 1};
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, 0, 0, static_cast<uint16_t>(width),
                          static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(connection, window);
        sync();
    }
    ~HostWindow() {
        if (window) xcb_destroy_window(connection, window);
        xcb_disconnect(connection);
    }
    void destroy() {
        xcb_destroy_window(connection, window);
        window = 0;
        sync();
    }
    void sync() {
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
    int children() {
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
        int count = tree ? xcb_query_tree_children_length(tree) : -1;
        std::free(tree);
        return count;
    }
    // A pixel of the frame's window as the X server holds it, 0xRRGGBB.
    unsigned windowPixel(unsigned long child, int x, int y) {
        return drawablePixel(connection, static_cast<xcb_drawable_t>(child), x, y);
    }
    void* handle() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }

    xcb_connection_t* connection;
    xcb_window_t root;
    xcb_window_t window;
};

struct X11Frame : ::testing::Test {
    void SetUp() override {
        frame = new CFrame(CRect(0, 0, 828, 554), host.handle(), &editor);
        ASSERT_TRUE(frame->isWindowOpen());
        layout = buildEditorLayout(frame, bitmaps, &listener);
        pumpUntil([&] { return frame->getRedrawCount() > 0; });
    }
    void TearDown() override { delete frame; }

    // Runs the frame's idle as a host would, until the condition holds or a second has passed.
    bool pumpUntil(const std::function<bool()>& condition, int milliseconds = 1000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        do {
            frame->idle();
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }
    void moveTo(CCoord x, CCoord y) {
        xdotool({"mousemove", number(x), number(y)});
        pumpUntil([&] { return frame->getMousePosition() == CPoint(x, y); });
    }
    void clickAt(CCoord x, CCoord y, size_t expectedEvents) {
        moveTo(x, y);
        xdotool({"click", "1"});
        pumpUntil([&] { return listener.events.size() >= expectedEvents; });
    }
    CPoint centreOf(CView* view) {
        const CRect& r = view->getViewSize();
        return CPoint(r.left + r.width() / 2, r.top + r.height() / 2);
    }

    HostWindow host;
    EditorBitmaps bitmaps;
    RecordingListener listener;
    RecordingEditor editor;
    CFrame* frame = nullptr;
    EditorLayout layout;
};

TEST_F(X11Frame, WindowShowsTheFrameImage) {
    EXPECT_EQ(host.children(), 1);
    for (CPoint probe : {CPoint(20, 10), CPoint(355, 65), CPoint(600, 400), CPoint(700, 540)}) {
        int x = static_cast<int>(probe.h), y = static_cast<int>(probe.v);
        EXPECT_EQ(host.windowPixel(frame->getWindowId(), x, y), pixelAt(frame, x, y));
    }
}

TEST_F(X11Frame, DraggingAKnobChangesItsValueBetweenBeginAndEndOfEdit) {
    CAnimKnob* volume = layout.knobs[18];
    CPoint centre = centreOf(volume);
    moveTo(centre.h, centre.v);
    xdotool({"mousedown", "1"});
    pumpUntil([&] { return listener.count("begin") == 1; });
    for (int step = 1; step <= 4; ++step)
        moveTo(centre.h, centre.v - 10 * step);
    xdotool({"mouseup", "1"});
    ASSERT_TRUE(pumpUntil([&] { return listener.count("end") == 1; }));
    EXPECT_NEAR(volume->getValue(), 0.7f, 1e-5);
    EXPECT_EQ(listener.events.front(), "begin 0");
    EXPECT_EQ(listener.events.back(), "end 0");
    EXPECT_EQ(listener.count("value 0"), 4);
    EXPECT_EQ(editor.events, (std::vector<std::string>{"begin 0", "end 0"}));
    // The wheel steps it.
    moveTo(centre.h, centre.v);
    xdotool({"click", "4"});
    ASSERT_TRUE(pumpUntil([&] { return listener.count("value 0") == 5; }));
    EXPECT_NEAR(volume->getValue(), 0.72f, 1e-5);
}

TEST_F(X11Frame, KickButtonReportsOncePerClickAndOnOffButtonToggles) {
    CPoint next = centreOf(layout.next);
    clickAt(next.h, next.v, 3);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"begin 101", "value 101 0", "end 101"}));
    listener.clear();
    CPoint bypass = centreOf(layout.bypass);
    clickAt(bypass.h, bypass.v, 3);
    clickAt(bypass.h, bypass.v, 6);
    EXPECT_EQ(listener.values, (std::vector<float>{1, 0}));
}

TEST_F(X11Frame, OptionMenuPopsUpAndAClickOnAnEntrySelectsIt) {
    CPoint list = centreOf(layout.programList);
    moveTo(list.h, list.v);
    xdotool({"click", "1"});
    ASSERT_TRUE(pumpUntil([&] { return layout.programList->isPopupOpen(); }));
    auto* popup = dynamic_cast<CMenuPopup*>(frame->getModalView());
    ASSERT_NE(popup, nullptr);
    CRect entry = popup->entryRect(40);
    clickAt(entry.left + 30, entry.top + 9, 3);
    EXPECT_EQ(listener.count("value 100 40"), 1);
    EXPECT_FALSE(layout.programList->isPopupOpen());
    EXPECT_EQ(layout.programList->getValue(), 40.0f);

    // The keys work in an open menu.
    CPoint file = centreOf(layout.fileMenu);
    moveTo(file.h - 10, file.v);
    xdotool({"click", "1"});
    ASSERT_TRUE(pumpUntil([&] { return layout.fileMenu->isPopupOpen(); }));
    xdotool({"key", "Down", "Return"});
    ASSERT_TRUE(pumpUntil([&] { return listener.count("value 105") == 1; }));
    EXPECT_EQ(listener.count("value 105 1"), 1);
}

TEST_F(X11Frame, TooltipAppearsAfterItsDelay) {
    CPoint knob = centreOf(layout.knobs[19]);
    moveTo(knob.h, knob.v);
    auto rested = std::chrono::steady_clock::now();
    pumpUntil([] { return false; }, 500);
    EXPECT_FALSE(layout.tooltips->isShowing());
    ASSERT_TRUE(pumpUntil([&] { return layout.tooltips->isShowing(); }, 1500));
    EXPECT_GE(std::chrono::steady_clock::now() - rested, std::chrono::milliseconds(1000));
    EXPECT_EQ(layout.tooltips->getShownText(), "Help text of DynamicFatBass");
    CRect box = layout.tooltips->getTooltipRect();
    int x = static_cast<int>(box.left + 3), y = static_cast<int>(box.top + 3);
    EXPECT_EQ(host.windowPixel(frame->getWindowId(), x, y), pixelAt(frame, x, y));
}

TEST(X11FrameLifetime, OpeningAndClosingAHundredTimesLeavesNothingBehind) {
    HostWindow host;
    EditorBitmaps bitmaps;
    RecordingListener listener;
    auto openAndClose = [&] {
        CFrame* frame = new CFrame(CRect(0, 0, 828, 554), host.handle(), nullptr);
        buildEditorLayout(frame, bitmaps, &listener);
        frame->idle();
        bool open = frame->isWindowOpen();
        delete frame;
        return open;
    };
    ASSERT_TRUE(openAndClose()); // warms up the caches of cairo and fontconfig
    int descriptors = openFileDescriptors();
    size_t heap = mallinfo2().uordblks;
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(openAndClose());
    host.sync();
    EXPECT_EQ(host.children(), 0);
    EXPECT_EQ(openFileDescriptors(), descriptors);
    EXPECT_LT(mallinfo2().uordblks, heap + 256 * 1024);
}

TEST(X11FrameLifetime, SurvivesTheHostDestroyingItsWindowFirstAndASecondOpen) {
    HostWindow host;
    CFrame* first = new CFrame(CRect(0, 0, 200, 100), host.handle(), nullptr);
    CFrame* second = new CFrame(CRect(0, 0, 200, 100), host.handle(), nullptr);
    first->idle();
    second->idle();
    EXPECT_EQ(host.children(), 2);
    delete second;
    host.sync();
    EXPECT_EQ(host.children(), 1);
    host.destroy();
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (first->isWindowOpen() && std::chrono::steady_clock::now() < end) {
        first->idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(first->isWindowOpen());
    unsigned long redraws = first->getRedrawCount();
    first->invalid();
    first->idle(); // draws nothing for a window that is gone
    EXPECT_EQ(first->getRedrawCount(), redraws);
    delete first;
    // A window id that never existed behaves the same.
    CFrame* orphan = new CFrame(CRect(0, 0, 50, 50), reinterpret_cast<void*>(0x7ffffff), nullptr);
    EXPECT_FALSE(orphan->isWindowOpen());
    orphan->idle();
    delete orphan;
}

} // namespace
