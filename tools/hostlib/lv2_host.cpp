#include "tools/hostlib/lv2_host.h"

#include <cstring>
#include <dlfcn.h>
#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>

namespace {

Lv2Instance& of(void* host) {
    return *static_cast<Lv2Instance*>(host);
}

template <typename Descriptor> const Descriptor* firstDescriptor(void* library, const char* entry) {
    auto function = reinterpret_cast<const Descriptor* (*)(uint32_t)>(dlsym(library, entry));
    return function ? function(0) : nullptr;
}

} // namespace

std::unique_ptr<Lv2Instance> Lv2Instance::create(const std::string& bundle, const std::string& binary,
                                                 const std::vector<float>& controls, double sampleRate,
                                                 std::string* error) {
    std::unique_ptr<Lv2Instance> instance(new Lv2Instance);
    instance->bundlePath = bundle + "/";
    instance->library = dlopen((bundle + "/" + binary).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (instance->library) {
        instance->plugin = firstDescriptor<LV2_Descriptor>(instance->library, "lv2_descriptor");
        instance->editor = firstDescriptor<LV2UI_Descriptor>(instance->library, "lv2ui_descriptor");
    }
    if (instance->plugin)
        instance->handle = instance->plugin->instantiate(instance->plugin, sampleRate,
                                                         instance->bundlePath.c_str(), instance->features);
    if (!instance->handle) {
        if (error) *error = instance->library ? bundle + ": no plug-in could be made" : dlerror();
        return nullptr;
    }
    instance->controls = controls;
    for (uint32_t port = 0; port < controls.size(); ++port)
        instance->plugin->connect_port(instance->handle, port, &instance->controls[port]);
    instance->resizer = {instance.get(), [](void* host, int width, int height) {
                             of(host).editorCalls +=
                                 "r" + std::to_string(width) + "x" + std::to_string(height) + " ";
                             return 0;
                         }};
    instance->toucher = {instance.get(), [](void* host, uint32_t port, bool grabbed) {
                             of(host).editorCalls += (grabbed ? "t" : "u") + std::to_string(port) + " ";
                         }};
    instance->plugin->activate(instance->handle);
    return instance;
}

Lv2Instance::~Lv2Instance() {
    if (ui) closeEditor();
    if (handle) {
        plugin->deactivate(handle);
        plugin->cleanup(handle);
    }
    if (library) dlclose(library);
}

LV2_URID Lv2Instance::map(LV2_URID_Map_Handle host, const char* uri) {
    std::map<std::string, LV2_URID>& uris = of(host).uris;
    return uris.emplace(uri, static_cast<LV2_URID>(uris.size() + 1)).first->second;
}

void Lv2Instance::run(const float* left, const float* right, float* outLeft, float* outRight,
                      uint32_t frames) {
    const uint32_t first = static_cast<uint32_t>(controls.size());
    plugin->connect_port(handle, first, const_cast<float*>(left));
    plugin->connect_port(handle, first + 1, const_cast<float*>(right));
    plugin->connect_port(handle, first + 2, outLeft);
    plugin->connect_port(handle, first + 3, outRight);
    plugin->run(handle, frames);
}

std::vector<unsigned char> Lv2Instance::saveState() {
    const auto* state = static_cast<const LV2_State_Interface*>(plugin->extension_data(LV2_STATE__interface));
    chunk.clear();
    auto store = [](void* host, uint32_t, const void* value, size_t size, uint32_t, uint32_t) {
        const auto* bytes = static_cast<const unsigned char*>(value);
        of(host).chunk.assign(bytes, bytes + size);
        return LV2_STATE_SUCCESS;
    };
    if (state) state->save(handle, store, this, 0, features);
    return chunk;
}

bool Lv2Instance::restoreState(const std::vector<unsigned char>& image) {
    const auto* state = static_cast<const LV2_State_Interface*>(plugin->extension_data(LV2_STATE__interface));
    chunk = image;
    auto retrieve = [](void* host, uint32_t, size_t* size, uint32_t* type, uint32_t* flags) -> const void* {
        *size = of(host).chunk.size();
        *type = map(host, LV2_ATOM__Chunk);
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return of(host).chunk.data();
    };
    return state && state->restore(handle, retrieve, this, 0, features) == LV2_STATE_SUCCESS;
}

bool Lv2Instance::openEditor(void* parent) {
    if (!editor || ui) return false;
    const LV2_Feature window{LV2_UI__parent, parent}, resizing{LV2_UI__resize, &resizer},
        touching{LV2_UI__touch, &toucher}, access{LV2_INSTANCE_ACCESS_URI, handle},
        idling{LV2_UI__idleInterface, nullptr};
    const LV2_Feature* given[] = {&mapping, &window, &resizing, &touching, &access, &idling, nullptr};
    auto write = [](void* host, uint32_t port, uint32_t size, uint32_t format, const void* value) {
        if (format != 0 || size != sizeof(float) || port >= of(host).controls.size()) return;
        std::memcpy(&of(host).controls[port], value, sizeof(float));
        of(host).editorCalls += "w" + std::to_string(port) + " ";
    };
    LV2UI_Widget widget = nullptr;
    ui = editor->instantiate(editor, plugin->URI, bundlePath.c_str(), write, this, &widget, given);
    return ui != nullptr;
}

void Lv2Instance::closeEditor() {
    if (ui) editor->cleanup(ui);
    ui = nullptr;
}

void Lv2Instance::idleEditor() {
    const auto* idle = static_cast<const LV2UI_Idle_Interface*>(
        editor && editor->extension_data ? editor->extension_data(LV2_UI__idleInterface) : nullptr);
    if (ui && idle) idle->idle(ui);
}

void Lv2Instance::portEvent(uint32_t port, float value) {
    if (ui && editor->port_event) editor->port_event(ui, port, sizeof(value), 0, &value);
}
