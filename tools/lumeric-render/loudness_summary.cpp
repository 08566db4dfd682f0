#include "loudness_summary.h"

#include <cmath>
#include <cstdio>
#include <ebur128.h>

LoudnessMeter::~LoudnessMeter() {
    if (state) ebur128_destroy(&state);
}

bool LoudnessMeter::start(int channels, int sampleRate) {
    state = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate),
                         EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    if (!state) return false;
    channelCount = channels;
    if (channels == 1) ebur128_set_channel(state, 0, EBUR128_DUAL_MONO);
    return true;
}

void LoudnessMeter::add(const float* interleaved, int64_t frames) {
    if (state && frames > 0) ebur128_add_frames_float(state, interleaved, static_cast<size_t>(frames));
}

LoudnessFigures LoudnessMeter::figures() const {
    LoudnessFigures result;
    result.integratedLufs = -HUGE_VAL;
    result.truePeakDb = -HUGE_VAL;
    if (!state) return result;
    double loudness = 0.0;
    if (ebur128_loudness_global(state, &loudness) == EBUR128_SUCCESS) result.integratedLufs = loudness;
    double peak = 0.0;
    for (int c = 0; c < channelCount; ++c) {
        double channelPeak = 0.0;
        if (ebur128_true_peak(state, static_cast<unsigned>(c), &channelPeak) == EBUR128_SUCCESS)
            peak = std::fmax(peak, channelPeak);
    }
    if (peak > 0.0) result.truePeakDb = 20.0 * std::log10(peak);
    return result;
}

namespace {

std::string decibels(double value, const char* unit) {
    char text[32];
    if (!std::isfinite(value))
        std::snprintf(text, sizeof(text), "  -inf %s", unit);
    else
        std::snprintf(text, sizeof(text), "%+6.1f %s", value, unit);
    return text;
}

} // namespace

std::string formatSummary(const FileSummary& summary) {
    std::string text = summary.input + " -> " + summary.output + "\n";
    text += "  loudness   " + decibels(summary.before.integratedLufs, "LUFS") + "  ->  " +
            decibels(summary.after.integratedLufs, "LUFS") + "\n";
    text += "  true peak  " + decibels(summary.before.truePeakDb, "dBTP") + "  ->  " +
            decibels(summary.after.truePeakDb, "dBTP");
    if (summary.after.truePeakDb > 0.0) text += "   ! above 0 dBTP: the output clips";
    text += "\n";
    char line[96];
    std::snprintf(line, sizeof(line), "  delay      %lld samples, %s\n",
                  static_cast<long long>(summary.delay),
                  summary.delayKept ? "kept (--raw)" : "removed (output aligned with input)");
    text += line;
    std::snprintf(line, sizeof(line), "  speed      %.1fx real time\n", summary.speed);
    return text + line;
}
