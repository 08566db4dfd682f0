#include "host_window.h"

#include <cstdlib>

#include "tools/hostlib/plugin_host.h"

#ifdef LUMERIC_HAS_GUI
#include <chrono>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

bool displayReachable() {
    xcb_connection_t* probe = xcb_connect(nullptr, nullptr);
    const bool reachable = !xcb_connection_has_error(probe);
    xcb_disconnect(probe);
    return reachable;
}

// An Xvfb of this test program's own, on a display it picks; it ends with the program.
class PrivateXServer {
  public:
    bool start(std::string* why) {
        std::string number;
        // Servers started at the same moment by other test programs may race for a display: try again.
        for (int attempt = 0; attempt < 5 && number.empty(); ++attempt) {
            number = launch();
            if (number.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100 + 150 * attempt));
        }
        if (number.empty()) {
            *why = "Xvfb did not start (is the xvfb package installed?)";
            return false;
        }
        number.erase(number.find_last_not_of("\n") + 1);
        setenv("DISPLAY", (":" + number).c_str(), 1);
        // The server may still be setting up its screen after it named the display.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!displayReachable()) {
            if (std::chrono::steady_clock::now() > end) {
                *why = "cannot reach Xvfb on :" + number;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    ~PrivateXServer() {
        if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
        }
    }

  private:
    std::string launch() {
        int fds[2];
        if (pipe(fds) != 0) return "";
        server = fork();
        if (server < 0) return "";
        if (server == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM); // no server outlives a crashed test program
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
                   "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char number[32] = {};
        const ssize_t length = read(fds[0], number, sizeof number - 1);
        close(fds[0]);
        if (length <= 0) {
            waitpid(server, nullptr, 0);
            server = -1;
            return "";
        }
        return std::string(number, static_cast<size_t>(length));
    }
    pid_t server = -1;
};

// The display to use: $DISPLAY when set, else a private Xvfb started on first use. Empty when there is one.
const std::string& displayProblem() {
    static const std::string problem = [] {
        std::string why;
        if (std::getenv("DISPLAY")) return displayReachable() ? why : "cannot connect to $DISPLAY";
        static PrivateXServer server;
        server.start(&why);
        return why;
    }();
    return problem;
}

} // namespace

HostWindow::HostWindow(int width, int height) {
    reason = displayProblem();
    if (!reason.empty()) return;
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

std::string editorUnavailableReason(PluginInstance& plugin) {
    if (!(plugin.effect()->flags & effFlagsHasEditor)) return "the module has no editor yet";
    return displayProblem();
}

#else

HostWindow::HostWindow(int, int) : reason("built without the widget layer") {}
HostWindow::~HostWindow() = default;
void HostWindow::destroy() {}

std::string editorUnavailableReason(PluginInstance& plugin) {
    if (!(plugin.effect()->flags & effFlagsHasEditor)) return "the module has no editor yet";
    return "built without the widget layer";
}

#endif
