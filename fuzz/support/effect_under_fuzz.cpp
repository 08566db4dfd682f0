#include "effect_under_fuzz.h"

#include <cstring>
#include <memory>
#include <vector>

#include "engine/px_audio.h"
#include "presets/preset_images.h"

namespace {

VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

// A host-sized heap buffer, so that a write past its end is caught.
void readText(AEffect* effect, VstInt32 opcode, VstInt32 index, size_t size) {
    std::unique_ptr<char[]> text(new char[size]);
    effect->dispatcher(effect, opcode, index, 0, text.get(), 0.0f);
}

} // namespace

PxAudio& effectUnderFuzz() {
    static PxAudio* effect = static_cast<PxAudio*>(createEffectInstance(quietHost));
    return *effect;
}

void readEverythingBack(PxAudio& effect) {
    AEffect* record = effect.getAeffect();
    readText(record, effGetProgramName, 0, kVstMaxProgNameLen);
    for (VstInt32 p = 0; p < kNumPrograms; p += 37)
        readText(record, effGetProgramNameIndexed, p, kVstMaxProgNameLen);
    for (VstInt32 i = 0; i < kNumParams; ++i) {
        readText(record, effGetParamDisplay, i, kVstMaxParamStrLen);
        readText(record, effGetParamName, i, 64); // hosts give names more room than the 8 of the records
    }
    std::vector<unsigned char> program(kProgramImageSize), bank(kBankImageSize);
    size_t size = 0;
    fxpSaveBytesToBuf(effect, program.data(), &size);
    fxbSaveBytesToBuf(effect, bank.data(), &size);

    float left[64], right[64];
    for (int i = 0; i < 64; ++i) {
        left[i] = (i % 7) * 0.1f - 0.3f;
        right[i] = (i % 5) * -0.1f + 0.2f;
    }
    float* channels[2] = {left, right};
    record->processReplacing(record, channels, channels, 64);
}
