// Calls from the effect into its host: which requests, with which arguments, and none without a host.
#include <gtest/gtest.h>
#include <vector>

#include "engine/px_audio.h"

namespace {

struct Call {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
};
std::vector<Call> calls;

VstIntPtr recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt) {
    calls.push_back({opcode, index, value, opt});
    return opcode == audioMasterVersion ? kVstVersion : 1;
}

} // namespace

TEST(HostServices, WrappersPassTheirArgumentsToTheHost) {
    PxAudio effect(recordingHost);
    calls.clear();
    effect.setParameterAutomated(4, 0.625f);
    EXPECT_EQ(effect.getParameter(4), 0.625f); // stored before the host hears of it
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[0].index, 4);
    EXPECT_EQ(calls[0].opt, 0.625f);

    calls.clear();
    EXPECT_TRUE(effect.beginEdit(5));
    EXPECT_TRUE(effect.endEdit(34));
    EXPECT_FALSE(effect.beginEdit(100)); // menu and button tags never reach the host
    EXPECT_FALSE(effect.endEdit(35));
    EXPECT_FALSE(effect.beginEdit(-1));
    EXPECT_TRUE(effect.updateDisplay());
    effect.masterIdle();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls[0].index, 5);
    EXPECT_EQ(calls[1].opcode, audioMasterEndEdit);
    EXPECT_EQ(calls[1].index, 34);
    EXPECT_EQ(calls[2].opcode, audioMasterUpdateDisplay);
    EXPECT_EQ(calls[3].opcode, audioMasterIdle);
}

TEST(HostServices, WithoutAHostNothingIsCalledAndTheRecordKeepsItsBaseValues) {
    PxAudio effect(nullptr);
    AEffect* record = effect.getAeffect();
    EXPECT_EQ(record->numInputs, 1);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->uniqueID, fourCharCode('N', 'o', 'E', 'f'));
    EXPECT_TRUE(record->flags & effFlagsCanReplacing);
    EXPECT_FALSE(effect.beginEdit(3));
    EXPECT_FALSE(effect.endEdit(3));
    EXPECT_FALSE(effect.updateDisplay());
    EXPECT_EQ(effect.getTimeInfo(0), nullptr);
    EXPECT_EQ(effect.getMasterVersion(), 1);
    effect.setParameterAutomated(0, 0.25f);
    EXPECT_EQ(effect.getParameter(0), 0.25f);
    effect.resume();
    effect.masterIdle();
}

TEST(HostServices, InitPatchChangesOnlyTheProgramRecord) {
    PxAudio effect(recordingHost);
    effect.setProgram(5);
    const float live = effect.getParameter(2);
    effect.initPatch(5);
    EXPECT_STREQ(effect.program(5).name, "Init 005");
    EXPECT_EQ(effect.program(5).values[2], 0.0f);
    EXPECT_EQ(effect.program(5).values[23], 0.5f);
    EXPECT_EQ(effect.getParameter(2), live); // heard only after the program is selected again
    effect.setProgramS(5);
    EXPECT_EQ(effect.getParameter(2), 0.0f);
    effect.initPatch(7);
    EXPECT_STREQ(effect.program(7).name, "Init 007");
    effect.initPatch(128); // out of range: nothing
    effect.initPatch(-1);
    effect.setProgramS(200);
    EXPECT_EQ(effect.getProgram(), 5);
}

TEST(HostServices, SampleRateIsKeptAndTruncatedToWholeHertz) {
    PxAudio effect(recordingHost);
    EXPECT_EQ(effect.getSampleRateInt(), 44100);
    effect.setSampleRate(48000.7f);
    EXPECT_FLOAT_EQ(effect.getSampleRate(), 48000.7f);
    EXPECT_EQ(effect.getSampleRateInt(), 48000);
}
