// The host contract through the built module: the record, every request with its answer and what it leaves
// behind, the programs and parameters a host reads, the calls back into the host, and careless hosts.
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>

#include "engine/factory_presets.h"
#include "engine/px_audio.h"
#include "stress_signals.h"
#include "test_helpers.h"

namespace {

// The state a request may change: the current program, the live values and the program's name.
void expectProgramInForce(PluginInstance& plugin, int program, const std::string& context) {
    EXPECT_EQ(plugin.dispatch(effGetProgram), program) << context;
    EXPECT_EQ(plugin.programNameIndexed(program), factoryName(program)) << context;
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(plugin.getParameter(i), factoryValue(program, i)) << context << ", parameter " << i;
}

const char kNoBuffer[] = "no buffer"; // the request gets a null pointer

struct Request {
    const char* what;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    const char* text; // written into the host's buffer first; kNoBuffer for none
    VstIntPtr answer;
    const char* reply; // expected in the buffer afterwards; null: left as it was
    int program;       // current program afterwards; every row starts from program 7
};
constexpr VstIntPtr k32 = VstIntPtr(1) << 32;
const Request kRequests[] = {
    {"open", effOpen, 0, 0, nullptr, 0, nullptr, 7},
    {"identify", effIdentify, 0, 0, nullptr, fourCharCode('N', 'v', 'E', 'f'), nullptr, 7},
    {"VST version", effGetVstVersion, 0, 0, nullptr, 2400, nullptr, 7},
    {"vendor version", effGetVendorVersion, 0, 0, nullptr, 1000, nullptr, 7},
    {"category", effGetPlugCategory, 0, 0, nullptr, kPlugCategEffect, nullptr, 7},
    {"MIDI program", effGetCurrentMidiProgram, 0, 0, nullptr, -1, nullptr, 7},
    {"samples to process", effSetTotalSampleToProcess, 0, 777, nullptr, 777, nullptr, 7},
    {"automatable, any index", effCanBeAutomated, 1000, 0, nullptr, 1, nullptr, 7},
    {"bypass request", effSetBypass, 0, 1, nullptr, 0, nullptr, 7},
    {"chunk", effGetChunk, 0, 0, "", 0, nullptr, 7},
    {"knob mode", effSetEditKnobMode, 0, 2, nullptr, 1, nullptr, 7},
    {"events without a list", effProcessEvents, 0, 0, kNoBuffer, 1, nullptr, 7},
    {"effect name", effGetEffectName, 0, 0, "", 1, "Lumeric", 7},
    {"effect name, no buffer", effGetEffectName, 0, 0, kNoBuffer, 0, nullptr, 7},
    {"product", effGetProductString, 0, 0, "", 1, "Lumeric", 7},
    {"vendor", effGetVendorString, 0, 0, "", 1, "lumeric.example", 7},
    {"can do events", effCanDo, 0, 0, "receiveVstEvents", 1, nullptr, 7},
    {"can do MIDI events", effCanDo, 0, 0, "receiveVstMidiEvent", 1, nullptr, 7},
    {"can do program names", effCanDo, 0, 0, "midiProgramNames", 1, nullptr, 7},
    {"can do time info", effCanDo, 0, 0, "receiveVstTimeInfo", 1, nullptr, 7},
    {"cannot send MIDI", effCanDo, 0, 0, "sendVstMidiEvent", -1, nullptr, 7},
    {"capability and more", effCanDo, 0, 0, "receiveVstEventsX", -1, nullptr, 7},
    {"part of a capability", effCanDo, 0, 0, "receiveVstEvent", -1, nullptr, 7},
    {"select program", effSetProgram, 0, 26, nullptr, 0, nullptr, 26},
    {"select the last program", effSetProgram, 0, 127, nullptr, 0, nullptr, 127},
    {"select past the end", effSetProgram, 0, 128, nullptr, 0, nullptr, 7},
    {"select before the start", effSetProgram, 0, -1, nullptr, 0, nullptr, 7},
    {"select a huge number", effSetProgram, 0, VstIntPtr(1) << 40, nullptr, 0, nullptr, 7},
    {"select 5 above 32 bits", effSetProgram, 0, k32 + 5, nullptr, 0, nullptr, 7},
    {"select 5 below 32 bits", effSetProgram, 0, 5 - k32, nullptr, 0, nullptr, 7},
    {"current program", effGetProgram, 0, 0, nullptr, 7, nullptr, 7},
    {"program name", effGetProgramName, 0, 0, "", 0, "Enhance punchy warm", 7},
    {"name past the end", effGetProgramNameIndexed, 128, 0, "old", 0, nullptr, 7},
    {"name before the start", effGetProgramNameIndexed, -1, 0, "old", 0, nullptr, 7},
    {"parameter name", effGetParamName, 4, 0, "", 0, "LoudnessBassBoost", 7},
    {"name past the end", effGetParamName, 35, 0, "", 0, "?", 7},
    {"name before the start", effGetParamName, -1, 0, "", 0, "?", 7},
    {"display", effGetParamDisplay, 0, 0, "", 0, "50.0 %", 7},
    {"display of a fraction", effGetParamDisplay, 2, 0, "", 0, "29.0 %", 7},
    {"display past the end", effGetParamDisplay, 35, 0, "", 0, "Error", 7},
    {"label", effGetParamLabel, 3, 0, "junk", 0, "", 7},
};
// Requests outside the table that act elsewhere (editor, rate, rename, close); every other one is ignored.
const VstInt32 kElsewhere[] = {effClose,    effSetProgramName, effSetSampleRate, effEditGetRect,
                               effEditOpen, effEditClose,      effEditIdle,      effGetSpeakerArrangement,
                               effEditKeyUp};
bool listed(VstInt32 opcode) {
    for (const Request& r : kRequests)
        if (r.opcode == opcode) return true;
    return std::find(std::begin(kElsewhere), std::end(kElsewhere), opcode) != std::end(kElsewhere);
}

void checkRequest(PluginInstance& plugin, const Request& r) {
    plugin.dispatch(effSetProgram, 0, 7);
    std::vector<char> buffer(256, '#');
    buffer.back() = 0;
    if (r.text && r.text != kNoBuffer) std::strcpy(buffer.data(), r.text);
    const std::string before(buffer.data());
    void* ptr = r.text == kNoBuffer ? nullptr : buffer.data();
    EXPECT_EQ(plugin.dispatch(r.opcode, r.index, r.value, ptr), r.answer) << r.what;
    EXPECT_EQ(std::string(buffer.data()), r.reply ? r.reply : before) << r.what;
    expectProgramInForce(plugin, r.program, r.what);
}

} // namespace

