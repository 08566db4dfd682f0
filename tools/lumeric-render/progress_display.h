// The progress bar on standard error: percent done and speed as a multiple of real time, for all files.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class ProgressDisplay {
  public:
    // Draws only when enabled (standard error is a terminal and --quiet was not given).
    explicit ProgressDisplay(bool visible);
    ~ProgressDisplay();

    // totalSeconds: the audio duration of all files together.
    void begin(double totalSeconds);
    // Called by the workers as they go; lock-free.
    void advance(double seconds);
    // Clears the bar, leaving the terminal as it was.
    void end();

  private:
    void run();
    void draw();

    const bool enabled;
    double total = 0.0;
    std::atomic<int64_t> doneMicroseconds{0};
    std::chrono::steady_clock::time_point started;
    std::thread painter;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
};
