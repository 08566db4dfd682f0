// Processing under abuse through the module, at every host rate: random block sizes, rate changes,
// suspends mid-stream, every program, hostile inputs and parameter values outside 0..1.
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

#include "engine/parameter_ids.h"
#include "stress_signals.h"
#include "test_helpers.h"

namespace {

constexpr int32_t kMaxBlock = 8192;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::string rateName(const ::testing::TestParamInfo<float>& info) {
    return std::to_string(static_cast<int>(info.param)) + "Hz";
}

class ProcessingAbuse : public ::testing::TestWithParam<float> {
  protected:
    float rate() const { return GetParam(); }
    NoDialogPrograms quiet; // odd blocks at the half rates raise the one-time warning
};

// A whole stream processed block by block with the given block lengths (cycled).
void processStream(PluginInstance& plugin, StereoStream& stream, const std::vector<int32_t>& blocks,
                   size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, stream.size());
    size_t position = from, next = 0;
    while (position < to) {
        const size_t n = std::min<size_t>(static_cast<size_t>(blocks[next++ % blocks.size()]), to - position);
        plugin.process(&stream.left[position], &stream.right[position], static_cast<VstInt32>(n));
        position += n;
    }
}

std::vector<int32_t> randomBlocks(std::mt19937& random, int count, int32_t largest) {
    std::vector<int32_t> blocks;
    for (int i = 0; i < count; ++i)
        blocks.push_back(1 + static_cast<int32_t>(randomBlockSize(random) % largest));
    return blocks;
}

// RMS of each channel of `tested` over [from, to) lies within 3 dB of `reference`.
void expectSameLevel(const StereoStream& tested, const StereoStream& reference, size_t from, size_t to,
                     const std::string& what) {
    const std::vector<float> StereoStream::*channels[] = {&StereoStream::left, &StereoStream::right};
    for (auto channel : channels) {
        const double got = rootMeanSquare(&(tested.*channel)[from], to - from);
        const double want = rootMeanSquare(&(reference.*channel)[from], to - from);
        if (want < 1e-4) continue;
        EXPECT_GT(got, want * 0.7) << what << " (level " << got << " against " << want << ")";
        EXPECT_LT(got, want * 1.41) << what << " (level " << got << " against " << want << ")";
    }
}

TEST_P(ProcessingAbuse, EveryProgramWithRandomBlocksInputsAndParametersStaysFinite) {
    std::mt19937 random(static_cast<unsigned>(rate()));
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    auto plugin = newInstance();
    plugin->start(rate(), kMaxBlock);
    StereoStream block(kMaxBlock);
    int64_t position = 0;
    auto processOne = [&](TestSignal signal, int program) {
        const int32_t n = randomBlockSize(random);
        fillSignal(signal, random, block.left.data(), block.right.data(), n, position, rate());
        plugin->process(block.left.data(), block.right.data(), n);
        position += n;
        ASSERT_EQ(firstNonFinite(block.left.data(), static_cast<size_t>(n)), -1)
            << "program " << program << ", block of " << n;
        ASSERT_EQ(firstNonFinite(block.right.data(), static_cast<size_t>(n)), -1)
            << "program " << program << ", block of " << n;
    };
    for (int program = 0; program < kNumPrograms; ++program) {
        plugin->dispatch(effSetProgram, 0, program);
        if (program % 3 == 1)
            for (int k = 0; k < 8; ++k)
                plugin->setParameter(static_cast<VstInt32>(random() % kNumParams), unit(random));
        for (int b = 0; b < 3; ++b) {
            ASSERT_NO_FATAL_FAILURE(processOne(kFiniteSignals[(program + b) % 5], program));
            if (b == 1 && program % 8 == 3) {
                plugin->suspend();
                plugin->resume();
            }
        }
        if (program % 16 == 7) {
            plugin->suspend();
            plugin->setSampleRate(kBatteryRates[random() % 7]);
            plugin->resume();
            ASSERT_NO_FATAL_FAILURE(processOne(TestSignal::Noise, program));
            plugin->suspend();
            plugin->setSampleRate(rate());
            plugin->resume();
        }
    }
}

// Programs that switch on different parts of the path: spectral, everything, three-band, punch,
// exciter, mono, none.
constexpr int kBurstPrograms[] = {1, 72, 43, 31, 56, 50, 127};