TEST(HostContract, RecordAsTheHostFindsIt) {
    auto plugin = newInstance();
    const AEffect* e = plugin->effect();
    EXPECT_EQ(std::make_tuple(e->magic, e->numPrograms, e->numParams, e->numInputs, e->numOutputs, e->flags,
                              e->version),
              std::make_tuple(kEffectMagic, 128, 35, 2, 2, effFlagsHasEditor | effFlagsCanReplacing, 1));
    EXPECT_EQ(std::memcmp(&e->uniqueID, "M4VQ", 4), 0); // 'QV4M' as a little-endian machine stores it
    EXPECT_EQ(e->initialDelay + e->realQualities + e->offQualities + e->resvd1 + e->resvd2, 0);
    EXPECT_EQ(std::count(std::begin(e->future), std::end(e->future), 0), 56);
    EXPECT_TRUE(e->ioRatio == 1.0f && e->process && e->processReplacing && e->processDoubleReplacing);
    PluginInstance::Behaviour oldHost; // answers 0 to the version request: too old, no effect
    oldHost.versionAnswer = 0;
    EXPECT_EQ(PluginInstance::create(testModule(), oldHost), nullptr);
}

TEST(HostContract, EveryRequestAnswersAndLeavesTheStateItShould) {
    auto plugin = newInstance();
    expectProgramInForce(*plugin, 0, "after construction");
    for (const Request& r : kRequests)
        checkRequest(*plugin, r);
    for (VstInt32 opcode = -1; opcode <= 100; ++opcode)
        if (!listed(opcode)) checkRequest(*plugin, {"ignored request", opcode, 3, 1, "", 0, nullptr, 7});

    // An unterminated capability string is read no further than a sane bound.
    std::vector<char> endless(1 << 16, 'r');
    EXPECT_EQ(plugin->dispatch(effCanDo, 0, 0, endless.data()), -1);
    EXPECT_EQ(plugin->dispatch(effClose), 1);
    EXPECT_TRUE(plugin->isClosed());
}

