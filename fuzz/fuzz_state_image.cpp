// Session state images of any content and length through the reader into the bank and current program.
#include <vector>

#include "effect_under_fuzz.h"
#include "presets/preset_images.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PxAudio& effect = effectUnderFuzz();
    // An exact-size copy, so that reading one byte past the image is caught.
    std::vector<unsigned char> image(data, data + size);
    stateLoadBytesFromBuf(effect, image.data(), image.size());
    readEverythingBack(effect);
    return 0;
}
