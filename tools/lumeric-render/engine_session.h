// One in-process effect instance, driven through its AEffect record exactly as a host drives it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/aeffect.h"
#include "tools/hostlib/plugin_host.h"

class PxAudio;

class EngineSession {
  public:
    // Null with a message when the engine refuses to create an effect.
    static std::unique_ptr<EngineSession> create(std::string* error);
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;
    ~EngineSession(); // closes the effect

    // Rate, block size and resume, in a host's order.
    void start(float sampleRate, int32_t blockSize);
    void stop();
    void process(float** inputs, float** outputs, int32_t frames);

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) {
        return host->dispatch(opcode, index, value, ptr, opt);
    }
    void setParameter(int32_t index, float value) { host->setParameter(index, value); }
    float getParameter(int32_t index) { return host->getParameter(index); }
    int32_t numParams() const { return host->effect()->numParams; }
    int32_t numPrograms() const { return host->effect()->numPrograms; }
    std::string parameterName(int32_t index) { return host->parameterName(index); }
    std::string parameterDisplay(int32_t index) { return host->parameterDisplay(index); }
    std::string programNameIndexed(int32_t index) { return host->programNameIndexed(index); }
    int32_t currentProgram() { return static_cast<int32_t>(dispatch(effGetProgram)); }

    // The engine's current lag of the output behind the input, in samples at the host rate.
    int32_t pathDelay() const;
    PxAudio& effect() { return *engine; }

  private:
    EngineSession() = default;
    std::unique_ptr<PluginInstance> host;
    PxAudio* engine = nullptr;
    bool running = false;
};

// The rates at which the engine runs its spectral stages (at any other only the time-domain stages run).
bool spectralRate(int sampleRate);
// The rates at which the spectral path runs at half rate and needs even block lengths.
bool halfRate(int sampleRate);