TEST(Programs, EveryFactoryProgramAsAHostSelectsIt) {
    auto plugin = newInstance();
    for (int p = 0; p < kNumPrograms; ++p) {
        plugin->dispatch(effSetProgram, 0, p);
        expectProgramInForce(*plugin, p, "program " + std::to_string(p));
    }
    // The table itself, spot-checked.
    EXPECT_FLOAT_EQ(factoryValue(0, kDynamicFatBass), 0.385f);
    EXPECT_FLOAT_EQ(factoryValue(44, kMidFreq), 0.915f);
    EXPECT_FLOAT_EQ(factoryValue(72, kVolume), 0.305f);
    EXPECT_EQ(std::memcmp(&factoryPresets[14], &factoryPresets[16], sizeof(FactoryPreset)), 0);
}

TEST(Programs, ValuesNamesAndDisplaysFollowEveryChange) {
    auto plugin = newInstance();
    for (VstInt32 wild : {35, -1, 1 << 30})
        plugin->setParameter(wild, 0.7f);
    expectProgramInForce(*plugin, 0, "after setting parameters that do not exist");
    // Stored unchanged, never clamped; shown to a tenth of a percent, within the host's 8 bytes.
    for (auto [value, shown] :
         {std::pair<float, const char*>{1.5f, "150.0 %"}, {0.0005f, "0.1 %"}, {1e6f, ""}, {-1e6f, ""}}) {
        char text[64];
        std::memset(text, 'x', sizeof(text));
        plugin->setParameter(3, value);
        plugin->dispatch(effGetParamDisplay, 3, 0, text);
        EXPECT_EQ(plugin->getParameter(3), value);
        EXPECT_EQ(text[8], 'x') << value;
        EXPECT_TRUE(!*shown || std::strcmp(text, shown) == 0) << text;
    }
    // The current program keeps every change, through program switches and suspend/resume.
    plugin->dispatch(effSetProgram, 0, 3);
    plugin->setParameter(2, 0.123f);
    plugin->dispatch(effSetProgram, 0, 4);
    EXPECT_EQ(plugin->getParameter(2), factoryValue(4, 2));
    plugin->dispatch(effSetProgram, 0, 3);
    plugin->suspend();
    plugin->resume();
    EXPECT_EQ(plugin->getParameter(2), 0.123f);
    // A rename keeps 27 characters; hosts get them cut to their 24-byte buffers, never more.
    std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN";
    plugin->dispatch(effSetProgramName, 0, 0, alphabet.data());
    for (VstInt32 opcode : {effGetProgramName, effGetProgramNameIndexed}) {
        char name[64];
        std::memset(name, '#', sizeof(name));
        plugin->dispatch(opcode, 3, 0, name);
        EXPECT_EQ(std::string(name), alphabet.substr(0, 23)) << opcode;
    }
    std::vector<char> unterminated(1 << 16, 'z');
    plugin->dispatch(effSetProgramName, 0, 0, unterminated.data());
    EXPECT_EQ(plugin->programName(), std::string(23, 'z'));
    expectProgramInForce(*newInstance(), 0, "a second instance");
}

namespace {

std::vector<HostCall> calls;
float heardValue; // the automated parameter's value when the host heard of it
VstIntPtr recordingHost(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt) {
    if (opcode == audioMasterVersion) return kVstVersion;
    if (opcode == audioMasterAutomate) heardValue = e->getParameter(e, index);
    calls.push_back({opcode, index, value, opt});
    return 1;
}

} // namespace

