#include "progress_display.h"

#include <algorithm>
#include <cstdio>
#include <string>

ProgressDisplay::ProgressDisplay(bool visible) : enabled(visible) {}

ProgressDisplay::~ProgressDisplay() {
    end();
}

void ProgressDisplay::begin(double totalSeconds) {
    total = totalSeconds;
    started = std::chrono::steady_clock::now();
    if (enabled) painter = std::thread(&ProgressDisplay::run, this);
}

void ProgressDisplay::advance(double seconds) {
    doneMicroseconds.fetch_add(static_cast<int64_t>(seconds * 1e6), std::memory_order_relaxed);
}

void ProgressDisplay::end() {
    if (!painter.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    painter.join();
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
}

void ProgressDisplay::run() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!wake.wait_for(lock, std::chrono::milliseconds(100), [this] { return stopping; }))
        draw();
}

void ProgressDisplay::draw() {
    constexpr int kWidth = 30;
    double done = static_cast<double>(doneMicroseconds.load(std::memory_order_relaxed)) * 1e-6;
    double fraction = total > 0.0 ? std::clamp(done / total, 0.0, 1.0) : 0.0;
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    int filled = static_cast<int>(fraction * kWidth);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kWidth - filled), '.');
    if (elapsed > 0.0)
        std::fprintf(stderr, "\r[%s] %3d%%  %.1fx real time\033[K", bar.c_str(),
                     static_cast<int>(fraction * 100), done / elapsed);
    else
        std::fprintf(stderr, "\r[%s] %3d%%\033[K", bar.c_str(), static_cast<int>(fraction * 100));
    std::fflush(stderr);
}
