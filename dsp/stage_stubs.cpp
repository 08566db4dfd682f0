// Placeholders until the time-domain stages land: each leaves the audio untouched.
#include <cstring>

#include "dsp/exciter.h"
#include "dsp/loudness.h"
#include "dsp/punch.h"
#include "dsp/three_band.h"

Loudness::Loudness() {
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
}
Loudness::~Loudness() {
    enabled = false;
}
void Loudness::setSampleRate(float rate) {
    designRate = rate;
}
void Loudness::recalcBiQuad(long, float, float, float) {}
void Loudness::process(float*, float*, long) {}
void Loudness::resetSoft() {}
void Loudness::resetAll() {}
void Loudness::resetIfNotFinite() {}

void Punch::reset() {}
int32_t Punch::sectionCount(float) {
    return 0;
}
void Punch::process(float*, float*, int32_t, float, float) {}
void Punch::resetIfNotFinite() {}

void Exciter::reset() {}
void Exciter::process(float*, float*, int32_t, float, float, float) {}
void Exciter::resetIfNotFinite() {}

bool ThreeBand::isActive(const float*) {
    return false;
}
void ThreeBand::reset() {}
void ThreeBand::process(float*, float*, int32_t, const float*, float) {}
void ThreeBand::resetIfNotFinite() {}
