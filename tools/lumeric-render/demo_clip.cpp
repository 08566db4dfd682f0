#include "demo_clip.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kTempo = 120.0; // beats per minute: 5 bars of 4/4 in 10 s
constexpr int kBars = 5;

double noteHz(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// A small deterministic noise source (xorshift), so the clip is identical on every machine.
class Noise {
  public:
    double next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<double>(state >> 11) / static_cast<double>(1ull << 53) * 2.0 - 1.0;
    }

  private:
    uint64_t state = 0x9E3779B97F4A7C15ull;
};

struct Mix {
    std::vector<double> left, right;
    void add(size_t at, double value, double pan) { // pan -1 left .. +1 right, constant power
        if (at >= left.size()) return;
        double angle = (pan + 1.0) * 0.25 * 3.141592653589793;
        left[at] += value * std::cos(angle);
        right[at] += value * std::sin(angle);
    }
};

void kick(Mix& mix, size_t start, double rate) {
    double phase = 0.0;
    for (size_t i = 0; i < static_cast<size_t>(0.35 * rate); ++i) {
        double t = i / rate;
        double frequency = 48.0 + 110.0 * std::exp(-t * 30.0);
        phase += kTwoPi * frequency / rate;
        double click = i < 40 ? 0.3 * (1.0 - i / 40.0) : 0.0;
        mix.add(start + i, 0.9 * std::sin(phase) * std::exp(-t * 9.0) + click, 0.0);
    }
}

void snare(Mix& mix, size_t start, double rate, Noise& noise) {
    double low = 0.0;
    for (size_t i = 0; i < static_cast<size_t>(0.25 * rate); ++i) {
        double t = i / rate;
        double white = noise.next();
        low += 0.3 * (white - low);
        double body = std::sin(kTwoPi * 185.0 * t) * std::exp(-t * 25.0);
        mix.add(start + i, 0.35 * body + 0.35 * (white - low) * std::exp(-t * 16.0), 0.1);
    }
}

void hat(Mix& mix, size_t start, double rate, Noise& noise, double level, double pan) {
    double previous = 0.0;
    for (size_t i = 0; i < static_cast<size_t>(0.06 * rate); ++i) {
        double white = noise.next();
        double high = white - previous; // first difference: a crude high-pass
        previous = white;
        mix.add(start + i, level * high * std::exp(-(i / rate) * 70.0), pan);
    }
}

// A band-limited-enough sawtooth through a one-pole low-pass, with a plucked envelope.
void bassNote(Mix& mix, size_t start, size_t length, int note, double rate) {
    double frequency = noteHz(note);
    double phase = 0.0, low = 0.0;
    for (size_t i = 0; i < length; ++i) {
        double t = i / rate;
        phase += frequency / rate;
        phase -= std::floor(phase);
        double saw = 2.0 * phase - 1.0;
        double cutoff = 0.02 + 0.10 * std::exp(-t * 12.0);
        low += cutoff * (saw - low);
        double envelope = std::min(1.0, i / 60.0) * std::exp(-t * 3.0);
        double release = i + 400 > length ? (length - i) / 400.0 : 1.0;
        mix.add(start + i, 0.45 * low * envelope * release, 0.0);
    }
}

// Three detuned saws per chord tone, spread across the stereo field.
void chord(Mix& mix, size_t start, size_t length, const int (&notes)[3], double rate) {
    for (int n = 0; n < 3; ++n) {
        for (int voice = 0; voice < 2; ++voice) {
            double frequency = noteHz(notes[n]) * (voice == 0 ? 0.997 : 1.003);
            double pan = (voice == 0 ? -0.6 : 0.6) + 0.1 * (n - 1);
            double phase = 0.31 * n + 0.5 * voice, low = 0.0;
            for (size_t i = 0; i < length; ++i) {
                phase += frequency / rate;
                phase -= std::floor(phase);
                low += 0.06 * ((2.0 * phase - 1.0) - low);
                double attack = std::min(1.0, i / (0.08 * rate));
                double release = i + 2000 > length ? (length - i) / 2000.0 : 1.0;
                mix.add(start + i, 0.06 * low * attack * release, pan);
            }
        }
    }
}

} // namespace

std::vector<float> synthesiseDemoClip() {
    const double rate = kDemoSampleRate;
    const size_t beat = static_cast<size_t>(rate * 60.0 / kTempo);
    const size_t frames = beat * 4 * kBars;
    Mix mix;
    mix.left.assign(frames, 0.0);
    mix.right.assign(frames, 0.0);
    Noise noise;

    // A minor, F major, C major, G major, A minor.
    const int chords[kBars][3] = {{57, 60, 64}, {53, 57, 60}, {55, 60, 64}, {55, 59, 62}, {57, 60, 64}};
    const int roots[kBars] = {33, 29, 36, 31, 33};
    for (int bar = 0; bar < kBars; ++bar) {
        size_t barStart = static_cast<size_t>(bar) * 4 * beat;
        chord(mix, barStart, 4 * beat, chords[bar], rate);
        for (int eighth = 0; eighth < 8; ++eighth) {
            size_t at = barStart + static_cast<size_t>(eighth) * beat / 2;
            int note = roots[bar] + (eighth == 3 || eighth == 7 ? 12 : 0);
            bassNote(mix, at, beat / 2 - 200, note, rate);
            hat(mix, at, rate, noise, eighth % 2 ? 0.12 : 0.2, 0.35);
        }
        for (int b = 0; b < 4; ++b) {
            size_t at = barStart + static_cast<size_t>(b) * beat;
            if (b == 0 || b == 2) kick(mix, at, rate);
            if (b == 1 || b == 3) snare(mix, at, rate, noise);
        }
        kick(mix, barStart + 2 * beat + beat / 2, rate); // the "and" of three
    }

    double peak = 1e-9;
    for (size_t i = 0; i < frames; ++i)
        peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
    const double gain = std::pow(10.0, -3.0 / 20.0) / peak; // peaks at -3 dBFS, leaving room to enhance
    std::vector<float> interleaved(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        interleaved[2 * i] = static_cast<float>(mix.left[i] * gain);
        interleaved[2 * i + 1] = static_cast<float>(mix.right[i] * gain);
    }
    return interleaved;
}
