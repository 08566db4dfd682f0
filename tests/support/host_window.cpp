#include "host_window.h"

#include <cstdlib>

#include "tools/hostlib/plugin_host.h"

#ifdef LUMERIC_HAS_GUI
#include <xcb/xcb.h>

HostWindow::HostWindow(int width, int height) {
    if (!std::getenv("DISPLAY")) {
        reason = "no X display (DISPLAY is not set)";
        return;
    }
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        xcb_disconnect(x);
        reason = "cannot connect to the X display";
        return;
    }
    connection = x;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    window = xcb_generate_id(x);
    xcb_create_window(x, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, static_cast<uint16_t>(width),
                      static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0,
                      nullptr);
    xcb_map_window(x, window);
    xcb_flush(x);
}

HostWindow::~HostWindow() {
    destroy();
    if (connection) xcb_disconnect(static_cast<xcb_connection_t*>(connection));
}

void HostWindow::destroy() {
    if (!window) return;
    auto* x = static_cast<xcb_connection_t*>(connection);
    xcb_destroy_window(x, window);
    free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr)); // round trip: it is gone
    window = 0;
}

#else

HostWindow::HostWindow(int, int) : reason("built without the widget layer") {}
HostWindow::~HostWindow() = default;
void HostWindow::destroy() {}

#endif

std::string editorUnavailableReason(PluginInstance& plugin) {
    if (!(plugin.effect()->flags & effFlagsHasEditor)) return "the module has no editor yet";
#ifndef LUMERIC_HAS_GUI
    return "built without the widget layer";
#else
    if (!std::getenv("DISPLAY")) return "no X display (DISPLAY is not set)";
    return "";
#endif
}
