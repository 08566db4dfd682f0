#include "dsp/loudness.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <emmintrin.h>

#include "dsp/all_finite.h"
#include "dsp/fast_pow2.h"
#include "dsp/fast_trig.h"

namespace {

constexpr int kSectionsPerChannel = 5;
constexpr int kSectionCount = 2 * kSectionsPerChannel;
constexpr float kDenormalGuard = 1e-7f;

enum SectionKind { kLowShelf = 0, kWideBell = 1, kLowPass = 2, kSpareLowPass = 3, kNarrowBell = 4 };

// One section for both channels: lane 0 left, lane 1 right (lanes 2 and 3 idle). Each lane does the
// arithmetic of the direct form I, in its order.
struct StereoBiquad {
    __m128 b0, b1, b2, a1, a2;
    __m128 x1, x2, y1, y2;

    StereoBiquad(const Loudness::Section& l, const Loudness::Section& r)
        : b0(_mm_setr_ps(l.b0, r.b0, 0, 0)), b1(_mm_setr_ps(l.b1, r.b1, 0, 0)),
          b2(_mm_setr_ps(l.b2, r.b2, 0, 0)), a1(_mm_setr_ps(l.a1, r.a1, 0, 0)),
          a2(_mm_setr_ps(l.a2, r.a2, 0, 0)), x1(_mm_setr_ps(l.x1, r.x1, 0, 0)),
          x2(_mm_setr_ps(l.x2, r.x2, 0, 0)), y1(_mm_setr_ps(l.y1, r.y1, 0, 0)),
          y2(_mm_setr_ps(l.y2, r.y2, 0, 0)) {}

    __m128 run(__m128 x) {
        __m128 y = _mm_add_ps(_mm_mul_ps(b0, x), _mm_mul_ps(b1, x1));
        y = _mm_add_ps(y, _mm_mul_ps(b2, x2));
        y = _mm_sub_ps(y, _mm_mul_ps(a1, y1));
        y = _mm_sub_ps(y, _mm_mul_ps(a2, y2));
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    void storeHistory(Loudness::Section& l, Loudness::Section& r) const {
        alignas(16) float v[4][4];
        _mm_store_ps(v[0], x1), _mm_store_ps(v[1], x2), _mm_store_ps(v[2], y1), _mm_store_ps(v[3], y2);
        l.x1 = v[0][0], l.x2 = v[1][0], l.y1 = v[2][0], l.y2 = v[3][0];
        r.x1 = v[0][1], r.x2 = v[1][1], r.y1 = v[2][1], r.y2 = v[3][1];
    }
};

// The chain, held in registers for the loop: shelf, wide bell, narrow bell, low-pass.
struct StereoChain {
    StereoBiquad shelf, wideBell, narrowBell, lowPass;

    StereoChain(const Loudness::Section* l, const Loudness::Section* r)
        : shelf(l[kLowShelf], r[kLowShelf]), wideBell(l[kWideBell], r[kWideBell]),
          narrowBell(l[kNarrowBell], r[kNarrowBell]), lowPass(l[kLowPass], r[kLowPass]) {}

    __m128 run(__m128 x) { return lowPass.run(narrowBell.run(wideBell.run(shelf.run(x)))); }

    void storeHistory(Loudness::Section* l, Loudness::Section* r) const {
        shelf.storeHistory(l[kLowShelf], r[kLowShelf]);
        wideBell.storeHistory(l[kWideBell], r[kWideBell]);
        narrowBell.storeHistory(l[kNarrowBell], r[kNarrowBell]);
        lowPass.storeHistory(l[kLowPass], r[kLowPass]);
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

void Loudness::designInputs(float* inputs) const {
    const float values[kDesignInputs] = {
        designRate,  mix,          bassBoost,    lowShelfFreq, lowShelfSlope,    lowShelfGainDb, midBellFreq,
        midBellGain, highBellFreq, highBellGain, lowPassFreq,  spareLowPassFreq, dcBlockAmount};
    std::memcpy(inputs, values, sizeof values);
}

void Loudness::setSampleRate(float rate) {
    // A rate that is not positive would give a design with no meaning; the old one stays.
    if (!(rate > 0.0f)) return;
    designRate = rate;
    float inputs[kDesignInputs];
    designInputs(inputs);
    // Same inputs (bit for bit), same coefficients: the sections already hold them.
    if (designCurrent && std::memcmp(inputs, designedFrom, sizeof inputs) == 0) return;
    for (int base = 0; base < kSectionCount; base += kSectionsPerChannel) {
        recalcBiQuad(base + kLowShelf, lowShelfFreq, lowShelfGainDb * mix * bassBoost, lowShelfSlope);
        recalcBiQuad(base + kWideBell, highBellFreq, highBellGain * mix, 1.0f);
        recalcBiQuad(base + kNarrowBell, midBellFreq, midBellGain * mix, 1.0f);
        recalcBiQuad(base + kLowPass, lowPassFreq, 0.0f, 0.0f);
        recalcBiQuad(base + kSpareLowPass, spareLowPassFreq, 0.0f, 0.0f);
    }
    dcBlockCoef = 100.0f * dcBlockAmount / rate;
    std::memcpy(designedFrom, inputs, sizeof inputs);
    designCurrent = true;
}

void Loudness::recalcBiQuad(long section, float freq, float gain, float q) {
    if (section < 0 || section >= kSectionCount) return;
    designCurrent = false; // a section may now differ from the stored design
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
    StereoChain chain(&sections[0], &sections[kSectionsPerChannel]);
    const __m128 dc = _mm_set1_ps(dcBlockCoef), dcKeep = _mm_set1_ps(1.0f - dcBlockCoef);
    const __m128 guard = _mm_set1_ps(kDenormalGuard), gainStep = _mm_set1_ps(step);
    __m128 state = _mm_setr_ps(dcStateL, dcStateR, 0, 0);
    // Both channels' ramps start at gainNow and take the same steps.
    __m128 gain = _mm_set1_ps(gainNow);
    for (long i = 0; i < count; ++i) {
        const __m128 x = _mm_add_ps(_mm_unpacklo_ps(_mm_load_ss(left + i), _mm_load_ss(right + i)), guard);
        const __m128 y = chain.run(x);
        state = _mm_add_ps(_mm_mul_ps(dc, y), _mm_mul_ps(dcKeep, state));
        const __m128 out = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(y, state), gain), guard);
        _mm_store_ss(left + i, out);
        _mm_store_ss(right + i, _mm_shuffle_ps(out, out, _MM_SHUFFLE(1, 1, 1, 1)));
        gain = _mm_add_ps(gain, gainStep);
    }
    chain.storeHistory(&sections[0], &sections[kSectionsPerChannel]);
    alignas(16) float ends[2][4];
    _mm_store_ps(ends[0], state);
    _mm_store_ps(ends[1], gain);
    dcStateL = ends[0][0];
    dcStateR = ends[0][1];
    gainNow = ends[1][1];
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
    designCurrent = false;
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
