#include "engine_session.h"

#include "engine/px_audio.h"

namespace {

// The renderer is a host without a window, transport or automation: it answers only the version.
VstIntPtr VSTCALLBACK rendererHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

// Generous for every text request; hosts' nominal limits are smaller.
constexpr size_t kTextBuffer = 256;

} // namespace

std::unique_ptr<EngineSession> EngineSession::create(std::string* error) {
    AudioEffect* created = createEffectInstance(rendererHost);
    if (!created) {
        *error = "the effect engine could not be created (out of memory?)";
        return nullptr;
    }
    std::unique_ptr<EngineSession> session(new EngineSession());
    session->engine = static_cast<PxAudio*>(created);
    session->record = created->getAeffect();
    session->dispatch(effOpen);
    return session;
}

EngineSession::~EngineSession() {
    if (!record) return;
    stop();
    // effClose deletes the effect object.
    dispatch(effClose);
}

void EngineSession::start(float sampleRate, int32_t blockSize) {
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
    running = true;
}

void EngineSession::stop() {
    if (running) dispatch(effMainsChanged, 0, 0);
    running = false;
}

void EngineSession::process(float** inputs, float** outputs, int32_t frames) {
    record->processReplacing(record, inputs, outputs, frames);
}

VstIntPtr EngineSession::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

void EngineSession::setParameter(int32_t index, float value) {
    record->setParameter(record, index, value);
}

float EngineSession::getParameter(int32_t index) {
    return record->getParameter(record, index);
}

std::string EngineSession::parameterName(int32_t index) {
    char text[kTextBuffer] = {};
    dispatch(effGetParamName, index, 0, text);
    return text;
}

std::string EngineSession::parameterDisplay(int32_t index) {
    char text[kTextBuffer] = {};
    dispatch(effGetParamDisplay, index, 0, text);
    return text;
}

std::string EngineSession::programNameIndexed(int32_t index) {
    char text[kTextBuffer] = {};
    dispatch(effGetProgramNameIndexed, index, 0, text);
    return text;
}

int32_t EngineSession::currentProgram() {
    return static_cast<int32_t>(dispatch(effGetProgram));
}

int32_t EngineSession::pathDelay() const {
    return engine->pathDelay();
}

bool spectralRate(int sampleRate) {
    return sampleRate == 44100 || sampleRate == 48000 || halfRate(sampleRate);
}

bool halfRate(int sampleRate) {
    return sampleRate == 88200 || sampleRate == 96000;
}
