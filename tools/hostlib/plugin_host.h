// A small VST 2.4 host: loads a module by path, creates instances through VSTPluginMain with a callback
// that records every request, and drives the AEffect as a host does.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/aeffect.h"

struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
};

class PluginModule {
  public:
    using Entry = AEffect* (*)(audioMasterCallback);

    // Null with a message in error when the file cannot be loaded or exports no VSTPluginMain.
    static std::unique_ptr<PluginModule> open(const std::string& path, std::string* error);
    ~PluginModule();

    Entry entry() const { return entryPoint; }
    const std::string& path() const { return modulePath; }

  private:
    PluginModule() = default;
    void* handle = nullptr;
    Entry entryPoint = nullptr;
    std::string modulePath;
};

class PluginInstance {
  public:
    // How the host answers; answer() may override any request (return true and set the result).
    struct Behaviour {
        VstIntPtr versionAnswer = kVstVersion;
        float sampleRate = 44100.0f;
        VstInt32 blockSize = 512;
        std::function<bool(const HostCall&, VstIntPtr* result)> answer;
    };

    // Calls VSTPluginMain; null when the module returned no effect.
    static std::unique_ptr<PluginInstance> create(const PluginModule& module);
    static std::unique_ptr<PluginInstance> create(const PluginModule& module, Behaviour behaviour);
    // The same through any entry function, e.g. one that builds the effect in this process.
    static std::unique_ptr<PluginInstance> create(PluginModule::Entry entry, Behaviour behaviour);
    ~PluginInstance();

    AEffect* effect() const { return aeffect; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    void setParameter(VstInt32 index, float value) { aeffect->setParameter(aeffect, index, value); }
    float getParameter(VstInt32 index) { return aeffect->getParameter(aeffect, index); }
    void processReplacing(float** inputs, float** outputs, VstInt32 frames) {
        aeffect->processReplacing(aeffect, inputs, outputs, frames);
    }
    // Stereo convenience: processes in place.
    void process(float* left, float* right, VstInt32 frames);
    // Stereo, in place, handed over in host blocks of blockSize frames (the last one may be shorter).
    void processInBlocks(float* left, float* right, size_t frames, VstInt32 blockSize);

    // The usual start-up sequence of a host: rate, block size, resume.
    void start(float sampleRate, VstInt32 blockSize = 512);
    void setSampleRate(float rate);
    void suspend() { dispatch(effMainsChanged, 0, 0); }
    void resume() { dispatch(effMainsChanged, 0, 1); }
    // Sends effClose; the instance is unusable afterwards.
    void close();
    bool isClosed() const { return aeffect == nullptr; }

    std::string parameterName(VstInt32 index);
    std::string parameterDisplay(VstInt32 index);
    std::string parameterLabel(VstInt32 index);
    std::string programName();
    std::string programNameIndexed(VstInt32 index);
    std::string effectName();
    std::string vendorString();
    std::string productString();

    std::vector<HostCall> calls() const;
    size_t countCalls(VstInt32 opcode) const;
    void clearCalls();

    Behaviour& behaviour() { return hostBehaviour; }

  private:
    explicit PluginInstance(Behaviour behaviour) : hostBehaviour(std::move(behaviour)) {}
    static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt);
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    std::string textRequest(VstInt32 opcode, VstInt32 index, VstIntPtr value = 0);

    AEffect* aeffect = nullptr;
    Behaviour hostBehaviour;
    mutable std::mutex callsMutex;
    std::vector<HostCall> recorded;
};
