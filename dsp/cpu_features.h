// What the processor offers beyond the x86-64 baseline (SSE2), for stages that have a wider variant.
#pragma once

// Register widths in floats of the instruction sets that some stages have variants for.
enum class VectorWidth { Sse2 = 4, Avx = 8, Avx512 = 16 };

// The widest the processor and the system support (on other architectures, the baseline's).
inline VectorWidth widestVectors() {
#if defined(__x86_64__)
    __builtin_cpu_init(); // needed when called from a constructor at load, before the library's own
    if (__builtin_cpu_supports("avx512f")) return VectorWidth::Avx512;
    if (__builtin_cpu_supports("avx")) return VectorWidth::Avx;
#endif
    return VectorWidth::Sse2;
}

// The wanted width, or the widest below it that the processor has.
inline VectorWidth vectorsUpTo(VectorWidth wanted) {
    const VectorWidth widest = widestVectors();
    return wanted < widest ? wanted : widest;
}
