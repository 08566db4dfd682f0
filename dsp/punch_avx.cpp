// The punch wavefront eight lanes at a time. Built with AVX (no FMA, so every lane keeps its rounding) and
// called only when the processor has it.
#include "dsp/punch.h"

#if defined(__AVX__)
#include "dsp/punch_wavefront.h"

void Punch::runWavefrontAvx(float* chain, float* lastIn, float* left, float* right, int32_t n,
                            int32_t sections, float c) {
    typedef float Float8 __attribute__((vector_size(32)));
    runWavefront<Float8>(chain, lastIn, left, right, n, sections, c);
}
#endif
