// The LV2 plug-in: its descriptor and the session state (the program bank and the current program, in the
// same image as a bank file).
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <vector>

#include "lv2/lv2_effect.h"
#include "lv2/lv2_names.h"
#include "presets/preset_images.h"

namespace {

struct Instance {
    Lv2Effect* effect;
    LV2_URID stateKey; // 0 without a URID map: no session state then
    LV2_URID chunkType;
};

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const* features) {
    const LV2_URID_Map* map = nullptr;
    for (int i = 0; features && features[i]; ++i)
        if (std::strcmp(features[i]->URI, LV2_URID__map) == 0)
            map = static_cast<const LV2_URID_Map*>(features[i]->data);
    Lv2Effect* effect = Lv2Effect::create(sampleRate);
    if (!effect) return nullptr;
    if (!map) return new Instance{effect, 0, 0};
    return new Instance{effect, map->map(map->handle, stateKeyUri().c_str()),
                        map->map(map->handle, LV2_ATOM__Chunk)};
}

Lv2Effect& effectOf(LV2_Handle handle) {
    return *static_cast<Instance*>(handle)->effect;
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    effectOf(handle).connect(port, data);
}

void activate(LV2_Handle handle) {
    effectOf(handle).activate();
}

void run(LV2_Handle handle, uint32_t frames) {
    effectOf(handle).run(frames);
}

void deactivate(LV2_Handle handle) {
    effectOf(handle).deactivate();
}

void cleanup(LV2_Handle handle) {
    Instance* instance = static_cast<Instance*>(handle);
    delete instance->effect;
    delete instance;
}

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                      const LV2_Feature* const*) {
    const Instance& instance = *static_cast<Instance*>(handle);
    if (!instance.stateKey) return LV2_STATE_ERR_NO_FEATURE;
    std::vector<unsigned char> image(kStateImageSize);
    stateSaveBytesToBuf(instance.effect->audio(), image.data());
    return store(state, instance.stateKey, image.data(), image.size(), instance.chunkType,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state,
                         uint32_t, const LV2_Feature* const*) {
    const Instance& instance = *static_cast<Instance*>(handle);
    if (!instance.stateKey) return LV2_STATE_ERR_NO_FEATURE;
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    const void* image = retrieve(state, instance.stateKey, &size, &type, &flags);
    // A foreign, truncated or newer image restores nothing.
    if (!image || type != instance.chunkType ||
        !stateLoadBytesFromBuf(instance.effect->audio(), static_cast<const unsigned char*>(image), size))
        return LV2_STATE_ERR_NO_PROPERTY;
    instance.effect->retakeControlPorts();
    return LV2_STATE_SUCCESS;
}

const void* extensionData(const char* uri) {
    static const LV2_State_Interface stateInterface = {save, restore};
    return std::strcmp(uri, LV2_STATE__interface) == 0 ? &stateInterface : nullptr;
}

} // namespace

// The LV2 handle is what the editor receives through instance access.
Lv2Effect* lv2EffectOfHandle(void* handle) {
    return handle ? static_cast<Instance*>(handle)->effect : nullptr;
}

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    static const LV2_Descriptor descriptor = {pluginUri().c_str(), instantiate, connectPort,  activate, run,
                                              deactivate,          cleanup,     extensionData};
    return index == 0 ? &descriptor : nullptr;
}
