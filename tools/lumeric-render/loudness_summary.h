// Integrated loudness and true peak of a stream (libebur128), and the per-file summary lines.
#pragma once

#include <cstdint>
#include <ebur128.h>
#include <string>

struct LoudnessFigures {
    double integratedLufs = 0.0; // -inf for silence
    double truePeakDb = 0.0;     // dBTP, -inf for silence
};

class LoudnessMeter {
  public:
    LoudnessMeter() = default;
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;
    ~LoudnessMeter();

    // A mono stream counts as dual mono, so that it reads as loud as the same sound on two channels.
    bool start(int channels, int sampleRate);
    void add(const float* interleaved, int64_t frames);
    LoudnessFigures figures() const;

  private:
    ebur128_state* state = nullptr;
    int channelCount = 0;
};

struct FileSummary {
    std::string input;
    std::string output;
    LoudnessFigures before;
    LoudnessFigures after;
    double speed = 0.0; // seconds of audio per second of wall-clock time
    int64_t delay = 0;  // the engine's path delay in samples
    bool delayKept = false;
};

// A few lines for one file; a true peak above 0 dBTP in the output is flagged.
std::string formatSummary(const FileSummary& summary);