TEST_P(ProcessingAbuse, NonFiniteBurstsNeverReachTheOutputAndAudioResumesWithinOnePathDelay) {
    const size_t burstStart = 6000, burstLength = 700, burstEnd = burstStart + burstLength;
    const size_t recovered = burstEnd + static_cast<size_t>(longestPathDelay(rate()));
    const size_t total = recovered + 4096;
    std::mt19937 random(static_cast<unsigned>(rate()) + 1);
    const std::vector<int32_t> blocks = randomBlocks(random, 64, 2048);

    StereoStream input(total);
    fillSignal(TestSignal::Noise, random, input.left.data(), input.right.data(), static_cast<int32_t>(total),
               0, rate());
    for (size_t i = burstStart; i < burstEnd; ++i)
        input.left[i] = input.right[i] = 0.0f;

    int kind = 0;
    for (int program : kBurstPrograms) {
        StereoStream reference = input, tested = input;
        for (size_t i = burstStart; i < burstEnd; ++i) {
            switch (kind % 4) {
            case 0:
                tested.left[i] = tested.right[i] = kNaN;
                break;
            case 1:
                tested.left[i] = kInf;
                tested.right[i] = -kInf;
                break;
            case 2:
                tested.left[i] = (i & 1) ? kNaN : kInf;
                break;
            default:
                if (i == burstStart) tested.right[i] = kNaN; // a single bad sample
                break;
            }
        }
        ++kind;
        auto plain = newInstance(), abused = newInstance();
        for (auto* plugin : {plain.get(), abused.get()}) {
            plugin->start(rate(), kMaxBlock);
            plugin->dispatch(effSetProgram, 0, program);
        }
        processStream(*plain, reference, blocks);
        processStream(*abused, tested, blocks);
        const std::string what = "program " + std::to_string(program);
        EXPECT_EQ(firstNonFinite(tested.left.data(), total), -1) << what;
        EXPECT_EQ(firstNonFinite(tested.right.data(), total), -1) << what;
        expectSameLevel(tested, reference, recovered, total, what);
    }
}

constexpr size_t kLongestBandDelay = 4096;
constexpr float kBadValues[] = {-1.0f, 2.0f, 1e6f, kNaN, kInf, -kInf};

