#include "engine/px_audio.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "engine/editor_link.h"
#include "engine/factory_presets.h"
#include "engine/parameter_table.h"
#include "engine/product_info.h"
#include "support/diagnostic_log.h"
#include "support/message_box.h"
#include "support/subprocess.h"

PxAudio::PxAudio(audioMasterCallback hostCallback)
    : AudioEffectX(hostCallback, kNumPrograms, kNumParams), audio(params) {
    startLog();
    printLog("PxAudio::PxAudio start");
    if (hostCallback) {
        setNumInputs(2);
        setUniqueID(kUniqueId);
        setNumOutputs(2);
    }
    canProcessReplacing();

    for (auto& value : params)
        value.store(0.0f, std::memory_order_relaxed);
    programs.reset(new PxProgram[kNumPrograms]);
    for (VstInt32 p = 0; p < kNumPrograms; ++p) {
        initPatch(p);
        if (p < kNumNamedPresets) {
            std::memcpy(programs[p].name, factoryPresets[p].name, kFactoryNameSize);
            std::memcpy(programs[p].values, factoryPresets[p].values, sizeof(factoryPresets[p].values));
        }
    }
    curProgram.store(0, std::memory_order_relaxed);
    for (VstInt32 i = 0; i < kNumParams; ++i)
        setParameter(i, programs[0].values[i]);
    resetVariables();
    audio.setWarningHandler(&PxAudio::showRateWarning, this);

    setEditor(createEditor(this));
    AudioEffectX::resume();
    printLog("PxAudio::PxAudio end");
}

PxAudio::~PxAudio() {
    printLog("PxAudio::~PxAudiostart");
    programs.reset();
    reapFinishedPrograms();
    printLog("PxAudio::~PxAudio end");
}

void PxAudio::showRateWarning(void*) {
    showMessageBoxDetached("Warning",
                           "The audio buffer size and samplerate setting that you are using is not "
                           "supported. Please change to 44100 Khz.");
}

void PxAudio::suspend() {
    resetVariables();
    // The audio thread launches its warning but never collects it; a host without the editor open comes here.
    reapFinishedPrograms();
}

void PxAudio::resetVariables() {
    audio.resetVariables();
}

void PxAudio::setSampleRate(float rate) {
    printLog("PxAudio::setSampleRate start");
    // NaN, infinite, not positive, or too large for whole hertz in 64 bits: not a rate, the old one stays.
    constexpr float kLargestRate = 9.2e18f;
    if (rate > 0.0f && rate < kLargestRate) {
        AudioEffect::setSampleRate(rate);
        audio.setSampleRate(rate);
    }
    printLog("PxAudio::setSampleRate end");
}

void PxAudio::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    if (!inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) return;
    audio.processReplacing(inputs, outputs, sampleFrames);
}

void PxAudio::setParameter(VstInt32 index, float value) {
    if (index < 0 || index >= kNumParams) return;
    programs[curProgram.load(std::memory_order_relaxed)].values[index] = value;
    params[index].store(value, std::memory_order_relaxed);
    if (editor) editor->setParameter(index, value);
}

float PxAudio::getParameter(VstInt32 index) {
    if (index < 0 || index >= kNumParams) return 0.0f;
    return params[index].load(std::memory_order_relaxed);
}

void PxAudio::getParameterLabel(VstInt32, char* label) {
    *label = 0;
}

void PxAudio::getParameterDisplay(VstInt32 index, char* text) {
    if (index < 0 || index >= kNumParams) {
        vst_strncpy(text, "Error", kVstMaxParamStrLen - 1);
        return;
    }
    // Bounded by the size hosts are promised; values in 0..1 always fit.
    std::snprintf(text, kVstMaxParamStrLen, "%.1f %%", getParameter(index) * 100.0f);
}

void PxAudio::getParameterName(VstInt32 index, char* text) {
    if (index < 0 || index >= kNumParams) {
        vst_strncpy(text, "?", 1);
        return;
    }
    vst_strncpy(text, parameterTable[index].name, sizeof(parameterTable[index].name) - 1);
}

void PxAudio::applyProgram(VstInt32 program) {
    if (program < 0 || program >= kNumPrograms) return;
    curProgram.store(program, std::memory_order_relaxed);
    for (VstInt32 i = 0; i < kNumParams; ++i)
        setParameter(i, programs[program].values[i]);
    setProgramListDirty(editor);
}

void PxAudio::setProgram(VstInt32 program) {
    applyProgram(program);
}

void PxAudio::setProgramS(VstInt32 program) {
    applyProgram(program);
}

void PxAudio::setProgramName(char* name) {
    PxProgram& current = programs[curProgram.load(std::memory_order_relaxed)];
    // Reads at most the characters kept, so an unterminated host string is never overrun.
    vst_strncpy(current.name, name, kProgramNameKept);
    setProgramListDirty(editor);
}

void PxAudio::getProgramName(char* name) {
    vst_strncpy(name, programs[curProgram.load(std::memory_order_relaxed)].name, kProgramNameSize - 1);
}

bool PxAudio::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    if (index < 0 || index >= kNumPrograms) return false;
    vst_strncpy(text, programs[index].name, kProgramNameSize - 1);
    return true;
}

void PxAudio::initPatch(VstInt32 program) {
    if (program < 0 || program >= kNumPrograms) return;
    PxProgram& target = programs[program];
    for (VstInt32 i = 0; i < kNumParams; ++i)
        target.values[i] = parameterTable[i].neutralValue;
    std::memset(target.name, 0, kFactoryNameSize);
    std::snprintf(target.name, kFactoryNameSize, "Init %03d", static_cast<int>(program));
}

VstInt32 PxAudio::processEvents(VstEvents*) {
    return 1;
}

bool PxAudio::getEffectName(char* name) {
    vst_strncpy(name, kEffectName, kVstMaxEffectNameLen - 1);
    return true;
}

bool PxAudio::getVendorString(char* text) {
    vst_strncpy(text, kVendorString, kVstMaxVendorStrLen - 1);
    return true;
}

bool PxAudio::getProductString(char* text) {
    vst_strncpy(text, kProductString, kVstMaxProductStrLen - 1);
    return true;
}

VstInt32 PxAudio::getVendorVersion() {
    return kVendorVersion;
}

VstInt32 PxAudio::canDo(char* text) {
    static const char* const supported[] = {"receiveVstEvents", "receiveVstMidiEvent", "midiProgramNames",
                                            "receiveVstTimeInfo"};
    // Capability strings are short; anything longer than this bound is not one of ours.
    constexpr size_t kLongestCapability = 64;
    const size_t length = boundedLength(text, kLongestCapability + 1);
    if (length > kLongestCapability) return -1;
    for (const char* candidate : supported)
        if (std::strlen(candidate) == length && std::memcmp(candidate, text, length) == 0) return 1;
    return -1;
}

VstIntPtr PxAudio::vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void*, float floatArg) {
    constexpr VstInt32 kScaleRequest = fourCharCode('P', 'r', 'e', 'S');
    constexpr VstIntPtr kContentScale = fourCharCode('A', 'e', 'C', 's');
    if (lArg == kScaleRequest && lArg2 == kContentScale)
        return setEditorScaleFactor(editor, floatArg) ? 1 : 0;
    return 0;
}

VstPlugCategory PxAudio::getPlugCategory() {
    return kPlugCategEffect;
}

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    try {
        return new PxAudio(audioMaster);
    } catch (...) {
        return nullptr;
    }
}
