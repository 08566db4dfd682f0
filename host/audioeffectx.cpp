#include "host/audioeffectx.h"

#include <cstring>

namespace {
// The modifier bits come as a float; one that is no byte (negative, too large, NaN) means no modifier, where
// a plain conversion would be undefined.
unsigned char keyModifier(float opt) {
    return opt >= 0.0f && opt < 256.0f ? static_cast<unsigned char>(opt) : 0;
}
} // namespace

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effProcessEvents:
        return ptr ? processEvents(static_cast<VstEvents*>(ptr)) : 1;
    case effCanBeAutomated:
        return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        return string2parameter(index, text) ? 1 : 0;
    case effGetProgramNameIndexed: {
        if (!text) return 0;
        // Hosts provide kVstMaxProgNameLen bytes; longer names are cut for them.
        char name[64] = {};
        if (!getProgramNameIndexed(static_cast<VstInt32>(value), index, name)) return 0;
        vst_strncpy(text, name, kVstMaxProgNameLen - 1);
        return 1;
    }
    case effGetInputProperties:
        return getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        return getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effOfflineNotify:
        return offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<VstInt32>(value), index != 0) ? 1
                                                                                                        : 0;
    case effOfflinePrepare:
        return offlinePrepare(static_cast<VstOfflineTask*>(ptr), static_cast<VstInt32>(value)) ? 1 : 0;
    case effOfflineRun:
        return offlineRun(static_cast<VstOfflineTask*>(ptr), static_cast<VstInt32>(value)) ? 1 : 0;
    case effProcessVarIo:
        return processVariableIo(static_cast<VstVariableIo*>(ptr)) ? 1 : 0;
    case effSetSpeakerArrangement:
        return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                     static_cast<VstSpeakerArrangement*>(ptr))
                   ? 1
                   : 0;
    case effSetBypass:
        return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
        return text && getEffectName(text) ? 1 : 0;
    case effGetVendorString:
        return text && getVendorString(text) ? 1 : 0;
    case effGetProductString:
        return text && getProductString(text) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return text ? canDo(text) : 0;
    case effGetTailSize:
        return getGetTailSize();
    case effGetParameterProperties:
        return getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1 : 0;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
        if (editor) {
            VstKeyCode key{index, static_cast<unsigned char>(value), keyModifier(opt)};
            return editor->onKeyDown(key) ? 1 : 0;
        }
        return 0;
    case effEditKeyUp:
        if (editor) {
            VstKeyCode key{index, static_cast<unsigned char>(value), keyModifier(opt)};
            return editor->onKeyUp(key) ? 1 : 0;
        }
        return 0;
    case effSetEditKnobMode:
        if (editor) {
            editor->setKnobMode(static_cast<VstInt32>(value));
            return 1;
        }
        return 0;
    case effGetMidiProgramName:
        return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
        return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
    case effHasMidiProgramsChanged:
        return hasMidiProgramsChanged(index) ? 1 : 0;
    case effGetMidiKeyName:
        return getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)) ? 1 : 0;
    case effBeginSetProgram:
        return beginSetProgram() ? 1 : 0;
    case effEndSetProgram:
        return endSetProgram() ? 1 : 0;
    case effGetSpeakerArrangement:
        return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                     static_cast<VstSpeakerArrangement**>(ptr))
                   ? 1
                   : 0;
    case effShellGetNextPlugin:
        return getNextShellPlugin(text);
    case effStartProcess:
        return startProcess();
    case effStopProcess:
        return stopProcess();
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(static_cast<VstInt32>(value));
    case effSetPanLaw:
        return setPanLaw(static_cast<VstInt32>(value), opt) ? 1 : 0;
    case effBeginLoadBank:
        return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
    case effBeginLoadProgram:
        return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
    case effSetProcessPrecision:
        return setProcessPrecision(static_cast<VstInt32>(value)) ? 1 : 0;
    case effGetNumMidiInputChannels:
        return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels:
        return getNumMidiOutputChannels();
    default:
        // 1.x requests, deprecated 2.x requests and unknown ones.
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::resume() {
    if ((cEffect.flags & effFlagsIsSynth) || canDo(const_cast<char*>("receiveVstMidiEvent")) == 1)
        wantEvents();
}

void AudioEffectX::wantEvents(VstInt32 filter) {
    callHost(audioMasterWantMidi, 0, filter);
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events) {
    return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

bool AudioEffectX::beginEdit(VstInt32 index) {
    if (index < 0 || index >= numParams) return false;
    return callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(VstInt32 index) {
    if (index < 0 || index >= numParams) return false;
    return callHost(audioMasterEndEdit, index) != 0;
}

bool AudioEffectX::ioChanged() {
    return callHost(audioMasterIOChanged) != 0;
}

double AudioEffectX::updateSampleRate() {
    VstIntPtr rate = callHost(audioMasterGetSampleRate);
    if (rate > 0) sampleRate = static_cast<float>(rate);
    return sampleRate;
}

VstInt32 AudioEffectX::updateBlockSize() {
    VstIntPtr size = callHost(audioMasterGetBlockSize);
    if (size > 0) blockSize = static_cast<VstInt32>(size);
    return blockSize;
}

VstInt32 AudioEffectX::getInputLatency() {
    return static_cast<VstInt32>(callHost(audioMasterGetInputLatency));
}
VstInt32 AudioEffectX::getOutputLatency() {
    return static_cast<VstInt32>(callHost(audioMasterGetOutputLatency));
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) {
    if (in) *in = nullptr;
    if (out) *out = nullptr;
    return false;
}

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

VstInt32 AudioEffectX::getCurrentProcessLevel() {
    return static_cast<VstInt32>(callHost(audioMasterGetCurrentProcessLevel));
}
VstInt32 AudioEffectX::getAutomationState() {
    return static_cast<VstInt32>(callHost(audioMasterGetAutomationState));
}

bool AudioEffectX::getHostVendorString(char* text) {
    if (text) *text = 0;
    return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}
bool AudioEffectX::getHostProductString(char* text) {
    if (text) *text = 0;
    return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}
VstInt32 AudioEffectX::getHostVendorVersion() {
    return static_cast<VstInt32>(callHost(audioMasterGetVendorVersion));
}
VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg, float floatArg) {
    return callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg);
}
VstInt32 AudioEffectX::canHostDo(char* text) {
    return callHost(audioMasterCanDo, 0, 0, text) != 0 ? 1 : 0;
}
VstInt32 AudioEffectX::getHostLanguage() {
    return static_cast<VstInt32>(callHost(audioMasterGetLanguage));
}

void AudioEffectX::isSynth(bool state) {
    setFlag(effFlagsIsSynth, state);
}

void AudioEffectX::noTail(bool state) {
    setFlag(effFlagsNoSoundInStop, state);
}

void* AudioEffectX::getDirectory() {
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}

VstPlugCategory AudioEffectX::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

bool AudioEffectX::updateDisplay() {
    return callHost(audioMasterUpdateDisplay) != 0;
}
bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
    return callHost(audioMasterSizeWindow, width, height) != 0;
}
bool AudioEffectX::openFileSelector(VstFileSelect* ptr) {
    return ptr && callHost(audioMasterOpenFileSelector, 0, 0, ptr) != 0;
}
bool AudioEffectX::closeFileSelector(VstFileSelect* ptr) {
    return ptr && callHost(audioMasterCloseFileSelector, 0, 0, ptr) != 0;
}
