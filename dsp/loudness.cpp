#include "dsp/loudness.h"

#include <algorithm>
#include <cmath>

#include "dsp/all_finite.h"
#include "dsp/fast_pow2.h"
#include "dsp/fast_trig.h"

namespace {

constexpr int kSectionsPerChannel = 5;
constexpr int kSectionCount = 2 * kSectionsPerChannel;
constexpr float kDenormalGuard = 1e-7f;

enum SectionKind { kLowShelf = 0, kWideBell = 1, kLowPass = 2, kSpareLowPass = 3, kNarrowBell = 4 };

struct Biquad {
    float b0, b1, b2, a1, a2;
    float x1, x2, y1, y2;

    explicit Biquad(const Loudness::Section& s)
        : b0(s.b0), b1(s.b1), b2(s.b2), a1(s.a1), a2(s.a2), x1(s.x1), x2(s.x2), y1(s.y1), y2(s.y2) {}

    float run(float x) {
        const float y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    void storeHistory(Loudness::Section& s) const {
        s.x1 = x1;
        s.x2 = x2;
        s.y1 = y1;
        s.y2 = y2;
    }
};

// The chain of one channel, held in locals for the loop: shelf, wide bell, narrow bell, low-pass.
struct Chain {
    Biquad shelf, wideBell, narrowBell, lowPass;

    Chain(const Loudness::Section* s)
        : shelf(s[kLowShelf]), wideBell(s[kWideBell]), narrowBell(s[kNarrowBell]), lowPass(s[kLowPass]) {}

    float run(float x) { return lowPass.run(narrowBell.run(wideBell.run(shelf.run(x)))); }

