#include "dsp/punch.h"

#include <cmath>
#include <cstring>

#include "dsp/all_finite.h"
#include "dsp/cpu_features.h"
#include "dsp/fast_pow2.h"
#include "dsp/punch_wavefront.h"

namespace {

typedef float Float4 __attribute__((vector_size(16)));

VectorWidth vectorsInUse = widestVectors();

} // namespace

VectorWidth Punch::useVectors(VectorWidth wanted) {
    vectorsInUse = vectorsUpTo(wanted);
    return vectorsInUse;
}

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

// Each section is y = (previous y - x) * c + previous x. The chain runs as a wavefront (punch_wavefront.h),
// four lanes at a time, eight with AVX, or with AVX-512 the whole chain in registers (punch_avx512.cpp). The
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

#if defined(__x86_64__)
    if (vectorsInUse == VectorWidth::Avx512)
        runWavefrontAvx512(chain, lastIn, left, right, n, sections, c);
    else if (vectorsInUse == VectorWidth::Avx)
        runWavefrontAvx(chain, lastIn, left, right, n, sections, c);
    else
#endif
        runWavefront<Float4>(chain, lastIn, left, right, n, sections, c);

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
