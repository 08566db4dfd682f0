// A child window inside the host's X11 window, on an xcb connection of its own. xcb reports errors per
// request, so a window the host already destroyed costs an ignored error, never the host's process.
#pragma once

#include "gui/cgeometry.h"
#include "gui/vstkeys.h"

#include <vector>

typedef struct _cairo_surface cairo_surface_t;
typedef struct xcb_connection_t xcb_connection_t;

struct WindowEvent {
    enum Type { kNone, kMouseDown, kMouseUp, kMouseMoved, kWheel, kKeyDown, kKeyUp, kExpose, kMouseLeft };
    Type type = kNone;
    CPoint where;
    long buttons = 0; // CButton bits
    float distance = 0;
    CKeyCode key{0, 0, 0};
    CRect area;
};

// The desktop's scale for applications: GDK_SCALE when set, else the X server's Xft.dpi resource over 96;
// 0 when neither says anything.
double desktopScaleFactor();

class X11Window {
  public:
    X11Window(unsigned long parent, int width, int height);
    ~X11Window();
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    // False when no X server was reached or the window is gone.
    bool isOpen() const;
    unsigned long getWindowId() const { return window; }
    // The next input or expose event, false when none is pending.
    bool nextEvent(WindowEvent& event);
    // Shows the area of the image (the window's size) in the window.
    void present(cairo_surface_t* image, const CRect& area);
    // Gives the window a new size in pixels.
    void resize(int width, int height);
    // Takes the keyboard, remembering who had it; releaseFocus gives it back.
    void takeFocus();
    void releaseFocus();

  private:
    CKeyCode translateKey(unsigned char keycode, unsigned int state) const;

    xcb_connection_t* connection = nullptr;
    unsigned int window = 0;
    cairo_surface_t* surface = nullptr;
    bool destroyed = false;
    unsigned int previousFocus = 0;
    unsigned char firstKeycode = 0;
    int keysymsPerKeycode = 0;
    std::vector<unsigned int> keysyms;
};
