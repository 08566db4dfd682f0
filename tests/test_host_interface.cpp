// The record and the dispatcher as a host sees them through the module's entry point.
#include <cstring>
#include <gtest/gtest.h>

#include "test_helpers.h"

TEST(EntryPoint, HostAnsweringVersionZeroGetsNoEffect) {
    PluginInstance::Behaviour oldHost;
    oldHost.versionAnswer = 0;
    EXPECT_EQ(PluginInstance::create(testModule(), oldHost), nullptr);
    EXPECT_EQ(testModule().entry()(nullptr), nullptr);
}

TEST(EntryPoint, RecordHasThePublishedValues) {
    auto plugin = newInstance();
    const AEffect* e = plugin->effect();
    EXPECT_EQ(e->magic, fourCharCode('V', 's', 't', 'P'));
    EXPECT_EQ(e->numPrograms, 128);
    EXPECT_EQ(e->numParams, 35);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags & ~effFlagsHasEditor, effFlagsCanReplacing);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->realQualities, 0);
    EXPECT_EQ(e->offQualities, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->user, plugin.get()); // the host's own field, untouched by the effect
    EXPECT_EQ(e->uniqueID, fourCharCode('Q', 'V', '4', 'M'));
    EXPECT_EQ(std::memcmp(&e->uniqueID, "M4VQ", 4), 0); // little-endian memory image
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->resvd1, 0);
    EXPECT_EQ(e->resvd2, 0);
    for (char c : e->future)
        EXPECT_EQ(c, 0);
    EXPECT_NE(e->process, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
}

TEST(EntryPoint, ConstructionAsksForMidiOnceAndEachResumeOnceMore) {
    auto plugin = newInstance();
    EXPECT_EQ(plugin->countCalls(audioMasterWantMidi), 1u);
    for (const auto& call : plugin->calls()) {
        if (call.opcode == audioMasterWantMidi) {
            EXPECT_EQ(call.value, 1);
        }
    }
    plugin->dispatch(effMainsChanged, 0, 1);
    plugin->dispatch(effMainsChanged, 0, 0);
    plugin->dispatch(effMainsChanged, 0, 5);
    EXPECT_EQ(plugin->countCalls(audioMasterWantMidi), 3u);
}

TEST(EntryPoint, ProcessingNeverCallsTheHost) {
    auto plugin = newInstance();
    plugin->start(44100.0f);
    plugin->clearCalls();
    std::vector<float> left(4096, 0.25f), right(4096, -0.25f);
    for (int block = 0; block < 8; ++block)
        plugin->process(left.data(), right.data(), 512);
    EXPECT_TRUE(plugin->calls().empty());
}