TEST(HostServices, EachWrapperReachesTheHostWithItsArguments) {
    auto plugin = newInstance();
    EXPECT_EQ(plugin->countCalls(audioMasterWantMidi), 1u);
    EXPECT_EQ(plugin->calls().back().value, 1);
    plugin->resume();
    plugin->suspend();
    plugin->resume();
    EXPECT_EQ(plugin->countCalls(audioMasterWantMidi), 3u);
    plugin->start(44100.0f);
    plugin->clearCalls();
    std::vector<float> left(4096, 0.25f), right(4096, -0.25f);
    plugin->processInBlocks(left.data(), right.data(), 4096, 512);
    EXPECT_TRUE(plugin->calls().empty()); // the audio path never calls the host

    PxAudio effect(recordingHost);
    calls.clear();
    effect.setParameterAutomated(4, 0.625f);
    EXPECT_TRUE(effect.beginEdit(5) && effect.endEdit(34) && effect.updateDisplay());
    for (VstInt32 tag : {35, 100, -1}) // menu and button tags never reach the host
        EXPECT_FALSE(effect.beginEdit(tag) || effect.endEdit(tag)) << tag;
    effect.masterIdle();
    const HostCall expected[] = {{audioMasterAutomate, 4, 0, 0.625f},
                                 {audioMasterBeginEdit, 5, 0, 0.0f},
                                 {audioMasterEndEdit, 34, 0, 0.0f},
                                 {audioMasterUpdateDisplay, 0, 0, 0.0f},
                                 {audioMasterIdle, 0, 0, 0.0f}};
    ASSERT_EQ(calls.size(), 5u);
    for (size_t k = 0; k < 5; ++k)
        EXPECT_TRUE(calls[k].opcode == expected[k].opcode && calls[k].index == expected[k].index &&
                    calls[k].opt == expected[k].opt)
            << "call " << k;
    EXPECT_EQ(heardValue, 0.625f);

    // initPatch changes only the program record: heard once the program is selected again.
    effect.setProgram(5);
    effect.initPatch(5);
    EXPECT_STREQ(effect.program(5).name, "Init 005");
    EXPECT_EQ(effect.getParameter(2), factoryValue(5, 2));
    effect.setProgramS(5);
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_EQ(effect.getParameter(i), neutralValue(i)) << i;

    PxAudio orphan(nullptr); // without a host: the base record, and no wrapper calls anything
    EXPECT_EQ(std::make_tuple(orphan.getAeffect()->numInputs, orphan.getAeffect()->numOutputs,
                              orphan.getAeffect()->uniqueID),
              std::make_tuple(1, 2, fourCharCode('N', 'o', 'E', 'f')));
    orphan.setParameterAutomated(0, 0.25f);
    orphan.masterIdle();
    EXPECT_FALSE(orphan.beginEdit(3) || orphan.endEdit(3) || orphan.updateDisplay() || orphan.getTimeInfo(0));
    EXPECT_EQ(orphan.getParameter(0), 0.25f);
}

// Every request as a careless host sends it: odd indices, values and floats, no pointer or a zeroed one
// (as a host's scratch area would be). Only a real window and the request that ends the instance are spared.
TEST(CarelessHost, EveryRequestWithOddArgumentsIsSurvived) {
    NoDialogPrograms quiet;
    auto plugin = newInstance();
    plugin->start(44100.0f);
    const VstInt32 indices[] = {
        0, -1, 34, 35, 127, 128, std::numeric_limits<VstInt32>::max(), std::numeric_limits<VstInt32>::min()};
    const VstIntPtr values[] = {0, 1, -1, 128, VstIntPtr(1) << 40, -(VstIntPtr(1) << 40) + 5};
    const float opts[] = {0.0f, -1.0f, 44100.0f, std::numeric_limits<float>::quiet_NaN()};
    std::vector<char> scratch(4096, 0);
    for (VstInt32 opcode = 0; opcode < 80; ++opcode) {
        if (opcode == effClose || opcode == effEditOpen) continue;
        const bool valueIsPointer = opcode == effGetSpeakerArrangement || opcode == effSetSpeakerArrangement;
        for (VstInt32 index : indices)
            for (VstIntPtr value : values)
                for (float opt : opts)
                    for (void* ptr : {static_cast<void*>(nullptr), static_cast<void*>(scratch.data())}) {
                        std::fill(scratch.begin(), scratch.end(), 0);
                        const VstIntPtr v =
                            valueIsPointer && value ? reinterpret_cast<VstIntPtr>(&scratch[0]) : value;
                        plugin->dispatch(opcode, index, v, ptr, opt);
                    }
    }
    plugin->suspend();
    plugin->setSampleRate(44100.0f);
    plugin->resume();
    plugin->dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 1); // the names are another matter: empty names were sent
    EXPECT_EQ(plugin->getParameter(kDynamicFatBass), factoryValue(1, kDynamicFatBass));
    StereoStream block(4096);
    std::mt19937 random(3);
    fillSignal(TestSignal::Noise, random, block.left.data(), block.right.data(), 4096, 0, 44100.0f);
    plugin->process(block.left.data(), block.right.data(), 4096);
    EXPECT_EQ(firstNonFinite(block.left.data(), 4096), -1);
}

TEST(CarelessHost, RatesThatAreNoNumbersAreRefused) {
    PxAudio effect(recordingHost);
    AEffect* record = effect.getAeffect();
    record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, 48000.7f);
    EXPECT_EQ(effect.getSampleRateInt(), 48000); // whole hertz, cut
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    for (float rate : {0.0f, -48000.0f, nan, inf, 1e19f, std::numeric_limits<float>::max()}) {
        record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, rate);
        EXPECT_EQ(effect.getSampleRate(), 48000.7f) << rate;
        EXPECT_EQ(effect.getSampleRateInt(), 48000) << rate;
    }
}
