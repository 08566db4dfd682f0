// What the processor offers beyond the x86-64 baseline (SSE2), for stages that have a wider variant.
#pragma once

// True when the processor and the system support AVX (on other architectures, false).
inline bool processorHasAvx() {
#if defined(__x86_64__)
    __builtin_cpu_init(); // needed when called from a constructor at load, before the library's own
    return __builtin_cpu_supports("avx");
#else
    return false;
#endif
}