TEST(Dispatcher, AnswersEveryListedRequest) {
    auto plugin = newInstance();
    EXPECT_EQ(plugin->dispatch(effOpen), 0);
    EXPECT_EQ(plugin->dispatch(effIdentify), fourCharCode('N', 'v', 'E', 'f'));
    EXPECT_EQ(plugin->dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(plugin->dispatch(effGetVendorVersion), 1000);
    EXPECT_EQ(plugin->dispatch(effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(plugin->dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(plugin->dispatch(effSetTotalSampleToProcess, 0, 777), 777);
    EXPECT_EQ(plugin->dispatch(effCanBeAutomated, 3), 1);
    EXPECT_EQ(plugin->dispatch(effCanBeAutomated, 1000), 1);
    EXPECT_EQ(plugin->dispatch(effGetChunk, 0, 0, nullptr), 0);
    EXPECT_EQ(plugin->dispatch(effSetBypass, 0, 1), 0);
    EXPECT_EQ(plugin->dispatch(effGetTailSize), 0);
    EXPECT_EQ(plugin->dispatch(effSetBlockSize, 0, 256), 0);
    EXPECT_EQ(plugin->effectName(), "Lumeric");
    EXPECT_EQ(plugin->productString(), "Lumeric");
    EXPECT_EQ(plugin->vendorString(), "lumeric.example");
    EXPECT_EQ(plugin->dispatch(effGetEffectName, 0, 0, nullptr), 0);

    void* arrangement[2] = {&arrangement, &arrangement};
    EXPECT_EQ(plugin->dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&arrangement[0]),
                               &arrangement[1]),
              0);
    EXPECT_EQ(arrangement[0], nullptr);
    EXPECT_EQ(arrangement[1], nullptr);
}

TEST(Dispatcher, CapabilitiesAreExactlyTheFourStrings) {
    auto plugin = newInstance();
    for (const char* yes :
         {"receiveVstEvents", "receiveVstMidiEvent", "midiProgramNames", "receiveVstTimeInfo"})
        EXPECT_EQ(plugin->dispatch(effCanDo, 0, 0, const_cast<char*>(yes)), 1) << yes;
    for (const char* no : {"sendVstMidiEvent", "bypass", "", "receiveVstEventsX", "receiveVstEvent"})
        EXPECT_EQ(plugin->dispatch(effCanDo, 0, 0, const_cast<char*>(no)), -1) << no;
    // An unterminated host string is never read past a sane limit.
    std::vector<char> endless(1 << 16, 'r');
    EXPECT_EQ(plugin->dispatch(effCanDo, 0, 0, endless.data()), -1);
}

TEST(Dispatcher, UnknownAndDeprecatedRequestsAnswerZeroAndChangeNothing) {
    auto plugin = newInstance();
    plugin->setParameter(0, 0.7f);
    plugin->dispatch(effSetProgram, 0, 5);
    const int deprecated[] = {effGetVu,
                              effEditDraw,
                              effEditMouse,
                              effEditKey,
                              effEditTop,
                              effEditSleep,
                              effGetNumProgramCategories,
                              effCopyProgram,
                              effConnectInput,
                              effConnectOutput,
                              effGetCurrentPosition,
                              effGetDestinationBuffer,
                              effSetBlockSizeAndSampleRate,
                              effGetErrorText,
                              effIdle,
                              effGetIcon,
                              effSetViewPosition,
                              effKeysRequired,
                              effString2Parameter,
                              effGetInputProperties,
                              effGetOutputProperties,
                              effProcessVarIo,
                              effVendorSpecific,
                              effGetParameterProperties,
                              effGetMidiProgramName,
                              effGetMidiProgramCategory,
                              effHasMidiProgramsChanged,
                              effGetMidiKeyName,
                              effBeginSetProgram,
                              effEndSetProgram,
                              effShellGetNextPlugin,
                              effStartProcess,
                              effStopProcess,
                              effSetPanLaw,
                              effBeginLoadBank,
                              effBeginLoadProgram,
                              effSetProcessPrecision,
                              effGetNumMidiInputChannels,
                              effGetNumMidiOutputChannels,
                              effOfflineNotify,
                              effOfflinePrepare,
                              effOfflineRun,
                              effSetSpeakerArrangement,
                              80,
                              81,
                              1000,
                              -1};
    for (int opcode : deprecated)
        EXPECT_EQ(plugin->dispatch(opcode, 0, 0, nullptr, 0.0f), 0) << opcode;
    EXPECT_EQ(plugin->dispatch(effGetProgram), 5);
    EXPECT_FLOAT_EQ(plugin->getParameter(0), plugin->getParameter(0));
    EXPECT_EQ(plugin->programName(), "Enhance silky light");
}

TEST(Dispatcher, CloseDestroysTheEffect) {
    auto plugin = newInstance();
    EXPECT_EQ(plugin->dispatch(effClose), 1);
    EXPECT_TRUE(plugin->isClosed());
}

TEST(MidiEvents, AnyListIsAcceptedAndChangesNothing) {
    auto plugin = newInstance();
    plugin->dispatch(effSetProgram, 0, 9);
    std::vector<float> before;
    for (int i = 0; i < 35; ++i)
        before.push_back(plugin->getParameter(i));

    std::vector<VstMidiEvent> midi(1000);
    for (size_t i = 0; i < midi.size(); ++i) {
        midi[i] = VstMidiEvent{};
        midi[i].type = kVstMidiType;
        midi[i].byteSize = sizeof(VstMidiEvent);
        midi[i].midiData[0] = static_cast<char>(0xC0 + (i % 16)); // program changes
        midi[i].midiData[1] = static_cast<char>(i % 128);
    }
    std::vector<char> storage(sizeof(VstEvents) + midi.size() * sizeof(VstEvent*));
    auto* events = reinterpret_cast<VstEvents*>(storage.data());
    events->numEvents = static_cast<VstInt32>(midi.size());
    for (size_t i = 0; i < midi.size(); ++i)
        events->events[i] = reinterpret_cast<VstEvent*>(&midi[i]);
    EXPECT_EQ(plugin->dispatch(effProcessEvents, 0, 0, events), 1);

    events->numEvents = 0;
    EXPECT_EQ(plugin->dispatch(effProcessEvents, 0, 0, events), 1);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 9);
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ(plugin->getParameter(i), before[i]);
}
