#include "dsp/punch.h"

#include <cmath>
#include <cstring>

#include "dsp/all_finite.h"
#include "dsp/fast_pow2.h"

namespace {

typedef float Float4 __attribute__((vector_size(16)));

inline Float4 load4(const float* p) {
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store4(float* p, Float4 v) {
    std::memcpy(p, &v, sizeof v);
}

// Advances the lanes begin..end-1 by one sample. Lane k is section k/2 of channel k%2: its input is
// chain[k] and its output goes to chain[k + 2], where the next section reads it one step later.
// Going downwards, every lane reads its input before the lane below overwrites it.
inline void advanceLanes(float* chain, float* lastIn, int32_t begin, int32_t end, float c) {
    const Float4 c4 = {c, c, c, c};
    int32_t k = end;
    while (k - begin >= 4) {
        k -= 4;
        const Float4 in = load4(chain + k);
        store4(chain + k + 2, (load4(chain + k + 2) - in) * c4 + load4(lastIn + k));
        store4(lastIn + k, in);
    }
    while (k > begin) {
        --k;
        const float in = chain[k];
        chain[k + 2] = (chain[k + 2] - in) * c + lastIn[k];
        lastIn[k] = in;
    }
}

} // namespace

void Punch::reset() {
    std::memset(punchInL, 0, sizeof punchInL);
    std::memset(punchOutL, 0, sizeof punchOutL);
    std::memset(punchInR, 0, sizeof punchInR);
    std::memset(punchOutR, 0, sizeof punchOutR);
}

int32_t Punch::sectionCount(float lazerPunch) {
    const float sections = 49.0f * lazerPunch;
    if (!(sections >= 1.0f)) return 0;
    if (sections >= static_cast<float>(kMaxPunchSections)) return kMaxPunchSections;
    return static_cast<int32_t>(sections);
}

float Punch::coefficient(float sampleRate) {
    if (!(sampleRate > 0.0f)) return 0.0f;
    const float exponent = -2512.0f / sampleRate;
    return static_cast<float>(fastPow2(static_cast<double>(exponent) * 1.4408));
}

// Each section is y = (previous y - x) * c + previous x. The chain runs as a wavefront: at step s section j
// works on sample s - j, so all sections of a step are independent and run four lanes at a time. The
// arithmetic of every section and sample is the same as running the chain sample by sample.
void Punch::process(float* left, float* right, int32_t n, float lazerPunch, float sampleRate) {
    const int32_t sections = sectionCount(lazerPunch);
    if (n <= 0 || sections == 0) return;
    const float c = coefficient(sampleRate);

    // chain[2j], chain[2j + 1]: section j's input (left, right); chain[2j + 2], chain[2j + 3]: its output.
    float chain[2 * kMaxPunchSections + 2];
    float lastIn[2 * kMaxPunchSections];
    for (int32_t j = 0; j < sections; ++j) {
        chain[2 * j + 2] = punchOutL[j];
        chain[2 * j + 3] = punchOutR[j];
        lastIn[2 * j] = punchInL[j];
        lastIn[2 * j + 1] = punchInR[j];
    }

    const int32_t steps = n + sections - 1;
    for (int32_t s = 0; s < steps; ++s) {
        if (s < n) {
            chain[0] = left[s];
            chain[1] = right[s];
        }
        // Sections above s have not reached this block yet; those below s - n + 1 have finished it.
        const int32_t first = s < n ? 0 : s - n + 1;
        const int32_t last = s < sections ? s : sections - 1;
        advanceLanes(chain, lastIn, 2 * first, 2 * last + 2, c);
        if (s >= sections - 1) {
            left[s - sections + 1] = chain[2 * sections];
            right[s - sections + 1] = chain[2 * sections + 1];
        }
    }

    for (int32_t j = 0; j < sections; ++j) {
        punchOutL[j] = chain[2 * j + 2];
        punchOutR[j] = chain[2 * j + 3];
        punchInL[j] = lastIn[2 * j];
        punchInR[j] = lastIn[2 * j + 1];
    }
}

void Punch::resetIfNotFinite() {
    if (!allFinite(punchInL, kMaxPunchSections) || !allFinite(punchOutL, kMaxPunchSections) ||
        !allFinite(punchInR, kMaxPunchSections) || !allFinite(punchOutR, kMaxPunchSections))
        reset();
}
