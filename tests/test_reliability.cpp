// The reliability battery: the real module driven as careless hosts drive it, at every rate, with every kind
// of signal, block pattern and bad input; many instances at once; the editor abused; the
// host's threads meeting in one instance. The sanitizer builds run all of it, valgrind a subset with smaller
// counts (LUMERIC_BATTERY_SHRINK), ThreadSanitizer the threads.
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <limits>
#include <thread>

#include "dsp/audio_path.h"
#include "engine/px_audio.h"
#include "stress_signals.h"
#include "test_helpers.h"
#include "x11_test_host.h"

namespace {

// Under valgrind, xvfb-run gives the display (LUMERIC_DISPLAY_GIVEN): Xvfb started from inside valgrind often
// fails to report its own.
class DisplayUnlessGiven : public XvfbServer {
  public:
    void SetUp() override {
        if (!std::getenv("LUMERIC_DISPLAY_GIVEN")) XvfbServer::SetUp();
    }
};
const auto* const xvfb = ::testing::AddGlobalTestEnvironment(new DisplayUnlessGiven);

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// What the abused instance gets and its twin does not. Clean: only separate input and output buffers.
enum class Bad { Clean, NaNBurst, InfBurst, OneNaN, Parameter };
struct Row {
    Bad bad;
    float value; // for Parameter: given to each parameter in turn
};
constexpr Row kRows[] = {{Bad::Clean, 0},        {Bad::NaNBurst, 0},      {Bad::InfBurst, 0},
                         {Bad::OneNaN, 0},       {Bad::Parameter, -1.0f}, {Bad::Parameter, 2.0f},
                         {Bad::Parameter, 1e6f}, {Bad::Parameter, kNaN},  {Bad::Parameter, kInf},
                         {Bad::Parameter, -kInf}};
// Under valgrind only the first, which has random blocks as well.
constexpr BlockPattern kPatterns[] = {BlockPattern::RateChange, BlockPattern::Random, BlockPattern::Fixed512};
// Where the rate-change pattern takes the host for a while: another rate, or one no host should send.
constexpr float kExcursions[] = {48000.0f, 96000.0f, 22050.0f, 0.0f,  -44100.0f, kNaN,
                                 kInf,     1.0f,     1e12f,    3e38f, 44100.5f};
constexpr size_t kLead = 2048, kTail = 2048;
constexpr size_t kSegment = 256;    // frames each parameter holds its bad value
constexpr size_t kBandDelay = 4096; // longest memory of the time-domain stages

// Longest lag of the output behind the input, in host frames.
size_t pathDelay(float rate) {
    switch (AudioPath::classifyRate(rate)) {
    case AudioPath::RateClass::Full:
        return kFullRateDelay;
    case AudioPath::RateClass::Half:
        return kHalfRateDelay + 1; // and the final two-tap average
    default:
        return 0;
    }
}

// One row: a lead of `signal`, then noise with the bad input on the abused instance only, then noise again.
// Both instances get the same blocks and host calls; the abused one processes from separate buffers.
void runRow(float rate, BlockPattern pattern, const Row& row, int run) {
    const bool parameter = row.bad == Bad::Parameter;
    const size_t badEnd = kLead + (parameter ? kSegment * kNumParams : 700);
    const size_t recovered = badEnd + pathDelay(rate) + (parameter ? kBandDelay + 2048 : 0);
    const size_t total = recovered + kTail;
    std::mt19937 random(static_cast<unsigned>(rate) + static_cast<unsigned>(run));
    StereoStream reference(total);
    fillSignal(kFiniteSignals[run % 5], random, reference.left.data(), reference.right.data(), kLead, 0,
               rate);
    fillSignal(TestSignal::Noise, random, &reference.left[kLead], &reference.right[kLead],
               static_cast<int32_t>(total - kLead), kLead, rate);
    if (!parameter)
        for (size_t i = kLead; i < badEnd; ++i)
            reference.left[i] = reference.right[i] = 0.0f;
    StereoStream tested = reference, output(total);
    for (size_t i = kLead; i < badEnd && (row.bad == Bad::NaNBurst || row.bad == Bad::InfBurst); ++i) {
        tested.left[i] = row.bad == Bad::NaNBurst || (i & 1) ? kNaN : kInf;
        tested.right[i] = row.bad == Bad::NaNBurst ? kNaN : -kInf;
    }
    if (row.bad == Bad::OneNaN) tested.right[kLead] = kNaN;

    // Over the runs the programs reach every part of the path; one parameter at a time wants them all on.
    const int program = parameter ? 72 : run * 13 % kNumPrograms;
    auto plain = newInstance(), abused = newInstance();
    for (auto* plugin : {plain.get(), abused.get()}) {
        plugin->start(rate, 8192);
        plugin->dispatch(effSetProgram, 0, program);
    }
    float saved[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        saved[i] = abused->getParameter(i);
    // Host calls come between blocks, at these positions.
    std::vector<size_t> stops = {kLead / 2, kLead, (kLead + badEnd) / 2, badEnd, total};
    for (size_t k = 1; parameter && k < kNumParams; ++k)
        stops.push_back(kLead + k * kSegment);
    std::sort(stops.begin(), stops.end());

    for (size_t position = 0; position < total;) {
        // A rate excursion before the bad input and a reset in the middle of it.
        if (pattern == BlockPattern::RateChange &&
            (position == kLead / 2 || position == kLead || position == (kLead + badEnd) / 2))
            for (auto* plugin : {plain.get(), abused.get()}) {
                plugin->suspend();
                plugin->setSampleRate(position == kLead / 2 ? kExcursions[run % 11] : rate);
                plugin->resume();
            }
        if (parameter && position >= kLead && position <= badEnd && (position - kLead) % kSegment == 0) {
            const auto index = static_cast<VstInt32>((position - kLead) / kSegment);
            if (index > 0) abused->setParameter(index - 1, saved[index - 1]);
            if (index < kNumParams) abused->setParameter(index, row.value);
        }
        const size_t stop = *std::upper_bound(stops.begin(), stops.end(), position);
        const auto n = static_cast<VstInt32>(std::min<size_t>(blockSize(pattern, random), stop - position));
        // Empty counts and missing channels must write nothing and disturb nothing: the clean row compares.
        float* whole[2] = {&reference.left[position], &reference.right[position]};
        float* half[2] = {whole[0], nullptr};
        plain->processReplacing(whole, whole, position % 2 ? 0 : std::numeric_limits<VstInt32>::min() + n);
        plain->processReplacing(nullptr, whole, n);
        plain->processReplacing(half, whole, n);
        plain->processReplacing(whole, half, n);
        plain->processReplacing(whole, whole, n);
        float* in[2] = {&tested.left[position], &tested.right[position]};
        float* out[2] = {&output.left[position], &output.right[position]};
        abused->processReplacing(in, out, n);
        position += static_cast<size_t>(n);
    }

    for (auto channel : {&StereoStream::left, &StereoStream::right}) {
        const std::vector<float>&got = output.*channel, &want = reference.*channel;
        // A rate no host should send may give nonsense while it lasts, but leaves nothing behind.
        const size_t checked = pattern == BlockPattern::RateChange ? kLead : 0;
        EXPECT_EQ(firstNonFinite(&got[checked], total - checked), -1) << "program " << program;
        if (row.bad == Bad::Clean) {
            EXPECT_TRUE(std::equal(got.begin() + checked, got.end(), want.begin() + checked))
                << "separate buffers differ from in place";
        }
        const double level = rootMeanSquare(&got[recovered], kTail);
        const double normal = rootMeanSquare(&want[recovered], kTail);
        EXPECT_TRUE(level >= 0.7 * normal && level <= 1.41 * normal)
            << "program " << program << ": level " << level << " against " << normal << " after recovery";
    }
}

class Battery : public ::testing::TestWithParam<float> {
  protected:
    NoDialogPrograms quiet; // odd blocks at the half rates raise the one-time warning
};

TEST_P(Battery, EverySignalBlockPatternAndBadInputLeavesFiniteNormalAudio) {
    const auto rateIndex =
        std::find(std::begin(kBatteryRates), std::end(kBatteryRates), GetParam()) - kBatteryRates;
    for (int pattern = 0; pattern < shrunk(3); ++pattern)
        for (int row = 0; row < 10; ++row) {
            // The parameter rows cost most: each meets one pattern per rate, and every pattern over the
            // rates.
            if (kRows[row].bad == Bad::Parameter && (row + pattern + rateIndex) % 3 != 0) continue;
            const int run = static_cast<int>(rateIndex) * 30 + pattern * 10 + row;
            SCOPED_TRACE(::testing::Message() << "pattern " << pattern << ", row " << row);
            runRow(GetParam(), kPatterns[pattern], kRows[row], run);
            if (HasFailure()) return;
        }
}

std::string rateName(const ::testing::TestParamInfo<float>& info) {
    return std::to_string(static_cast<int>(info.param)) + "Hz";
}
INSTANTIATE_TEST_SUITE_P(Rates, Battery, ::testing::ValuesIn(kBatteryRates), rateName);

// Blocks of noise through the instance; every output sample must be finite.
void processNoise(PluginInstance& plugin, int blocks) {
    static std::mt19937 random(11);
    StereoStream block(512);
    for (int b = 0; b < blocks; ++b) {
        fillSignal(TestSignal::Noise, random, block.left.data(), block.right.data(), 512, 0, 44100.0f);
        plugin.process(block.left.data(), block.right.data(), 512);
        ASSERT_EQ(firstNonFinite(block.left.data(), 512), -1);
    }
}

// Many instances come and go; then sixteen (fewer under valgrind) at different rates and programs process in
// turn, and each gives exactly what it gives alone and keeps its own program names.
TEST(Storm, ManyComeAndGoAndThoseAliveTogetherStayIndependent) {
    for (int i = 0; i < shrunk(200); ++i)
        ASSERT_NE(PluginInstance::create(testModule()), nullptr);
    const int instances = shrunk(16), rounds = 24;
    auto begin = [](int id) {
        auto plugin = newInstance();
        plugin->start(kBatteryRates[id % 7], 1024);
        plugin->dispatch(effSetProgram, 0, id * 7 % kNumPrograms);
        std::string name = "Instance " + std::to_string(id);
        plugin->dispatch(effSetProgramName, 0, 0, name.data());
        return plugin;
    };
    auto step = [](PluginInstance& plugin, int id, int round, StereoStream& output) {
        std::mt19937 random(static_cast<unsigned>(id * 1000 + round));
        StereoStream block(1 + random() % 1024);
        const auto n = static_cast<int32_t>(block.size());
        fillSignal(TestSignal::Noise, random, block.left.data(), block.right.data(), n, 0, 44100.0f);
        plugin.process(block.left.data(), block.right.data(), n);
        output.left.insert(output.left.end(), block.left.begin(), block.left.end());
    };
    std::vector<std::unique_ptr<PluginInstance>> plugins;
    std::vector<StereoStream> together(instances);
    for (int id = 0; id < instances; ++id)
        plugins.push_back(begin(id));
    for (int round = 0; round < rounds; ++round)
        for (int id = 0; id < instances; ++id)
            step(*plugins[id], id, round, together[id]);
    for (int id = 0; id < instances; ++id) {
        EXPECT_EQ(plugins[id]->programNameIndexed(0), id == 0 ? "Instance 0" : "Enhance general medium");
        plugins[id].reset();
        auto alone = begin(id);
        StereoStream output;
        for (int round = 0; round < rounds; ++round)
            step(*alone, id, round, output);
        EXPECT_TRUE(output.left == together[id].left) << "instance " << id << " heard its neighbours";
    }
}

// Keys as hosts pass them on, sensible or not.
void sendKeys(PluginInstance& plugin) {
    for (VstIntPtr key : {0, 1, 14, 40, 255, -1}) {
        plugin.dispatch(effEditKeyDown, 'a', key, nullptr, 0.0f);
        plugin.dispatch(effEditKeyUp, 0x7fffffff, key, nullptr, 1e9f);
    }
}

// Bad values reach the knobs through the effect's echo while the editor draws them.
TEST(Editor, OpenIdleCloseCyclesWithBadValuesOnTheKnobs) {
    auto plugin = newInstance();
    plugin->start(44100.0f);
    TestHostWindow parent;
    const float bad[] = {-1.0f, 2.0f, 1e6f, kNaN, kInf, -kInf};
    for (int cycle = 0; cycle < shrunk(40); ++cycle) {
        ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, parent.handle()), 1) << "cycle " << cycle;
        for (int i = 0; i < kNumParams && cycle % 10 == 0; ++i)
            plugin->setParameter(i, bad[(cycle / 10 + i) % 6]);
        for (int idle = 0; idle < 3; ++idle) {
            processNoise(*plugin, 1);
            plugin->dispatch(effEditIdle);
        }
        if (cycle % 10 == 5) plugin->dispatch(effSetProgram, 0, cycle % kNumPrograms);
        if (cycle % 20 == 0) sendKeys(*plugin);
        plugin->dispatch(effEditClose);
    }
}

