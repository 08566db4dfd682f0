// Texts a host hands the dispatcher: program names (effSetProgramName) and capability queries (effCanDo).
// The first byte picks the request and, for names, the program to rename; the rest is the text.
#include <cstring>
#include <memory>

#include "effect_under_fuzz.h"
#include "engine/px_audio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    PxAudio& effect = effectUnderFuzz();
    AEffect* record = effect.getAeffect();
    // Hosts pass zero-terminated texts; exactly that many bytes, so that reading past the end is caught.
    std::unique_ptr<char[]> text(new char[size]);
    std::memcpy(text.get(), data + 1, size - 1);
    text[size - 1] = 0;
    if (data[0] & 1) {
        const VstIntPtr answer = record->dispatcher(record, effCanDo, 0, 0, text.get(), 0.0f);
        if (answer != 1 && answer != -1) __builtin_trap();
    } else {
        record->dispatcher(record, effSetProgram, 0, data[0] >> 1, nullptr, 0.0f);
        record->dispatcher(record, effSetProgramName, 0, 0, text.get(), 0.0f);
        readEverythingBack(effect);
    }
    return 0;
}
