// The audio thread never touches the heap: every allocation and release made inside processReplacing and
// processEvents is counted over a long run with parameter and program changes between blocks.
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

#include "engine/parameter_ids.h"
#include "stress_signals.h"
#include "support/message_box.h"
#include "test_helpers.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define LUMERIC_SANITIZER_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LUMERIC_SANITIZER_ALLOCATOR 1
#endif

namespace {
// Set only around the calls under test, on the thread that makes them.
thread_local bool countingThisThread = false;
std::atomic<long> heapCalls{0};

inline void noteHeapCall() {
    if (countingThisThread) heapCalls.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

#ifdef LUMERIC_SANITIZER_ALLOCATOR
// The sanitizers own malloc; they report every allocation and release to these hooks instead. Declared
// here because GCC ships the runtime without its headers.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onAllocate)(const volatile void*, size_t),
                                                         void (*onRelease)(const volatile void*));
namespace {
void onAllocate(const volatile void*, size_t) {
    noteHeapCall();
}
void onRelease(const volatile void*) {
    noteHeapCall();
}
const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks(onAllocate, onRelease);
} // namespace
#else
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
void* memalign(size_t alignment, size_t size) {
    noteHeapCall();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    noteHeapCall();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, size_t alignment, size_t size) {
    noteHeapCall();
    void* pointer = __libc_memalign(alignment, size);
    if (!pointer) return ENOMEM;
    *result = pointer;
    return 0;
}
void free(void* pointer) {
    if (pointer) noteHeapCall();
    __libc_free(pointer);
}
}
#endif

namespace {

// Counts the heap calls made by `work` on this thread.
template <typename Work> long heapCallsDuring(Work&& work) {
    const long before = heapCalls.load(std::memory_order_relaxed);
    countingThisThread = true;
    work();
    countingThisThread = false;
    return heapCalls.load(std::memory_order_relaxed) - before;
}

// A list of MIDI events as a host builds it, on the host's side.
struct MidiList {
    explicit MidiList(int count) : events(static_cast<size_t>(count)) {
        storage.resize(sizeof(VstEvents) + sizeof(VstEvent*) * static_cast<size_t>(count));
        list = reinterpret_cast<VstEvents*>(storage.data());
        list->numEvents = count;
        for (int i = 0; i < count; ++i) {
            VstMidiEvent& event = events[static_cast<size_t>(i)];
            event = VstMidiEvent{};
            event.type = kVstMidiType;
            event.byteSize = sizeof(VstMidiEvent);
            event.deltaFrames = i % 64;
            event.midiData[0] = static_cast<char>(0x90 + i % 16); // notes and program changes
            if (i % 5 == 0) event.midiData[0] = static_cast<char>(0xC0 + i % 16);
            event.midiData[1] = static_cast<char>(i % 128);
            event.midiData[2] = 100;
            list->events[i] = reinterpret_cast<VstEvent*>(&event);
        }
    }
    std::vector<VstMidiEvent> events;
    std::vector<char> storage;
    VstEvents* list;
};

TEST(AudioThreadAllocation, TheCounterSeesAllocationsAtAll) {
    static void* volatile probe = nullptr; // volatile: the pair cannot be optimised away
    const long calls = heapCallsDuring([&] {
        probe = std::malloc(64);
        std::free(probe);
        probe = new std::vector<int>(16);
        delete static_cast<std::vector<int>*>(probe);
    });
    EXPECT_GE(calls, 4) << "the allocation counter is not in place";
}

TEST(AudioThreadAllocation, LongRunWithParameterAndProgramChangesAllocatesNothing) {
    NoDialogPrograms quiet; // odd blocks at the half rates raise the one-time warning
    std::mt19937 random(42);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    StereoStream block(8192);
    MidiList midi(1000);
    MidiList noMidi(0);

    for (float rate : kBatteryRates) {
        auto plugin = newInstance();
        plugin->start(rate, 8192);
        AEffect* effect = plugin->effect();
        long calls = 0;
        int64_t position = 0;
        for (int step = 0; step < 300; ++step) {
            // Host-thread traffic between blocks: not counted.
            if (step % 10 == 0)
                plugin->dispatch(effSetProgram, 0, static_cast<VstIntPtr>(random() % kNumPrograms));
            for (int k = 0; k < 3; ++k)
                plugin->setParameter(static_cast<VstInt32>(random() % kNumUsedParams), unit(random));
            if (step % 97 == 50) {
                plugin->suspend();
                plugin->resume();
            }
            const int32_t n = randomBlockSize(random);
            fillSignal(kFiniteSignals[step % 5], random, block.left.data(), block.right.data(), n, position,
                       rate);
            position += n;
            float* channels[2] = {block.left.data(), block.right.data()};
            MidiList& events = step % 3 ? noMidi : midi;
            calls += heapCallsDuring([&] {
                effect->dispatcher(effect, effProcessEvents, 0, 0, events.list, 0.0f);
                effect->processReplacing(effect, channels, channels, n);
            });
        }
        EXPECT_EQ(calls, 0) << "heap calls on the audio thread at " << rate << " Hz";
    }
}

// The block driver raises its one-time warning from the audio thread.
TEST(AudioThreadAllocation, TheDetachedWarningAllocatesNothing) {
    {
        FakeDialogProgram zenity("zenity");
        EXPECT_EQ(heapCallsDuring([] { showMessageBoxDetached("Warning", "launched"); }), 0);
    }
    {
        NoDialogPrograms none;
        EXPECT_EQ(heapCallsDuring([] { showMessageBoxDetached("Warning", "nothing to launch"); }), 0);
    }
}

} // namespace
