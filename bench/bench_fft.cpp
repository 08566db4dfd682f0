// One 2048-point real transform each way: ours against FFTW's single-precision real transform.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "dsp/fft.h"

#ifdef LUMERIC_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

constexpr int kN = 2048;

std::vector<float> randomFrame() {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(kN);
    for (auto& v : x)
        v = dist(rng);
    return x;
}

// Every case refreshes its input first (in-place transforms would otherwise shrink or grow it).
void BM_OursForward(benchmark::State& state) {
    const auto source = randomFrame();
    std::vector<float> data(kN);
    for (auto _ : state) {
        std::memcpy(data.data(), source.data(), sizeof(float) * kN);
        realfft_split(data.data(), kN);
        benchmark::DoNotOptimize(data.data());
    }
}
BENCHMARK(BM_OursForward);

void BM_OursInverse(benchmark::State& state) {
    auto source = randomFrame();
    realfft_split(source.data(), kN);
    std::vector<float> data(kN);
    for (auto _ : state) {
        std::memcpy(data.data(), source.data(), sizeof(float) * kN);
        irealfft_split(data.data(), kN);
        benchmark::DoNotOptimize(data.data());
    }
}
BENCHMARK(BM_OursInverse);

void BM_CopyOnly(benchmark::State& state) {
    const auto source = randomFrame();
    std::vector<float> data(kN);
    for (auto _ : state) {
        std::memcpy(data.data(), source.data(), sizeof(float) * kN);
        benchmark::DoNotOptimize(data.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyOnly);

#ifdef LUMERIC_HAVE_FFTW
void BM_FftwForward(benchmark::State& state) {
    const auto source = randomFrame();
    float* in = fftwf_alloc_real(kN);
    fftwf_complex* out = fftwf_alloc_complex(kN / 2 + 1);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(kN, in, out, FFTW_MEASURE);
    for (auto _ : state) {
        std::memcpy(in, source.data(), sizeof(float) * kN);
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
    }
    fftwf_destroy_plan(plan);
    fftwf_free(out);
    fftwf_free(in);
}
BENCHMARK(BM_FftwForward);

void BM_FftwInverse(benchmark::State& state) {
    const auto source = randomFrame();
    fftwf_complex* in = fftwf_alloc_complex(kN / 2 + 1);
    float* out = fftwf_alloc_real(kN);
    fftwf_plan plan = fftwf_plan_dft_c2r_1d(kN, in, out, FFTW_MEASURE);
    std::memset(in, 0, sizeof(fftwf_complex) * (kN / 2 + 1));
    for (auto _ : state) {
        // c2r overwrites its input, so it is refreshed like ours (the last bin stays zero).
        std::memcpy(in, source.data(), sizeof(float) * kN);
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
    }
    fftwf_destroy_plan(plan);
    fftwf_free(out);
    fftwf_free(in);
}
BENCHMARK(BM_FftwInverse);
#endif

} // namespace
