#include "presets/preset_images.h"

#include <cstring>

#include "engine/product_info.h"
#include "engine/px_audio.h"

namespace {

constexpr size_t kNameFieldSize = 28;
constexpr size_t kNameBytesWritten = 26; // the last two bytes of the name field stay zero

void putInt(unsigned char* at, int32_t value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    at[0] = static_cast<unsigned char>(bits >> 24);
    at[1] = static_cast<unsigned char>(bits >> 16);
    at[2] = static_cast<unsigned char>(bits >> 8);
    at[3] = static_cast<unsigned char>(bits);
}

int32_t getInt(const unsigned char* at) {
    return static_cast<int32_t>((static_cast<uint32_t>(at[0]) << 24) | (static_cast<uint32_t>(at[1]) << 16) |
                                (static_cast<uint32_t>(at[2]) << 8) | static_cast<uint32_t>(at[3]));
}

void putFloat(unsigned char* at, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    putInt(at, static_cast<int32_t>(bits));
}

float getFloat(const unsigned char* at) {
    const uint32_t bits = static_cast<uint32_t>(getInt(at));
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

void putCode(unsigned char* at, const char* code) {
    std::memcpy(at, code, 4);
}

// The 28 bytes that open both formats: magic, size, format, versions and the effect's ID, then a count.
void putChunkHeader(unsigned char* at, size_t imageSize, const char* format, int32_t count) {
    putCode(at, "CcnK");
    putInt(at + 4, static_cast<int32_t>(imageSize - 8));
    putCode(at + 8, format);
    putInt(at + 12, 1);
    putInt(at + 16, kUniqueId);
    putInt(at + 20, 1);
    putInt(at + 24, count);
}

// The 56-byte head shared by a program image and each record of a bank.
void putProgramHeader(unsigned char* at, const char* name) {
    putChunkHeader(at, kProgramImageSize, "FxCk", kNumParams);
    std::memset(at + 28, 0, kNameFieldSize);
    std::memcpy(at + 28, name, kNameBytesWritten);
}

bool acceptable(const unsigned char* image, size_t length, size_t headerSize) {
    return image && length >= headerSize && std::memcmp(image, "CcnK", 4) == 0 &&
           getInt(image + 16) == kUniqueId;
}

// The name field ends at its first zero byte, at most 28 characters.
void readName(const unsigned char* field, char* name) {
    size_t n = 0;
    while (n < kNameFieldSize && field[n] != 0)
        ++n;
    std::memcpy(name, field, n);
    name[n] = 0;
}

constexpr int32_t kStateVersion = 1;

// A bank image as this effect writes it: all programs present, each record with all its values.
bool isWholeBank(const unsigned char* image) {
    if (std::memcmp(image, "CcnK", 4) != 0 || std::memcmp(image + 8, "FxBk", 4) != 0 ||
        getInt(image + 16) != kUniqueId || getInt(image + 24) != kNumPrograms)
        return false;
    for (int p = 0; p < kNumPrograms; ++p) {
        const unsigned char* record = image + kBankHeaderSize + kProgramImageSize * p;
        if (std::memcmp(record, "CcnK", 4) != 0 || std::memcmp(record + 8, "FxCk", 4) != 0 ||
            getInt(record + 16) != kUniqueId || getInt(record + 24) != kNumParams)
            return false;
    }
    return true;
}

} // namespace

void fxpSaveBytesToBuf(PxAudio& effect, unsigned char* buffer, size_t* size) {
    char name[64] = {};
    effect.getProgramName(name);
    putProgramHeader(buffer, name);
    for (int i = 0; i < kNumParams; ++i)
        putFloat(buffer + kProgramHeaderSize + 4 * i, effect.getParameter(i));
    *size = kProgramImageSize;
}

bool fxpLoadBytesFromBuf(PxAudio& effect, const unsigned char* image, size_t length) {
    if (!acceptable(image, length, kProgramHeaderSize)) return false;
    const int32_t count = getInt(image + 24);
    char name[kNameFieldSize + 1];
    readName(image + 28, name);
    effect.setProgramName(name);
    for (int64_t i = 0; i < count; ++i) {
        const uint64_t at = kProgramHeaderSize + 4 * static_cast<uint64_t>(i);
        if (at + 4 > length) break;
        // Indices of 35 and above are ignored by setParameter; stop early instead of walking the rest.
        if (i >= kNumParams) break;
        effect.setParameter(static_cast<VstInt32>(i), getFloat(image + at));
    }
    effect.updateDisplay();
    return true;
}

void fxbSaveBytesToBuf(PxAudio& effect, unsigned char* buffer, size_t* size) {
    putChunkHeader(buffer, kBankImageSize, "FxBk", kNumPrograms);
    std::memset(buffer + 28, 0, kBankHeaderSize - 28);
    for (int p = 0; p < kNumPrograms; ++p) {
        unsigned char* record = buffer + kBankHeaderSize + kProgramImageSize * p;
        char name[64] = {};
        effect.getProgramNameIndexed(0, p, name);
        putProgramHeader(record, name);
        for (int i = 0; i < kNumParams; ++i)
            putFloat(record + kProgramHeaderSize + 4 * i, effect.program(p).values[i]);
    }
    *size = kBankImageSize;
}

bool fxbLoadBytesFromBuf(PxAudio& effect, const unsigned char* image, size_t length) {
    if (!acceptable(image, length, kBankHeaderSize)) return false;
    const int count = image[26] * 256 + image[27];
    uint64_t record = kBankHeaderSize;
    for (int k = 0; k < count; ++k) {
        if (record + kProgramHeaderSize > length) break;
        const int32_t values = getInt(image + record + 24);
        if (values < 0) break; // a negative count cannot say where the next record starts
        if (k < kNumPrograms) {
            PxProgram& program = effect.program(k);
            readName(image + record + 28, program.name);
            const int32_t used = values < kNumParams ? values : kNumParams;
            for (int32_t i = 0; i < used; ++i) {
                const uint64_t at = record + kProgramHeaderSize + 4 * static_cast<uint64_t>(i);
                if (at + 4 > length) break;
                program.values[i] = getFloat(image + at);
            }
        }
        record += kProgramHeaderSize + 4 * static_cast<uint64_t>(values);
    }
    effect.setProgram(0);
    effect.updateDisplay();
    return true;
}

void stateSaveBytesToBuf(PxAudio& effect, unsigned char* buffer) {
    putCode(buffer, "LmSt");
    putInt(buffer + 4, kStateVersion);
    putInt(buffer + 8, effect.getProgram());
    size_t size = 0;
    fxbSaveBytesToBuf(effect, buffer + kStateHeaderSize, &size);
}

bool stateLoadBytesFromBuf(PxAudio& effect, const unsigned char* image, size_t length) {
    if (!image || length != kStateImageSize || std::memcmp(image, "LmSt", 4) != 0 ||
        getInt(image + 4) != kStateVersion)
        return false;
    const int32_t current = getInt(image + 8);
    if (current < 0 || current >= kNumPrograms || !isWholeBank(image + kStateHeaderSize)) return false;
    fxbLoadBytesFromBuf(effect, image + kStateHeaderSize, kBankImageSize);
    effect.setProgram(current);
    return true;
}