// Each index alone, then all of them at once (index kNumParams), one after another in one stream per bad
// value; once the value is back in range and what was made meanwhile has left the path, the output is
// finite and as loud as that of an untouched instance fed the same stream.
TEST_P(ProcessingAbuse, ParameterValuesOutsideTheRangeAreSurvivedAndForgotten) {
    const size_t badLength = 1500;
    // Audio made while the value was out of range is still in flight for the longest memory of the path: the
    // band delay lines (4096 samples) and the spectral delay.
    const size_t recovered =
        badLength + kLongestBandDelay + static_cast<size_t>(longestPathDelay(rate())) + 2048;
    const size_t segment = recovered + 2048;
    const size_t total = segment * (kNumParams + 1);
    std::mt19937 random(static_cast<unsigned>(rate()) + 2);
    const std::vector<int32_t> blocks = randomBlocks(random, 32, 1024);
    StereoStream input(total);
    fillSignal(TestSignal::Noise, random, input.left.data(), input.right.data(), static_cast<int32_t>(total),
               0, rate());

    for (int program : {72, 0}) {
        auto start = [&] {
            auto plugin = newInstance();
            plugin->start(rate(), kMaxBlock);
            plugin->dispatch(effSetProgram, 0, program);
            return plugin;
        };
        StereoStream reference = input;
        processStream(*start(), reference, blocks);
        for (float bad : kBadValues) {
            auto plugin = start();
            float saved[kNumParams];
            for (int i = 0; i < kNumParams; ++i)
                saved[i] = plugin->getParameter(i);
            StereoStream tested = input;
            for (int index = 0; index <= kNumParams; ++index) {
                const std::string what = "program " + std::to_string(program) + ", value " +
                                         std::to_string(bad) + ", index " + std::to_string(index);
                const size_t from = segment * static_cast<size_t>(index);
                for (int i = 0; i < kNumParams; ++i)
                    if (i == index || index == kNumParams) plugin->setParameter(i, bad);
                processStream(*plugin, tested, blocks, from, from + badLength);
                char display[64];
                std::memset(display, 'x', sizeof display);
                plugin->dispatch(effGetParamDisplay, index, 0, display);
                EXPECT_EQ(display[kVstMaxParamStrLen], 'x') << what << ": display text overran its 8 bytes";
                for (int i = 0; i < kNumParams; ++i)
                    plugin->setParameter(i, saved[i]);
                processStream(*plugin, tested, blocks, from + badLength, from + segment);
                ASSERT_EQ(firstNonFinite(&tested.left[from + recovered], segment - recovered), -1) << what;
                ASSERT_EQ(firstNonFinite(&tested.right[from + recovered], segment - recovered), -1) << what;
                expectSameLevel(tested, reference, from + recovered, from + segment, what);
                if (HasFailure()) return;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, ProcessingAbuse, ::testing::ValuesIn(kBatteryRates), rateName);

} // namespace

namespace {

// Rates no host should send: none may crash the effect, and a proper rate afterwards brings normal audio.
TEST(HostileSampleRates, AreSurvivedAndAProperRateRestoresNormalAudio) {
    NoDialogPrograms quiet;
    const float rates[] = {0.0f,  -44100.0f, kNaN,    kInf,     -kInf,     1.0f,
                           1e12f, 3e38f,     8000.0f, 11025.0f, 384000.0f, 44100.5f};
    std::mt19937 random(9);
    const size_t total = 16384;
    StereoStream reference(total);
    fillSignal(TestSignal::Noise, random, reference.left.data(), reference.right.data(),
               static_cast<int32_t>(total), 0, 44100.0f);
    const StereoStream input = reference;
    {
        auto plain = newInstance();
        plain->start(44100.0f);
        plain->dispatch(effSetProgram, 0, 72);
        processStream(*plain, reference, {512});
    }
    for (float rate : rates) {
        const std::string what = "rate " + std::to_string(rate);
        auto plugin = newInstance();
        plugin->start(rate);
        plugin->dispatch(effSetProgram, 0, 72);
        StereoStream block = input;
        processStream(*plugin, block, {512, 31, 1}, 0, 4096);
        plugin->suspend();
        plugin->setSampleRate(44100.0f);
        plugin->resume();
        StereoStream tested = input;
        processStream(*plugin, tested, {512});
        EXPECT_EQ(firstNonFinite(tested.left.data(), total), -1) << what;
        expectSameLevel(tested, reference, total / 2, total, what);
    }
}

} // namespace

namespace {

// Hosts hand separate input and output buffers as often as shared ones; the result must not differ.
TEST_P(ProcessingAbuse, SeparateBuffersGiveExactlyWhatInPlaceGives) {
    std::mt19937 random(static_cast<unsigned>(rate()) + 3);
    const size_t total = 24000;
    const std::vector<int32_t> blocks = randomBlocks(random, 16, 4096);
    StereoStream input(total);
    fillSignal(TestSignal::Noise, random, input.left.data(), input.right.data(), static_cast<int32_t>(total),
               0, rate());
    auto inPlace = newInstance(), separate = newInstance();
    for (auto* plugin : {inPlace.get(), separate.get()}) {
        plugin->start(rate(), kMaxBlock);
        plugin->dispatch(effSetProgram, 0, 72);
    }
    StereoStream shared = input;
    processStream(*inPlace, shared, blocks);
    StereoStream output(total);
    size_t position = 0, next = 0;
    while (position < total) {
        const size_t n =
            std::min<size_t>(static_cast<size_t>(blocks[next++ % blocks.size()]), total - position);
        float* in[2] = {&input.left[position], &input.right[position]};
        float* out[2] = {&output.left[position], &output.right[position]};
        separate->processReplacing(in, out, static_cast<VstInt32>(n));
        position += n;
    }
    EXPECT_TRUE(output.left == shared.left && output.right == shared.right);
}

// Counts of zero or less and missing channels: nothing is written and nothing breaks.
TEST_P(ProcessingAbuse, EmptyAndMissingBuffersAreRefused) {
    auto plugin = newInstance();
    plugin->start(rate(), kMaxBlock);
    float left[16], right[16];
    std::fill(std::begin(left), std::end(left), 0.25f);
    std::fill(std::begin(right), std::end(right), -0.25f);
    float* channels[2] = {left, right};
    float* missing[2] = {left, nullptr};
    for (VstInt32 frames : {0, -1, -8192, std::numeric_limits<VstInt32>::min()}) {
        plugin->processReplacing(channels, channels, frames);
        for (int i = 0; i < 16; ++i) {
            ASSERT_EQ(left[i], 0.25f) << frames;
            ASSERT_EQ(right[i], -0.25f) << frames;
        }
    }
    plugin->processReplacing(nullptr, channels, 16);
    plugin->processReplacing(channels, nullptr, 16);
    plugin->processReplacing(missing, channels, 16);
    plugin->processReplacing(channels, missing, 16);
    plugin->process(left, right, 16);
    EXPECT_EQ(firstNonFinite(left, 16), -1);
}

} // namespace
