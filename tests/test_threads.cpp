// Host threads meeting inside one instance, as hosts drive it: the audio thread processes while a second
// thread sets parameters, switches programs and reads names, and a third opens and idles the editor.
// Meant to run under ThreadSanitizer; in other builds it still checks that nothing breaks.
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "engine/parameter_ids.h"
#include "stress_signals.h"
#include "test_helpers.h"
#include "x11_test_host.h"

namespace {

const auto* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);

constexpr long kAudioBlocks = 3000;
constexpr long kControlRounds = 20000;

struct Traffic {
    std::atomic<bool> stop{false};
    std::atomic<long> audioBlocks{0};
    std::atomic<long> nonFiniteBlocks{0};
    std::atomic<long> controlRounds{0};
    // Editor open/idle/close cycles the control thread waits for, so that the threads really overlap.
    long editorCyclesWanted = 0;
    std::atomic<long> editorCycles{0};
};

void audioThread(AEffect* effect, Traffic& traffic) {
    std::mt19937 random(1);
    StereoStream block(512);
    VstEvents noEvents{};
    int64_t position = 0;
    while (!traffic.stop.load() || traffic.audioBlocks.load() < kAudioBlocks) {
        const int32_t n = 1 + static_cast<int32_t>(random() % 512);
        fillSignal(TestSignal::Noise, random, block.left.data(), block.right.data(), n, position, 44100.0f);
        position += n;
        float* channels[2] = {block.left.data(), block.right.data()};
        effect->dispatcher(effect, effProcessEvents, 0, 0, &noEvents, 0.0f);
        effect->processReplacing(effect, channels, channels, n);
        if (firstNonFinite(block.left.data(), static_cast<size_t>(n)) >= 0) traffic.nonFiniteBlocks++;
        traffic.audioBlocks++;
    }
}

void controlThread(AEffect* effect, Traffic& traffic) {
    std::mt19937 random(2);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    char text[256];
    for (long round = 0; round < kControlRounds || traffic.audioBlocks.load() < kAudioBlocks / 2 ||
                         traffic.editorCycles.load() < traffic.editorCyclesWanted;
         ++round) {
        const auto index = static_cast<VstInt32>(random() % kNumParams);
        effect->setParameter(effect, index, unit(random));
        (void)effect->getParameter(effect, index);
        effect->dispatcher(effect, effGetParamDisplay, index, 0, text, 0.0f);
        effect->dispatcher(effect, effGetParamName, index, 0, text, 0.0f);
        effect->dispatcher(effect, effGetProgramName, 0, 0, text, 0.0f);
        effect->dispatcher(effect, effGetProgramNameIndexed, static_cast<VstInt32>(random() % kNumPrograms),
                           0, text, 0.0f);
        if (round % 16 == 0)
            effect->dispatcher(effect, effSetProgram, 0, static_cast<VstIntPtr>(random() % kNumPrograms),
                               nullptr, 0.0f);
        traffic.controlRounds++;
    }
}

TEST(Threads, AudioThreadProcessesWhileAnotherSetsParametersSwitchesProgramsAndReadsNames) {
    auto plugin = newInstance();
    plugin->start(44100.0f, 512);
    Traffic traffic;
    std::thread audio(audioThread, plugin->effect(), std::ref(traffic));
    std::thread control(controlThread, plugin->effect(), std::ref(traffic));
    control.join();
    traffic.stop = true;
    audio.join();
    EXPECT_GE(traffic.audioBlocks.load(), kAudioBlocks);
    EXPECT_GE(traffic.controlRounds.load(), kControlRounds);
    EXPECT_EQ(traffic.nonFiniteBlocks.load(), 0);
}

TEST(Threads, EditorOpenedAndIdledFromAThirdThread) {
    auto plugin = newInstance();
    plugin->start(44100.0f, 512);
    Traffic traffic;
    traffic.editorCyclesWanted = 5;
    AEffect* effect = plugin->effect();
    std::atomic<long> idles{0};
    std::atomic<bool> opened{true};
    std::thread audio(audioThread, effect, std::ref(traffic));
    std::thread control(controlThread, effect, std::ref(traffic));
    std::thread ui([&] {
        TestHostWindow parent;
        while (traffic.editorCycles.load() < traffic.editorCyclesWanted ||
               traffic.controlRounds.load() < kControlRounds) {
            if (effect->dispatcher(effect, effEditOpen, 0, 0, parent.handle(), 0.0f) != 1) {
                opened = false;
                traffic.editorCycles = traffic.editorCyclesWanted; // the control thread stops waiting
                return;
            }
            for (int i = 0; i < 20; ++i, ++idles)
                effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
            effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
            traffic.editorCycles++;
        }
    });
    ui.join();
    control.join();
    traffic.stop = true;
    audio.join();
    EXPECT_TRUE(opened.load());
    EXPECT_GT(idles.load(), 0);
    EXPECT_EQ(traffic.nonFiniteBlocks.load(), 0);
}

} // namespace
