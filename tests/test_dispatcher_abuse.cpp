// Every dispatcher request as a careless host sends it: odd indices, values and floats, no pointer or a
// zeroed one. Nothing may crash, and the effect works normally afterwards.
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

#include "engine/px_audio.h"
#include "host/aeff_editor.h"
#include "stress_signals.h"
#include "test_helpers.h"

namespace {

// Requests whose pointer must be something particular: a window, or the end of the record.
bool needsRealPointer(VstInt32 opcode) {
    return opcode == effClose || opcode == effEditOpen;
}
// Requests whose value carries a pointer.
bool valueIsPointer(VstInt32 opcode) {
    return opcode == effGetSpeakerArrangement || opcode == effSetSpeakerArrangement;
}

TEST(DispatcherAbuse, EveryRequestWithOddArgumentsIsSurvived) {
    NoDialogPrograms quiet;
    auto plugin = newInstance();
    plugin->start(44100.0f);
    const VstInt32 indices[] = {
        0, -1, 34, 35, 127, 128, std::numeric_limits<VstInt32>::max(), std::numeric_limits<VstInt32>::min()};
    const VstIntPtr values[] = {0, 1, -1, 128, VstIntPtr(1) << 40, -(VstIntPtr(1) << 40) + 5};
    const float opts[] = {0.0f, -1.0f, 44100.0f, std::numeric_limits<float>::quiet_NaN()};
    // Zeroed and large, as a host's scratch area would be; for requests that write texts or records into it.
    std::vector<char> scratch(4096, 0);
    for (VstInt32 opcode = 0; opcode < 80; ++opcode) {
        if (needsRealPointer(opcode)) continue;
        for (VstInt32 index : indices)
            for (VstIntPtr value : values)
                for (float opt : opts) {
                    if (valueIsPointer(opcode))
                        value = value ? reinterpret_cast<VstIntPtr>(scratch.data()) : 0;
                    for (void* ptr : {static_cast<void*>(nullptr), static_cast<void*>(scratch.data())}) {
                        std::fill(scratch.begin(), scratch.end(), 0);
                        // effSetSampleRate and effMainsChanged are never sent while processing; here nothing
                        // runs.
                        plugin->dispatch(opcode, index, value, ptr, opt);
                    }
                }
    }
    plugin->suspend();
    plugin->setSampleRate(44100.0f);
    plugin->resume();
    plugin->dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 1);
    StereoStream block(4096);
    std::mt19937 random(3);
    fillSignal(TestSignal::Noise, random, block.left.data(), block.right.data(), 4096, 0, 44100.0f);
    plugin->process(block.left.data(), block.right.data(), 4096);
    EXPECT_EQ(firstNonFinite(block.left.data(), 4096), -1);
}

TEST(DispatcherAbuse, ProgramNumbersThatOnlyLookSmallAfterCuttingTo32BitsAreIgnored) {
    auto plugin = newInstance();
    plugin->dispatch(effSetProgram, 0, 7);
    for (VstIntPtr wrapped : {-(VstIntPtr(1) << 32) + 5, (VstIntPtr(1) << 32) + 5, VstIntPtr(-1)}) {
        plugin->dispatch(effSetProgram, 0, wrapped);
        EXPECT_EQ(plugin->dispatch(effGetProgram), 7) << wrapped;
    }
}

} // namespace

namespace {

VstIntPtr plainHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

// Truncating them to whole hertz would be undefined; the effect keeps the rate it had.
TEST(DispatcherAbuse, SampleRatesThatAreNoRatesAreRefused) {
    std::unique_ptr<PxAudio> effect(static_cast<PxAudio*>(createEffectInstance(plainHost)));
    AEffect* record = effect->getAeffect();
    record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, 48000.5f);
    for (float rate : {0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(), 1e19f, std::numeric_limits<float>::max()}) {
        record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, rate);
        EXPECT_EQ(effect->getSampleRate(), 48000.5f) << rate;
        EXPECT_EQ(effect->getSampleRateInt(), 48000) << rate;
    }
    record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, 1.0f);
    EXPECT_EQ(effect->getSampleRateInt(), 1);
}

} // namespace

namespace {

class KeyRecorder : public AEffEditor {
  public:
    using AEffEditor::AEffEditor;
    bool onKeyDown(VstKeyCode& key) override {
        keys.push_back(key);
        return false;
    }
    bool onKeyUp(VstKeyCode& key) override {
        keys.push_back(key);
        return true;
    }
    std::vector<VstKeyCode> keys;
};

// A modifier float that is no byte reaches the editor as no modifier at all.
TEST(DispatcherAbuse, KeysWithWildModifiersReachTheEditorSafely) {
    std::unique_ptr<PxAudio> effect(static_cast<PxAudio*>(createEffectInstance(plainHost)));
    delete effect->getEditor();
    auto* recorder = new KeyRecorder(effect.get());
    effect->setEditor(recorder);
    AEffect* record = effect->getAeffect();
    const float modifiers[] = {3.0f,
                               -1.0f,
                               256.0f,
                               1e9f,
                               std::numeric_limits<float>::quiet_NaN(),
                               -std::numeric_limits<float>::infinity()};
    for (float modifier : modifiers)
        record->dispatcher(record, effEditKeyDown, 'q', 0x1ff, nullptr, modifier);
    EXPECT_EQ(record->dispatcher(record, effEditKeyUp, 'q', 3, nullptr, 2.0f), 1);
    ASSERT_EQ(recorder->keys.size(), 7u);
    EXPECT_EQ(recorder->keys[0].character, 'q');
    EXPECT_EQ(recorder->keys[0].virt, 0xff);
    EXPECT_EQ(recorder->keys[0].modifier, 3);
    for (size_t i = 1; i < 6; ++i)
        EXPECT_EQ(recorder->keys[i].modifier, 0) << modifiers[i];
    EXPECT_EQ(recorder->keys[6].modifier, 2);
}

} // namespace
