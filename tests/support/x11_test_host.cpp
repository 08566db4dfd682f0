#include "x11_test_host.h"

#include <cairo.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/subprocess.h"

namespace {

std::string xdotoolPath = "xdotool";

std::string findOnPath(const char* name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return name;
}

// Starts Xvfb, which picks a free display and names it; empty when it did not start.
std::string startServer(int& server) {
    int fds[2];
    if (pipe(fds) != 0) return "";
    server = fork();
    if (server < 0) return "";
    if (server == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); // no server outlives a crashed test program
        close(fds[0]);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1200x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // The server writes the number and the newline separately and dies if the pipe closes in between.
    std::string text;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        text += c;
    close(fds[0]);
    if (text.empty() || c != '\n') {
        waitpid(server, nullptr, 0);
        server = -1;
        return "";
    }
    return text;
}

// True when the display answers while our server is still running.
bool serverAnswers(int server) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(server, nullptr, WNOHANG) != 0) return false;
        xcb_connection_t* probe = xcb_connect(nullptr, nullptr);
        const bool reachable = !xcb_connection_has_error(probe);
        xcb_disconnect(probe);
        if (reachable) return waitpid(server, nullptr, WNOHANG) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace

void XvfbServer::SetUp() {
    xdotoolPath = findOnPath("xdotool");
    std::string display;
    // Servers started at the same moment by other test programs may race for a display: a server that
    // lost the race exits, and then the display may be somebody else's. Start another one.
    for (int attempt = 0; attempt < 8 && display.empty(); ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100 + 150 * attempt));
        const std::string number = startServer(server);
        if (number.empty()) continue;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        if (serverAnswers(server)) {
            display = ":" + number;
        } else if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
            server = -1;
        }
    }
    ASSERT_FALSE(display.empty()) << "Xvfb did not start (is the xvfb package installed?)";
}

void XvfbServer::TearDown() {
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
}

bool runXdotool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {xdotoolPath};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ProgramResult result = runProgram(argv);
    return result.launched && result.exitStatus == 0;
}

bool pumpUntil(const std::function<void()>& idle, const std::function<bool()>& condition, int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        idle();
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

TestHostWindow::TestHostWindow(int windowWidth, int windowHeight) : width(windowWidth), height(windowHeight) {
    connection = xcb_connect(nullptr, nullptr);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    window = xcb_generate_id(connection);
    uint32_t values[] = {screen->black_pixel, 1};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0,
                      static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(connection, window);
    sync();
}

TestHostWindow::~TestHostWindow() {
    if (window) xcb_destroy_window(connection, window);
    xcb_disconnect(connection);
}

void* TestHostWindow::handle() const {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(window));
}

void TestHostWindow::sync() {
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

int TestHostWindow::children() {
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
    int count = tree ? xcb_query_tree_children_length(tree) : -1;
    std::free(tree);
    return count;
}

void TestHostWindow::destroy() {
    xcb_destroy_window(connection, window);
    window = 0;
    sync();
}

int openFileDescriptors() {
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return static_cast<int>(std::distance(begin(entries), end(entries)));
}

unsigned TestHostWindow::pixel(int x, int y) {
    return windowPixel(connection, window, x, y);
}

unsigned windowPixel(xcb_connection_t* connection, xcb_window_t window, int x, int y) {
    xcb_get_image_reply_t* image =
        xcb_get_image_reply(connection,
                            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window,
                                          static_cast<int16_t>(x), static_cast<int16_t>(y), 1, 1, ~0u),
                            nullptr);
    unsigned value = 0xffffffffu;
    if (image && xcb_get_image_data_length(image) >= 4)
        value = *reinterpret_cast<const uint32_t*>(xcb_get_image_data(image)) & 0xffffff;
    std::free(image);
    return value;
}

bool TestHostWindow::savePng(const std::string& path) {
    return saveWindowPng(connection, window, width, height, path);
}

bool saveWindowPng(xcb_connection_t* connection, xcb_window_t window, int width, int height,
                   const std::string& path) {
    xcb_get_image_reply_t* image =
        xcb_get_image_reply(connection,
                            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                                          static_cast<uint16_t>(width), static_cast<uint16_t>(height), ~0u),
                            nullptr);
    if (!image) return false;
    bool ok = false;
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width);
    if (xcb_get_image_data_length(image) >= stride * height) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        cairo_surface_flush(surface);
        std::memcpy(cairo_image_surface_get_data(surface), xcb_get_image_data(image),
                    static_cast<size_t>(stride) * height);
        cairo_surface_mark_dirty(surface);
        const std::string temporary = path + ".tmp";
        ok = cairo_surface_write_to_png(surface, temporary.c_str()) == CAIRO_STATUS_SUCCESS &&
             std::rename(temporary.c_str(), path.c_str()) == 0;
        cairo_surface_destroy(surface);
    }
    std::free(image);
    return ok;
}
