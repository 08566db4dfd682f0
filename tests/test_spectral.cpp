// Spectral effects against their angle forms, and the spectral block processor: its window, the transparent
// path, analysis-only calls and the display columns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>
#include <vector>

#include "dsp/spectral_stages.h"
#include "support/audio_path_rig.h"

namespace {

using namespace spectral;
constexpr int kN = kFrameLength;
using Spectrum = std::vector<float>;

float binMagnitude(const Spectrum& s, int k) {
    return k == 0 ? std::fabs(s[0]) : std::sqrt(s[k] * s[k] + s[kN - k] * s[kN - k]);
}

// The straightforward forms: angle in double from the float parts, sine and cosine in single.
float angleOf(const Spectrum& s, int k) {
    return static_cast<float>(
        std::atan2(static_cast<double>(s[k]), k == 0 ? 0.0 : static_cast<double>(s[kN - k])));
}

void writePolar(Spectrum& s, int k, float m, float theta) {
    s[k] = m * std::sin(theta);
    if (k > 0) s[kN - k] = m * std::cos(theta);
}

// Each bin k < 1024 gets magnitude newMagnitude(k, m) and its angle turned by delta(k).
Spectrum polarForm(
    Spectrum s, const std::function<float(int, float)>& newMagnitude,
    const std::function<float(int)>& delta = [](int) { return 0.0f; }) {
    for (int k = 0; k < kStageBins; ++k)
        writePolar(s, k, newMagnitude(k, binMagnitude(s, k)), angleOf(s, k) + (k > 0 ? delta(k) : 0.0f));
    return s;
}

// Single-precision agreement relative to the bin's magnitude; the angle form also rounds theta + delta,
// whose size grows with the bin. Bin 1024 and above are left alone.
void expectAgree(
    const Spectrum& input, const Spectrum& fast, const Spectrum& reference,
    const std::function<float(int)>& delta = [](int) { return 0.0f; }) {
    for (int k = 0; k < kStageBins; ++k) {
        const float m = std::max(binMagnitude(input, k), binMagnitude(reference, k));
        const float tolerance = m * (2e-6f + 2.0f * (4.0f + std::fabs(delta(k))) * 1.2e-7f) + 1e-12f;
        ASSERT_NEAR(fast[k], reference[k], tolerance) << "bin " << k;
        const int im = k > 0 ? kN - k : 0;
        ASSERT_NEAR(fast[im], reference[im], tolerance) << "bin " << k;
    }
    for (int k = kStageBins; k <= kN / 2; ++k)
        ASSERT_EQ(fast[k], reference[k]) << "bin " << k;
}

TEST(SpectralStages, ThresholdsCompareInSinglePrecision) {
    const float below45 = std::nextafter(0.45f, 0.0f), above55 = std::nextafter(0.55f, 1.0f);
    const float above02 = std::nextafter(0.02f, 1.0f), above05 = std::nextafter(0.05f, 1.0f);
    for (float v : {0.45f, 0.5f, 0.55f, NAN, below45, above55})
        EXPECT_EQ(isToneOn(v), v == below45 || v == above55) << v;
    for (float v : {0.0f, 0.02f, above02, 0.03f, 0.05f, above05, NAN}) {
        EXPECT_EQ(isAmountOn(v), v >= above02) << v;
        EXPECT_EQ(isFatBassOn(v), v >= above05) << v;
    }
}

TEST(SpectralStages, ToneGainsAndScaling) {
    const std::tuple<float, int, float> stated[] = {{1.0f, 0, 0.6755f},  {1.0f, 5, 0.6755f},
                                                    {1.0f, 15, 1.0f},    {1.0f, 1023, 2.376f},
                                                    {0.0f, 10, 1.2274f}, {0.0f, 1023, 0.4526f}};
    for (auto [tone, k, gain] : stated)
        EXPECT_NEAR(toneGain(tone, k), gain, 1e-3f * gain) << tone << " " << k;
    for (float tone : {0.0f, 0.3f, 0.7f, 1.0f}) {
        const auto input = uniformNoise(kN, 1, 0.01f);
        auto fast = input;
        ToneTable table;
        table.update(tone);
        applyTone(fast.data(), table);
        expectAgree(input, fast, polarForm(input, [&](int k, float m) { return m * toneGain(tone, k); }));
    }
}

// The published figure for virtual surround at full amount, then every rotation against the angle form.
TEST(SpectralStages, RotationsAgreeWithAngleForm) {
    for (int k : {1, 9, 10, 500, 1023})
        EXPECT_NEAR(virtualSurroundDelta(1.0f, k), 0.25 * 3.1457 * (k >= 10 ? k - 5 : 0.05 * k * k),
                    1e-6 * k);
    EXPECT_EQ(virtualSurroundDelta(0.06f, 700), 0.0f);
    for (auto* deltaOf : {virtualSurroundDelta, silkyDeltaLeft, silkyDeltaRight, diffuseCreamDelta})
        for (float amount : {0.03f, 0.37f, 1.0f}) {
            BinTable table;
            table.buildRotation(amount, deltaOf);
            for (float direction : {1.0f, -1.0f}) {
                const auto input = uniformNoise(kN, 3, 0.01f);
                auto fast = input;
                rotate(fast.data(), table, direction);
                const auto delta = [&](int k) { return direction * deltaOf(amount, k); };
                expectAgree(input, fast,
                            polarForm(
                                input, [](int, float m) { return m; }, delta),
                            delta);
            }
        }
}

// A smoothing of a per-bin curve up and then down the bins, as the gate and the clearness envelope use.
Spectrum smoothedBothWays(Spectrum curve, float keep) {
    curve[1024] = curve[1023];
    float y = curve[0];
    for (int k = 0; k < 1024; ++k)
        curve[k] = y = keep * y + (1.0f - keep) * curve[k];
    y = curve[1024];
    for (int k = 1024; k >= 1; --k)
        curve[k] = y = keep * y + (1.0f - keep) * curve[k];
    return curve;
}

using TwoChannelStage = void (*)(float*, float*, float*, float*, float);

// The right channel gets the same values mirrored in sign, which must come out mirrored too.
Spectrum applyBoth(TwoChannelStage stage, Spectrum spectrum, float amount) {
    Spectrum right(spectrum.size());
    for (size_t i = 0; i < spectrum.size(); ++i)
        right[i] = -spectrum[i];
    float scratchL[kScratchLength], scratchR[kScratchLength];
    stage(spectrum.data(), right.data(), scratchL, scratchR, amount);
    for (size_t i = 0; i < spectrum.size(); ++i)
        EXPECT_EQ(right[i], -spectrum[i]) << i;
    return spectrum;
}

// The gate against its threshold, with a quiet stretch to gate and one that only the smallest amount keeps;
// clearness against its envelope, leaving the lowest 80 bins alone.
TEST(SpectralStages, NoiseReductionAndClearnessAgreeWithAngleForm) {
    for (float amount : {0.02f, 0.5f, 1.0f}) {
        auto input = uniformNoise(kN, 4, 2e-3f);
        for (int k = 300; k < 400; ++k)
            input[k] = amount == 0.02f ? 6e-7f : 1e-5f, input[kN - k] = 0.0f;
        for (int k = 600; k < 700; ++k)
            input[k] = 8e-7f, input[kN - k] = 0.0f;
        Spectrum raw(kScratchLength), magnitudes(kScratchLength);
        for (int k = 0; k < kStageBins; ++k) {
            magnitudes[k] = binMagnitude(input, k);
            raw[k] = magnitudes[k] * 1000.0f / (amount * amount + 0.001f) > 0.5f ? 1.0f : 1e-6f;
        }
        const auto mask = smoothedBothWays(raw, 0.875f), envelope = smoothedBothWays(magnitudes, 0.95f);
        Spectrum baseline[2]; // each stage in the baseline form; where the processor has AVX, the same bits
        for (bool avx : {false, true}) {
            if (useAvx(avx) != avx) continue;
            const auto gated = applyBoth(noiseReduction, input, amount);
            EXPECT_EQ(gated, baseline[0].empty() ? (baseline[0] = gated) : baseline[0]);
            expectAgree(input, gated, polarForm(input, [&](int k, float m) { return m * mask[k]; }));
            EXPECT_LT(binMagnitude(gated, 350), binMagnitude(input, 350) * 1e-2f); // mid-stretch, smoothed
            const auto clear = applyBoth(clearness, input, amount);
            EXPECT_EQ(clear, baseline[1].empty() ? (baseline[1] = clear) : baseline[1]);
            expectAgree(input, clear, polarForm(input, [&](int k, float m) {
                            const double r = k <= 79 ? 0.0 : k <= 159 ? (k - 80) / 80.0 : 1.0;
                            const double s = 0.5 * amount * r;
                            return static_cast<float>(
                                std::max(0.0, m * (1 - s) + 4 * s * (m - 0.5 * envelope[k])));
                        }));
            for (int k = 1; k <= 80; ++k)
                ASSERT_TRUE(clear[k] == input[k] && clear[kN - k] == input[kN - k]) << k;
        }
        useAvx(true);
    }
}

// Both channels boosted by their own level; the meter shows trunc(5/6 of the two boosts), none near silence.
TEST(SpectralStages, FatBassAgreesWithAngleFormAndMetersItsBoost) {
    for (float scale : {1e-9f, 1e-4f, 3e-4f, 1e-2f, 1.0f, NAN}) {
        const auto input = uniformNoise(kN, 6, scale);
        auto fast = input, other = input;
        float levelSum = 1e-6f;
        for (int k = 1; k < kStageBins; ++k)
            levelSum += binMagnitude(input, k) / std::sqrt(static_cast<float>(k));
        const float g = std::min(3.0f, 0.05f / levelSum * 0.7f * 0.7f * 4.0f);
        const float c = (1.0f - 1.0f / (g + 1.0f)) * 0.02f;
        const int meter = dynamicFatBass(fast.data(), other.data(), 0.7f);
        EXPECT_EQ(meter,
                  levelSum < 0.5e-5f || std::isnan(scale) ? 0 : std::min(5, static_cast<int>(g * 5 / 3)));
        if (std::isnan(scale)) continue;
        EXPECT_EQ(fast, other);
        expectAgree(input, fast,
                    polarForm(input, [&](int k, float m) { return k < 50 ? m / (1.0f + c * (k - 50)) : m; }));
    }
}

// --- The processor inside the audio path ---

void feedBlock(AudioPath& path, const Spectrum& left, const Spectrum& right) {
    std::copy(left.begin(), left.end(), path.inL);
    std::copy(right.begin(), right.end(), path.inR);
}

// An impulse at position m enters one frame weighted 1 - w(m) and the next weighted w(m). With the tone
// switched on between the two, the output is (1 - w) times the plain impulse answer plus w times the toned
// one, which measures the window at m.
TEST(SpectralProcessor, WindowFollowsItsFormula) {
    const auto answer = [](int m, float firstTone, float laterTone) {
        AudioPathRig rig;
        Spectrum out, impulse(kSpectralBlock, 0.0f), silence(kSpectralBlock, 0.0f);
        impulse[m] = 1.0f;
        for (int call = 0; call < 10; ++call) {
            rig.params[kTone] = call == 0 ? firstTone : laterTone;
            feedBlock(*rig.path, call == 0 ? impulse : silence, silence);
            rig.path->processBlock44100LR(true);
            out.insert(out.end(), rig.path->outL, rig.path->outL + kSpectralBlock);
        }
        return out;
    };
    for (int m : {0, 37, 128, 200, 255}) {
        const auto plain = answer(m, 0.5f, 0.5f), toned = answer(m, 1.0f, 1.0f),
                   mixed = answer(m, 0.5f, 1.0f);
        double num = 0, den = 0;
        for (size_t t = 0; t < plain.size(); ++t) {
            num += (mixed[t] - plain[t]) * (toned[t] - plain[t]);
            den += (toned[t] - plain[t]) * (toned[t] - plain[t]);
        }
        EXPECT_NEAR(num / den, 0.5 - 0.5 * std::cos(3.1457 * m / 512.0), 1e-5) << m;
    }
}

// Analysis-only calls leave the output block alone, advance the ring and the counter, feed the display
// every fourth call and rebuild a per-bin table only when its value changes.
TEST(SpectralProcessor, AnalysisCallsCountFeedTheDisplayAndRebuildTablesOncePerChange) {
    AudioPathRig rig;
    for (int slot : {kVirtualSurround, kSilkySurround, kDiffuseCream})
        rig.params[slot] = 0.7f;
    rig.params[kTone] = 0.9f;
    std::fill(std::begin(rig.path->outL), std::end(rig.path->outL), 0.25f);
    for (int call = 1; call <= 10; ++call) {
        const auto block = uniformNoise(kSpectralBlock, call);
        feedBlock(*rig.path, block, block);
        rig.params[kVirtualSurround] = call <= 5 ? 0.7f : 0.71f;
        rig.path->processBlock44100LR(false);
        EXPECT_EQ(rig.path->frameSlot, call % kFrameSlots);
        EXPECT_EQ(rig.path->feed.displayCounter.load(), static_cast<uint64_t>(call));
        EXPECT_EQ(rig.path->feed.smoothLog[100] != 400.0f, call >= 4) << call;
    }
    EXPECT_EQ(rig.path->outL[7], 0.25f);
    EXPECT_EQ(rig.path->virtualSurroundPhasors.rebuilds, 2u);
    for (const BinTable* table :
         {&rig.path->silkyPhasorsL, &rig.path->silkyPhasorsR, &rig.path->diffuseCreamPhasors})
        EXPECT_EQ(table->rebuilds, 1u);
    EXPECT_EQ(rig.path->toneGains.rebuilds, 1u);
}

// The columns' polynomial logarithm and arc tangents against libm, from the reset state and once more.
TEST(SpectralProcessor, DisplayColumnsAgreeWithLibmForm) {
    const auto column = [](const Spectrum& s, int bin) {
        return bin >= 1024 ? std::sqrt(2.0f) * std::fabs(s[1024]) : binMagnitude(s, bin);
    };
    AudioPathRig rig;
    DisplayFeed& feed = rig.path->feed;
    auto left = uniformNoise(kN, 21, 0.01f), right = uniformNoise(kN, 31, 0.001f);
    for (int k = 40; k < 60; ++k)
        right[k] = right[kN - k] = 0.0f; // a quiet stretch on one side
    right[1024] = 0.5f;
    for (float quieter : {1.0f, 1e-4f}) { // the second round's levels rise above the first round's peaks
        for (float& v : left)
            v *= quieter;
        for (float& v : right)
            v *= quieter;
        std::vector<float> smoothBefore(feed.smoothLog, feed.smoothLog + kDisplayColumns), peakBefore;
        for (const auto& peak : feed.peakDisp)
            peakBefore.push_back(peak.load());
        rig.path->updateDisplayColumns(left.data(), right.data());
        float pos = 6.0f;
        for (int k = 0; k < kDisplayColumns; ++k, pos *= 1.0135f) {
            const int i = static_cast<int>(pos), lower = std::min(i - 1, 1024), upper = std::min(i, 1024);
            const float frac = pos - static_cast<float>(i);
            const float a = column(left, lower) + column(right, lower),
                        b = column(left, upper) + column(right, upper);
            EXPECT_EQ(feed.magDisp[k].load(), (1.0f + static_cast<float>(k) / 3.0f) * b) << k;
            ASSERT_NEAR(feed.smoothLog[k],
                        0.8f * smoothBefore[k] + std::log(std::max(1e-8f, a * (1 - frac) + b * frac)) * -7.2f,
                        1e-4f)
                << k;
            const float level = feed.levelDisp[k].load();
            ASSERT_NEAR(level, std::clamp(feed.smoothLog[k] - 0.48f * k - 50.0f, 0.0f, 500.0f), 1e-4f) << k;
            const float peak = level > peakBefore[k] ? 0.99f * peakBefore[k] + 0.01f * level : level;
            ASSERT_NEAR(feed.peakDisp[k].load(), peak, 1e-4f) << k;
            const auto phaseOf = [&](const Spectrum& s) {
                return std::atan2(s[upper], upper >= 1024 ? s[1024] : s[kN - upper]);
            };
            const bool quietL = column(left, upper) < 1e-6f, quietR = column(right, upper) < 1e-6f;
            const float phase = quietL && quietR ? 0.0f
                                : quietR         ? -1.57285f
                                : quietL         ? 1.57285f
                                                 : phaseOf(left) - phaseOf(right);
            ASSERT_NEAR(feed.phaseDisp[k].load(), phase, 2e-6f) << k;
        }
    }
}

} // namespace
