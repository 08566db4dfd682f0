#include "gui/x11_window.h"

#include "gui/cview.h"
#include "gui/vstkeys.h"

#include <cairo-xcb.h>
#include <algorithm>
#include <cairo.h>
#include <cstdlib>
#include <string>
#include <xcb/xcb.h>

namespace {
xcb_visualtype_t* findVisual(xcb_screen_t* screen, xcb_visualid_t id) {
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem; xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
             xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == id) return visuals.data;
        }
    }
    return nullptr;
}

long buttonsFromState(unsigned int state) {
    long buttons = 0;
    if (state & XCB_MOD_MASK_SHIFT) buttons |= kShift;
    if (state & XCB_MOD_MASK_CONTROL) buttons |= kControl;
    if (state & XCB_MOD_MASK_1) buttons |= kAlt;
    if (state & XCB_BUTTON_MASK_1) buttons |= kLButton;
    if (state & XCB_BUTTON_MASK_2) buttons |= kMButton;
    if (state & XCB_BUTTON_MASK_3) buttons |= kRButton;
    return buttons;
}

long buttonBit(unsigned char detail) {
    switch (detail) {
    case 1:
        return kLButton;
    case 2:
        return kMButton;
    case 3:
        return kRButton;
    default:
        return 0;
    }
}
// The Xft.dpi entry of the server's resource database (the root window's RESOURCE_MANAGER text); 0 if none.
double serverDpi() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    double dpi = 0;
    xcb_screen_t* screen = xcb_connection_has_error(connection)
                               ? nullptr
                               : xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (screen) {
        constexpr uint32_t kLongestDatabase = 1 << 20; // in 32-bit units
        auto cookie = xcb_get_property(connection, 0, screen->root, XCB_ATOM_RESOURCE_MANAGER,
                                       XCB_ATOM_STRING, 0, kLongestDatabase);
        if (xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
            const std::string database(static_cast<const char*>(xcb_get_property_value(reply)),
                                       static_cast<size_t>(xcb_get_property_value_length(reply)));
            for (size_t line = 0; line < database.size();) {
                const size_t end = std::min(database.find('\n', line), database.size());
                if (database.compare(line, 8, "Xft.dpi:") == 0)
                    dpi = std::atof(database.substr(line + 8, end - line - 8).c_str());
                line = end + 1;
            }
            std::free(reply);
        }
    }
    xcb_disconnect(connection);
    return dpi > 0 ? dpi : 0;
}
} // namespace

double desktopScaleFactor() {
    constexpr double kStandardDpi = 96;
    const char* gdkScale = std::getenv("GDK_SCALE");
    if (gdkScale && *gdkScale) {
        const double scale = std::atof(gdkScale);
        if (scale > 0) return scale;
    }
    return serverDpi() / kStandardDpi;
}

X11Window::X11Window(unsigned long parent, int width, int height) {
    int screenNumber = 0;
    connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) return;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    xcb_screen_t* screen = screens.data;
    if (!screen) return;

    window = xcb_generate_id(connection);
    uint32_t mask = XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP;
    uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 0,
                         XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                             XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
                             XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                             XCB_EVENT_MASK_LEAVE_WINDOW | XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                         screen->default_colormap};
    // The root's visual, stated explicitly, works whatever visual the host gave its own window.
    xcb_void_cookie_t created =
        xcb_create_window_checked(connection, screen->root_depth, window, static_cast<xcb_window_t>(parent),
                                  0, 0, static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0,
                                  XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, mask, values);
    if (xcb_generic_error_t* error = xcb_request_check(connection, created)) {
        std::free(error);
        destroyed = true;
        return;
    }
    xcb_map_window(connection, window);

    xcb_visualtype_t* visual = findVisual(screen, screen->root_visual);
    if (visual) surface = cairo_xcb_surface_create(connection, window, visual, width, height);

    firstKeycode = setup->min_keycode;
    auto cookie = xcb_get_keyboard_mapping(connection, setup->min_keycode,
                                           static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1));
    if (xcb_get_keyboard_mapping_reply_t* reply =
            xcb_get_keyboard_mapping_reply(connection, cookie, nullptr)) {
        keysymsPerKeycode = reply->keysyms_per_keycode;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
        keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply));
        std::free(reply);
    }
    xcb_flush(connection);
}

X11Window::~X11Window() {
    if (surface) {
        cairo_device_t* device = cairo_device_reference(cairo_surface_get_device(surface));
        cairo_surface_destroy(surface);
        // cairo keeps state per connection; it must let go before the connection closes.
        if (device) {
            cairo_device_finish(device);
            cairo_device_destroy(device);
        }
    }
    if (connection) {
        if (window && !destroyed) {
            xcb_destroy_window(connection, window);
            // A round trip: the window is gone on the server before the host regains control (its own
            // connection may look at its children right after the editor closed).
            std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
        }
        xcb_flush(connection);
        xcb_disconnect(connection);
    }
}

bool X11Window::isOpen() const {
    return connection && !xcb_connection_has_error(connection) && window && !destroyed;
}

