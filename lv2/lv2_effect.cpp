#include "lv2/lv2_effect.h"

#include <limits>

#include "engine/px_audio.h"

Lv2Effect* Lv2Effect::create(double sampleRate) {
    Lv2Effect* instance = new Lv2Effect;
    AudioEffect* created = createEffectInstance(&Lv2Effect::hostCallback);
    if (!created) {
        delete instance;
        return nullptr;
    }
    instance->effect = created->getAeffect();
    instance->effect->user = instance;
    instance->retakeControlPorts();
    instance->effect->dispatcher(instance->effect, effOpen, 0, 0, nullptr, 0.0f);
    instance->effect->dispatcher(instance->effect, effSetSampleRate, 0, 0, nullptr,
                                 static_cast<float>(sampleRate));
    return instance;
}

Lv2Effect::~Lv2Effect() {
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

PxAudio& Lv2Effect::audio() const {
    return *static_cast<PxAudio*>(static_cast<AudioEffect*>(effect->object));
}

void Lv2Effect::retakeControlPorts() {
    for (int i = 0; i < kNumParams; ++i) {
        seen[i] = std::numeric_limits<float>::quiet_NaN(); // equal to no port value
        applied[i].store(seen[i], std::memory_order_relaxed);
    }
}

void Lv2Effect::connect(uint32_t port, void* data) {
    if (port < kFirstAudioPort)
        controls[port] = static_cast<const float*>(data);
    else if (port < kNumPorts)
        audioPorts[port - kFirstAudioPort] = static_cast<float*>(data);
}

void Lv2Effect::activate() {
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
}

void Lv2Effect::deactivate() {
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
}

void Lv2Effect::run(uint32_t frames) {
    for (int i = 0; i < kNumParams; ++i) {
        if (!controls[i]) continue;
        const float value = *controls[i];
        // An unchanged port may be stale: the editor or a program change has moved the parameter since.
        if (value == seen[i]) continue;
        seen[i] = value;
        applied[i].store(value, std::memory_order_relaxed);
        effect->setParameter(effect, i, value);
    }
    float* inputs[2] = {audioPorts[0], audioPorts[1]};
    float* outputs[2] = {audioPorts[2], audioPorts[3]};
    effect->processReplacing(effect, inputs, outputs, static_cast<VstInt32>(frames));
}

bool Lv2Effect::attachEditor(EditorHost* host) {
    EditorHost* none = nullptr;
    return editor.compare_exchange_strong(none, host);
}

void Lv2Effect::detachEditor(EditorHost* host) {
    editor.compare_exchange_strong(host, nullptr);
}

VstIntPtr VSTCALLBACK Lv2Effect::hostCallback(AEffect* record, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void*, float opt) {
    // During construction the record does not know its instance yet.
    Lv2Effect* instance = record ? static_cast<Lv2Effect*>(record->user) : nullptr;
    EditorHost* host = instance ? instance->editor.load() : nullptr;
    switch (opcode) {
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterAutomate:
        if (host) host->automate(index, opt);
        return 0;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        if (host) host->touch(index, opcode == audioMasterBeginEdit);
        return host ? 1 : 0;
    case audioMasterSizeWindow:
        return host && host->resize(index, static_cast<int>(value)) ? 1 : 0;
    default:
        return 0;
    }
}
