// The audio thread never touches the heap: every allocation and release inside processReplacing and
// processEvents is counted over the battery's rates, signals and block patterns, with program and parameter
// changes, suspends and rate changes between blocks, and inside the LV2 edition's run as its control ports
// change. Its own program: it replaces the C allocator, which the sanitizers own, so their builds leave it
// out.
#include <atomic>
#include <gtest/gtest.h>

#include "engine/parameter_ids.h"
#include "stress_signals.h"
#include "support/message_box.h"
#include "test_helpers.h"
#include "tools/hostlib/lv2_host.h"

namespace {
thread_local bool countingThisThread = false; // set only around the calls under test
std::atomic<long> heapCalls{0};
void noteHeapCall() {
    if (countingThisThread) heapCalls.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

// Interposes the C allocator for the whole process, the loaded module and operator new included.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
void* malloc(size_t size) {
    noteHeapCall();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    noteHeapCall();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
    noteHeapCall();
    return __libc_realloc(pointer, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    noteHeapCall();
    return __libc_memalign(alignment, size);
}
void free(void* pointer) {
    if (pointer) noteHeapCall();
    __libc_free(pointer);
}
}

namespace {

template <typename Work> long heapCallsDuring(Work&& work) {
    const long before = heapCalls.load();
    countingThisThread = true;
    work();
    countingThisThread = false;
    return heapCalls.load() - before;
}

TEST(AudioThreadAllocation, BatteryTrafficAndTheOddBlockWarningAllocateNothing) {
    static void* volatile probe = nullptr; // volatile: the pair cannot be optimised away
    ASSERT_GE(heapCallsDuring([] { delete static_cast<int*>(probe = new int(1)); }), 2)
        << "counter not in place";
    FakeDialogProgram zenity; // the one-time odd-block warning at the half rates launches it
    std::mt19937 random(42);
    StereoStream block(8192);
    VstMidiEvent notes[2] = {
        {kVstMidiType, sizeof(VstMidiEvent), 3, 0, 0, 0, {char(0x90), 60, 100, 0}, 0, 0, 0, 0},
        {kVstMidiType, sizeof(VstMidiEvent), 9, 0, 0, 0, {char(0xC0), 5, 0, 0}, 0, 0, 0, 0}};
    VstEvents events{2, 0, {reinterpret_cast<VstEvent*>(&notes[0]), reinterpret_cast<VstEvent*>(&notes[1])}};
    for (float rate : kBatteryRates)
        for (BlockPattern pattern :
             {BlockPattern::Random, BlockPattern::Fixed512, BlockPattern::RateChange}) {
            auto plugin = newInstance();
            plugin->start(rate, 8192);
            AEffect* effect = plugin->effect();
            long calls = 0;
            for (int step = 0; step < 100; ++step) {
                if (step % 10 == 0)
                    plugin->dispatch(effSetProgram, 0, static_cast<VstIntPtr>(random() % kNumPrograms));
                plugin->setParameter(static_cast<VstInt32>(random() % kNumParams), (random() % 101) / 100.0f);
                if (step % 40 == 20) {
                    plugin->suspend();
                    if (pattern == BlockPattern::RateChange)
                        plugin->setSampleRate(kBatteryRates[random() % 7]);
                    plugin->resume();
                }
                const int32_t n = blockSize(pattern, random);
                fillSignal(kFiniteSignals[step % 5], random, block.left.data(), block.right.data(), n, 0,
                           rate);
                float* channels[2] = {block.left.data(), block.right.data()};
                calls += heapCallsDuring([&] {
                    effect->dispatcher(effect, effProcessEvents, 0, 0, &events, 0.0f);
                    effect->processReplacing(effect, channels, channels, n);
                });
            }
            EXPECT_EQ(calls, 0) << "heap calls on the audio thread at " << rate << " Hz";
        }
    // The LV2 edition's run, its control ports changing between calls.
    std::string error;
    auto lv2 =
        Lv2Instance::create(LUMERIC_LV2_BUNDLE, "lumeric.so", std::vector<float>(kNumParams), 44100, &error);
    ASSERT_TRUE(lv2) << error;
    long lv2Calls = 0;
    for (int step = 0; step < 100; ++step) {
        lv2->controls[random() % kNumParams] = (random() % 101) / 100.0f;
        float* left = block.left.data();
        lv2Calls += heapCallsDuring([&] { lv2->run(left, left, left, block.right.data(), 512); });
    }
    EXPECT_EQ(lv2Calls, 0) << "heap calls in the LV2 edition's run";
    EXPECT_EQ(heapCallsDuring([] { showMessageBoxDetached("Warning", "launched"); }), 0);
    NoDialogPrograms none;
    EXPECT_EQ(heapCallsDuring([] { showMessageBoxDetached("Warning", "nothing to launch"); }), 0);
}

} // namespace