    void storeHistory(Loudness::Section* s) const {
        shelf.storeHistory(s[kLowShelf]);
        wideBell.storeHistory(s[kWideBell]);
        narrowBell.storeHistory(s[kNarrowBell]);
        lowPass.storeHistory(s[kLowPass]);
    }
};

void clearHistory(Loudness::Section& s) {
    s.x1 = s.x2 = s.y1 = s.y2 = 0.0f;
}

} // namespace

Loudness::Loudness()
    : gainNow(0.0f), lowShelfFreq(150.0f), lowShelfSlope(0.5f), lowShelfGainDb(8.0f), midBellFreq(1500.0f),
      midBellGain(0.3f), highBellFreq(11200.0f), highBellGain(0.6f), lowPassFreq(20000.0f),
      dcBlockAmount(0.9f), spareLowPassFreq(13000.0f), gainTarget(1.0f), mix(1.0f), bassBoost(1.0f),
      designRate(44100.0f), enabled(true), dcBlockCoef(100.0f * 0.9f / 44100.0f), sections{}, dcStateL(0.0f),
      dcStateR(0.0f) {}

Loudness::~Loudness() {
    enabled = false;
}

void Loudness::setSampleRate(float rate) {
    // A rate that is not positive would give a design with no meaning; the old one stays.
    if (!(rate > 0.0f)) return;
    designRate = rate;
    for (int base = 0; base < kSectionCount; base += kSectionsPerChannel) {
        recalcBiQuad(base + kLowShelf, lowShelfFreq, lowShelfGainDb * mix * bassBoost, lowShelfSlope);
        recalcBiQuad(base + kWideBell, highBellFreq, highBellGain * mix, 1.0f);
        recalcBiQuad(base + kNarrowBell, midBellFreq, midBellGain * mix, 1.0f);
        recalcBiQuad(base + kLowPass, lowPassFreq, 0.0f, 0.0f);
        recalcBiQuad(base + kSpareLowPass, spareLowPassFreq, 0.0f, 0.0f);
    }
    dcBlockCoef = 100.0f * dcBlockAmount / rate;
}

void Loudness::recalcBiQuad(long section, float freq, float gain, float q) {
    if (section < 0 || section >= kSectionCount) return;
    const float rate = designRate;
    const float fc = std::min(freq, 0.49f * rate);
    double b0, b1, b2, a0, a1, a2;
    switch (section % kSectionsPerChannel) {
    case kLowShelf: {
        const float w0 = fc * 6.2831855f / rate;
        const double A = std::pow(10.0, static_cast<double>(gain) / 40.0);
        const float slope = q < 0.01f ? 0.01f : q;
        const double beta = std::sqrt(static_cast<float>((A * A + 1.0) / slope - (A - 1.0) * (A - 1.0)));
        const double sn = fastSin(w0), cs = fastCos(w0);
        b0 = A * ((A + 1.0) - (A - 1.0) * cs + beta * sn);
        b1 = 2.0 * A * ((A - 1.0) - (A + 1.0) * cs);
        b2 = A * ((A + 1.0) - (A - 1.0) * cs - beta * sn);
        a0 = (A + 1.0) + (A - 1.0) * cs + beta * sn;
        a1 = -2.0 * ((A - 1.0) + (A + 1.0) * cs);
        a2 = (A + 1.0) + (A - 1.0) * cs - beta * sn;
        break;
    }
    case kWideBell:
    case kNarrowBell: {
        const double K = std::tan(3.14159 * fc / rate); // 3.14159, not pi
        const double E = fastPow2(1.4408 * gain);       // linear gain at the centre, about e^gain
        const double D = section % kSectionsPerChannel == kWideBell ? 1.0 : 3.0;
        b0 = 1.0 + E * K / D + K * K;
        b1 = 2.0 * (K * K - 1.0);
        b2 = 1.0 - E * K / D + K * K;
        a0 = 1.0 + K / D + K * K;
        a1 = 2.0 * (K * K - 1.0);
        a2 = 1.0 - K / D + K * K;
        break;
    }
    default: { // low-pass, Q 0.75
        const double K = std::tan(3.14159 * fc / rate);
        b0 = K * K;
        b1 = 2.0 * K * K;
        b2 = K * K;
        a0 = 1.0 + K / 0.75 + K * K;
        a1 = 2.0 * (K * K - 1.0);
        a2 = 1.0 - K / 0.75 + K * K;
        break;
    }
    }
    Section& s = sections[section];
    s.b0 = static_cast<float>(b0 / a0);
    s.b1 = static_cast<float>(b1 / a0);
    s.b2 = static_cast<float>(b2 / a0);
    s.a1 = static_cast<float>(a1 / a0);
    s.a2 = static_cast<float>(a2 / a0);
}

void Loudness::process(float* left, float* right, long count) {
    if (!enabled || count <= 0) return;
    const float step = (gainTarget - gainNow) / static_cast<float>(count);
    const float dc = dcBlockCoef, dcKeep = 1.0f - dcBlockCoef;
    Chain chainL(&sections[0]);
    Chain chainR(&sections[kSectionsPerChannel]);
    float stateL = dcStateL, stateR = dcStateR;
    // Both channels in one loop so that their filter chains overlap; each keeps its own gain ramp.
    float gainL = gainNow, gainR = gainNow;
    for (long i = 0; i < count; ++i) {
        const float yL = chainL.run(left[i] + kDenormalGuard);
        stateL = dc * yL + dcKeep * stateL;
        left[i] = (yL - stateL) * gainL + kDenormalGuard;
        gainL += step;

        const float yR = chainR.run(right[i] + kDenormalGuard);
        stateR = dc * yR + dcKeep * stateR;
        right[i] = (yR - stateR) * gainR + kDenormalGuard;
        gainR += step;
    }
    chainL.storeHistory(&sections[0]);
    chainR.storeHistory(&sections[kSectionsPerChannel]);
    dcStateL = stateL;
    dcStateR = stateR;
    gainNow = gainR;
}

void Loudness::resetSoft() {
    for (Section& s : sections)
        clearHistory(s);
    dcStateL = dcStateR = 0.0f;
    gainNow = 0.0f;
}

void Loudness::resetAll() {
    for (Section& s : sections)
        s = Section{};
    dcStateL = dcStateR = 0.0f;
    gainNow = 0.0f;
}

void Loudness::resetIfNotFinite() {
    float history[4 * kSectionCount + 3];
    for (int s = 0; s < kSectionCount; ++s) {
        history[4 * s] = sections[s].x1;
        history[4 * s + 1] = sections[s].x2;
        history[4 * s + 2] = sections[s].y1;
        history[4 * s + 3] = sections[s].y2;
    }
    history[4 * kSectionCount] = dcStateL;
    history[4 * kSectionCount + 1] = dcStateR;
    history[4 * kSectionCount + 2] = gainNow;
    if (!allFinite(history, 4 * kSectionCount + 3)) resetSoft();
}
