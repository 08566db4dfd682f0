// What the editor tests under Xvfb share: the server, a window standing in for the host's, real input
// through xdotool, and pictures of what the server shows.
#pragma once

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <xcb/xcb.h>

// Starts Xvfb on a free display for the whole test program (register it with AddGlobalTestEnvironment).
class XvfbServer : public ::testing::Environment {
  public:
    void SetUp() override;
    void TearDown() override;

  private:
    int server = -1;
};

// Runs xdotool (found on PATH when the server started, so a fake PATH of a dialog test does not hide it).
bool runXdotool(const std::vector<std::string>& arguments);

// Calls idle every 5 ms until the condition holds or the time is up; true when it held.
bool pumpUntil(const std::function<void()>& idle, const std::function<bool()>& condition,
               int milliseconds = 2000);

// How many file descriptors this process has open (leak checks around open/close cycles).
int openFileDescriptors();

// A top-level window at the screen's top-left corner, as a host makes for an editor.
class TestHostWindow {
  public:
    explicit TestHostWindow(int width = 828, int height = 554);
    ~TestHostWindow();
    void* handle() const;
    void sync();
    int children();
    // Destroys the window as a host may do before it closes the editor.
    void destroy();
    // One pixel of what the server shows in the window, 0xRRGGBB.
    unsigned pixel(int x, int y);
    // The window's content as the server holds it, written as a PNG; false when it could not be read.
    bool savePng(const std::string& path);

    xcb_connection_t* connection;
    xcb_window_t window;
    int width, height;
};

// One pixel of any window (the root: the screen), 0xRRGGBB.
unsigned windowPixel(xcb_connection_t* connection, xcb_window_t window, int x, int y);
// The top-left width × height of any window (the root: the screen) as a PNG; false when it could not be read.
bool saveWindowPng(xcb_connection_t* connection, xcb_window_t window, int width, int height,
                   const std::string& path);