// Idle, close and keys with no editor open; the host's window destroyed before the editor is closed; the
// effect closed with its editor open.
TEST(Editor, CarelessHostCallsAreSurvived) {
    auto plugin = newInstance();
    plugin->dispatch(effEditIdle);
    plugin->dispatch(effEditClose);
    EXPECT_EQ(plugin->dispatch(effEditGetRect), 0);
    sendKeys(*plugin);
    for (int round = 0; round < 3; ++round) {
        TestHostWindow parent;
        ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, parent.handle()), 1);
        plugin->dispatch(effEditIdle);
        xcb_destroy_window(parent.connection, parent.window);
        parent.sync();
        plugin->dispatch(effEditIdle);
        sendKeys(*plugin);
        plugin->dispatch(effEditClose);
    }
    TestHostWindow parent;
    EXPECT_EQ(plugin->dispatch(effEditOpen, 0, 0, parent.handle()), 1);
    plugin->dispatch(effEditIdle);
    plugin->close();
}

// The host's threads in one instance: the audio thread processes while a second sets parameters, switches
// programs and reads names, and a third opens, idles and closes the editor.
TEST(Threads, AudioControlAndEditorThreadsMeetInOneInstance) {
    auto plugin = newInstance();
    plugin->start(44100.0f, 512);
    AEffect* effect = plugin->effect();
    std::atomic<int> busy{2}; // the control and editor threads
    std::thread audio([&] {
        VstEvents noEvents{};
        for (int blocks = 0; busy.load() > 0 || blocks < 1000; ++blocks) {
            effect->dispatcher(effect, effProcessEvents, 0, 0, &noEvents, 0.0f);
            processNoise(*plugin, 1);
        }
    });
    std::thread control([&] {
        std::mt19937 random(2);
        char text[256];
        for (int round = 0; round < shrunk(20000); ++round) {
            const auto index = static_cast<VstInt32>(random() % kNumParams);
            effect->setParameter(effect, index, static_cast<float>(random() % 1001) / 1000.0f);
            effect->dispatcher(effect, effGetParamDisplay, index, 0, text, 0.0f);
            effect->dispatcher(effect, effGetProgramNameIndexed, index, 0, text, 0.0f);
            if (round % 16 == 0)
                effect->dispatcher(effect, effSetProgram, 0, random() % kNumPrograms, nullptr, 0);
        }
        busy--;
    });
    std::thread ui([&] {
        TestHostWindow parent;
        for (int cycle = 0; cycle < 5; ++cycle) {
            EXPECT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, parent.handle(), 0.0f), 1);
            for (int i = 0; i < 20; ++i)
                effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
            effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
        }
        busy--;
    });
    ui.join();
    control.join();
    audio.join();
}

} // namespace
