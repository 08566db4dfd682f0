#include "tools/hostlib/plugin_host.h"

#include <cstring>
#include <dlfcn.h>

namespace {
// The instance being created: requests made during VSTPluginMain arrive before the host knows the record.
thread_local PluginInstance* instanceUnderConstruction = nullptr;
} // namespace

std::unique_ptr<PluginModule> PluginModule::open(const std::string& path, std::string* error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) *error = dlerror();
        return nullptr;
    }
    auto entry = reinterpret_cast<Entry>(dlsym(handle, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<Entry>(dlsym(handle, "main"));
    if (!entry) {
        if (error) *error = path + ": no VSTPluginMain entry point";
        dlclose(handle);
        return nullptr;
    }
    std::unique_ptr<PluginModule> module(new PluginModule());
    module->handle = handle;
    module->entryPoint = entry;
    module->modulePath = path;
    return module;
}

PluginModule::~PluginModule() {
    if (handle) dlclose(handle);
}

std::unique_ptr<PluginInstance> PluginInstance::create(const PluginModule& module) {
    return create(module, Behaviour{});
}

std::unique_ptr<PluginInstance> PluginInstance::create(const PluginModule& module, Behaviour behaviour) {
    return create(module.entry(), std::move(behaviour));
}

std::unique_ptr<PluginInstance> PluginInstance::create(PluginModule::Entry entry, Behaviour behaviour) {
    if (!entry) return nullptr;
    std::unique_ptr<PluginInstance> instance(new PluginInstance(std::move(behaviour)));
    instanceUnderConstruction = instance.get();
    AEffect* effect = entry(&PluginInstance::hostCallback);
    instanceUnderConstruction = nullptr;
    if (!effect || effect->magic != kEffectMagic) return nullptr;
    effect->user = instance.get();
    instance->aeffect = effect;
    return instance;
}

PluginInstance::~PluginInstance() {
    close();
}

void PluginInstance::close() {
    if (!aeffect) return;
    aeffect->dispatcher(aeffect, effClose, 0, 0, nullptr, 0.0f);
    aeffect = nullptr;
}

VstIntPtr PluginInstance::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                       void* ptr, float opt) {
    PluginInstance* instance = nullptr;
    if (effect && effect->user)
        instance = static_cast<PluginInstance*>(effect->user);
    else
        instance = instanceUnderConstruction;
    if (!instance) return opcode == audioMasterVersion ? kVstVersion : 0;
    return instance->answer(opcode, index, value, ptr, opt);
}

VstIntPtr PluginInstance::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    const HostCall call{opcode, index, value, opt};
    {
        std::lock_guard<std::mutex> lock(callsMutex);
        recorded.push_back(call);
    }
    VstIntPtr result = 0;
    if (hostBehaviour.answer && hostBehaviour.answer(call, &result)) return result;
    switch (opcode) {
    case audioMasterVersion:
        return hostBehaviour.versionAnswer;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(hostBehaviour.sampleRate);
    case audioMasterGetBlockSize:
        return hostBehaviour.blockSize;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
    case audioMasterUpdateDisplay:
    case audioMasterSizeWindow: // the host resizes its window to the editor's new rectangle
        return 1;
    case audioMasterGetProductString:
    case audioMasterGetVendorString:
        if (ptr) std::strcpy(static_cast<char*>(ptr), "Lumeric test host");
        return 1;
    default:
        return 0;
    }
}

VstIntPtr PluginInstance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (!aeffect) return 0;
    if (opcode == effClose) {
        VstIntPtr result = aeffect->dispatcher(aeffect, effClose, index, value, ptr, opt);
        aeffect = nullptr;
        return result;
    }
    return aeffect->dispatcher(aeffect, opcode, index, value, ptr, opt);
}

void PluginInstance::process(float* left, float* right, VstInt32 frames) {
    float* channels[2] = {left, right};
    processReplacing(channels, channels, frames);
}

void PluginInstance::processInBlocks(float* left, float* right, size_t frames, VstInt32 blockSize) {
    const size_t block = blockSize > 0 ? static_cast<size_t>(blockSize) : 1;
    for (size_t start = 0; start < frames; start += block) {
        const size_t n = frames - start < block ? frames - start : block;
        process(left + start, right + start, static_cast<VstInt32>(n));
    }
}

void PluginInstance::setSampleRate(float rate) {
    hostBehaviour.sampleRate = rate;
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void PluginInstance::start(float sampleRate, VstInt32 blockSize) {
    hostBehaviour.blockSize = blockSize;
    setSampleRate(sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    resume();
}

std::string PluginInstance::textRequest(VstInt32 opcode, VstInt32 index, VstIntPtr value) {
    char text[256] = {};
    dispatch(opcode, index, value, text);
    text[sizeof(text) - 1] = 0;
    return text;
}

std::string PluginInstance::parameterName(VstInt32 index) {
    return textRequest(effGetParamName, index);
}
std::string PluginInstance::parameterDisplay(VstInt32 index) {
    return textRequest(effGetParamDisplay, index);
}
std::string PluginInstance::parameterLabel(VstInt32 index) {
    return textRequest(effGetParamLabel, index);
}
std::string PluginInstance::programName() {
    return textRequest(effGetProgramName, 0);
}
std::string PluginInstance::programNameIndexed(VstInt32 index) {
    return textRequest(effGetProgramNameIndexed, index);
}
std::string PluginInstance::effectName() {
    return textRequest(effGetEffectName, 0);
}
std::string PluginInstance::vendorString() {
    return textRequest(effGetVendorString, 0);
}
std::string PluginInstance::productString() {
    return textRequest(effGetProductString, 0);
}

std::vector<HostCall> PluginInstance::calls() const {
    std::lock_guard<std::mutex> lock(callsMutex);
    return recorded;
}

size_t PluginInstance::countCalls(VstInt32 opcode) const {
    std::lock_guard<std::mutex> lock(callsMutex);
    size_t count = 0;
    for (const auto& call : recorded)
        if (call.opcode == opcode) ++count;
    return count;
}

void PluginInstance::clearCalls() {
    std::lock_guard<std::mutex> lock(callsMutex);
    recorded.clear();
}
