#include "engine_session.h"

#include "engine/px_audio.h"

namespace {

// The host library drives the effect built here in-process, exactly as it drives a loaded module.
AEffect* createInProcess(audioMasterCallback hostCallback) {
    AudioEffect* created = createEffectInstance(hostCallback);
    return created ? created->getAeffect() : nullptr;
}

} // namespace

std::unique_ptr<EngineSession> EngineSession::create(std::string* error) {
    std::unique_ptr<EngineSession> session(new EngineSession());
    session->host = PluginInstance::create(&createInProcess, PluginInstance::Behaviour{});
    if (!session->host) {
        *error = "the effect engine could not be created (out of memory?)";
        return nullptr;
    }
    session->engine = static_cast<PxAudio*>(static_cast<AudioEffect*>(session->host->effect()->object));
    session->dispatch(effOpen);
    return session;
}

EngineSession::~EngineSession() {
    // The host library sends effClose, which deletes the effect object.
    if (host) stop();
}

void EngineSession::start(float sampleRate, int32_t blockSize) {
    host->start(sampleRate, blockSize);
    running = true;
}

void EngineSession::stop() {
    if (running) host->suspend();
    running = false;
}

void EngineSession::process(float** inputs, float** outputs, int32_t frames) {
    host->processReplacing(inputs, outputs, frames);
}

int32_t EngineSession::pathDelay() const {
    return engine->pathDelay();
}

bool spectralRate(int sampleRate) {
    return AudioPath::classifyRate(static_cast<float>(sampleRate)) != AudioPath::RateClass::Other;
}

bool halfRate(int sampleRate) {
    return AudioPath::classifyRate(static_cast<float>(sampleRate)) == AudioPath::RateClass::Half;
}