CKeyCode X11Window::translateKey(unsigned char keycode, unsigned int state) const {
    CKeyCode key{0, 0, 0};
    if (state & XCB_MOD_MASK_SHIFT) key.modifier |= MODIFIER_SHIFT;
    if (state & XCB_MOD_MASK_1) key.modifier |= MODIFIER_ALTERNATE;
    if (state & XCB_MOD_MASK_CONTROL) key.modifier |= MODIFIER_CONTROL;
    if (keysymsPerKeycode <= 0 || keycode < firstKeycode) return key;
    size_t index = static_cast<size_t>(keycode - firstKeycode) * keysymsPerKeycode;
    if (index >= keysyms.size()) return key;
    unsigned int keysym = keysyms[index];
    if ((state & XCB_MOD_MASK_SHIFT) && keysymsPerKeycode > 1 && keysyms[index + 1] != 0)
        keysym = keysyms[index + 1];
    switch (keysym) {
    case 0xff08:
        key.virt = VKEY_BACK;
        break;
    case 0xff09:
        key.virt = VKEY_TAB;
        break;
    case 0xff0d:
        key.virt = VKEY_RETURN;
        break;
    case 0xff1b:
        key.virt = VKEY_ESCAPE;
        break;
    case 0xff50:
        key.virt = VKEY_HOME;
        break;
    case 0xff51:
        key.virt = VKEY_LEFT;
        break;
    case 0xff52:
        key.virt = VKEY_UP;
        break;
    case 0xff53:
        key.virt = VKEY_RIGHT;
        break;
    case 0xff54:
        key.virt = VKEY_DOWN;
        break;
    case 0xff55:
        key.virt = VKEY_PAGEUP;
        break;
    case 0xff56:
        key.virt = VKEY_PAGEDOWN;
        break;
    case 0xff57:
        key.virt = VKEY_END;
        break;
    case 0xff8d:
        key.virt = VKEY_ENTER;
        break;
    case 0x0020:
        key.virt = VKEY_SPACE;
        key.character = ' ';
        break;
    default:
        if (keysym > 0x20 && keysym < 0x7f) key.character = static_cast<int32_t>(keysym);
        break;
    }
    return key;
}

bool X11Window::nextEvent(WindowEvent& event) {
    if (!connection || xcb_connection_has_error(connection)) return false;
    while (xcb_generic_event_t* generic = xcb_poll_for_event(connection)) {
        event = WindowEvent();
        uint8_t type = generic->response_type & 0x7f;
        switch (type) {
        case 0: // an error of an earlier request (say, on a window the host destroyed): nothing to do
            break;
        case XCB_EXPOSE: {
            auto* expose = reinterpret_cast<xcb_expose_event_t*>(generic);
            event.type = WindowEvent::kExpose;
            event.area = CRect(expose->x, expose->y, expose->x + expose->width, expose->y + expose->height);
            break;
        }
        case XCB_BUTTON_PRESS:
        case XCB_BUTTON_RELEASE: {
            auto* press = reinterpret_cast<xcb_button_press_event_t*>(generic);
            if (press->event != window) break;
            event.where = CPoint(press->event_x, press->event_y);
            // The state holds the buttons as they were before this event.
            event.buttons = buttonsFromState(press->state);
            if (press->detail >= 4 && press->detail <= 7) {
                if (type == XCB_BUTTON_PRESS && press->detail <= 5) {
                    event.type = WindowEvent::kWheel;
                    event.distance = press->detail == 4 ? 1.0f : -1.0f;
                }
                break;
            }
            if (type == XCB_BUTTON_PRESS) {
                event.type = WindowEvent::kMouseDown;
                event.buttons |= buttonBit(press->detail);
            } else {
                event.type = WindowEvent::kMouseUp;
                event.buttons &= ~buttonBit(press->detail);
            }
            break;
        }
        case XCB_MOTION_NOTIFY: {
            auto* motion = reinterpret_cast<xcb_motion_notify_event_t*>(generic);
            event.type = WindowEvent::kMouseMoved;
            event.where = CPoint(motion->event_x, motion->event_y);
            event.buttons = buttonsFromState(motion->state);
            break;
        }
        case XCB_LEAVE_NOTIFY:
            event.type = WindowEvent::kMouseLeft;
            break;
        case XCB_KEY_PRESS:
        case XCB_KEY_RELEASE: {
            auto* key = reinterpret_cast<xcb_key_press_event_t*>(generic);
            event.type = type == XCB_KEY_PRESS ? WindowEvent::kKeyDown : WindowEvent::kKeyUp;
            event.key = translateKey(key->detail, key->state);
            break;
        }
        case XCB_DESTROY_NOTIFY:
            if (reinterpret_cast<xcb_destroy_notify_event_t*>(generic)->window == window) destroyed = true;
            break;
        default:
            break;
        }
        std::free(generic);
        if (event.type != WindowEvent::kNone) return true;
    }
    return false;
}

void X11Window::present(cairo_surface_t* image, const CRect& area) {
    if (!surface || !isOpen() || area.isEmpty()) return;
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, area.left, area.top, area.width(), area.height());
    cairo_clip(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    xcb_flush(connection);
}

void X11Window::resize(int width, int height) {
    if (!isOpen() || width <= 0 || height <= 0) return;
    const uint32_t size[] = {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
    xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    if (surface) cairo_xcb_surface_set_size(surface, width, height);
    xcb_flush(connection);
}

void X11Window::takeFocus() {
    if (!isOpen()) return;
    if (xcb_get_input_focus_reply_t* focus =
            xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)) {
        previousFocus = focus->focus;
        std::free(focus);
    }
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    xcb_flush(connection);
}

void X11Window::releaseFocus() {
    if (!isOpen() || previousFocus == 0 || previousFocus == window) return;
    // A window that has gone meanwhile only costs an ignored error.
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, previousFocus, XCB_CURRENT_TIME);
    xcb_flush(connection);
    previousFocus = 0;
}
