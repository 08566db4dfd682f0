// The LV2 editor: the effect's own editor, opened inside the host's X11 window. Knob gestures reach the host
// as touch and port writes; parameter changes the host does not know of (programs, preset files, a restored
// session) are written to its ports from the idle.
#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "editor/aeffguieditor.h"
#include "engine/px_audio.h"
#include "lv2/lv2_effect.h"
#include "lv2/lv2_names.h"
#include "support/message_box.h"

namespace {

const void* findFeature(const LV2_Feature* const* features, const char* uri) {
    for (int i = 0; features && features[i]; ++i)
        if (std::strcmp(features[i]->URI, uri) == 0) return features[i]->data;
    return nullptr;
}

// What the host gave the editor: the port writer and the optional resize and touch features.
struct HostSide {
    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Resize* resizer;
    const LV2UI_Touch* toucher;
};

class Lv2Editor final : public EditorHost {
  public:
    Lv2Editor(Lv2Effect& owner, const HostSide& side) : effect(owner), record(owner.record()), host(side) {
        for (int i = 0; i < kNumParams; ++i)
            known[i] = record->getParameter(record, i);
    }

    // Null, having said why, when the window cannot be made.
    static Lv2Editor* open(Lv2Effect& effect, LV2UI_Write_Function write, LV2UI_Controller controller,
                           const LV2_Feature* const* features, LV2UI_Widget* widget) {
        void* parent = const_cast<void*>(findFeature(features, LV2_UI__parent));
        if (!parent) {
            std::fprintf(stderr, "Lumeric: the host gives the editor no window to open in.\n");
            return nullptr;
        }
        const HostSide side{write, controller,
                            static_cast<const LV2UI_Resize*>(findFeature(features, LV2_UI__resize)),
                            static_cast<const LV2UI_Touch*>(findFeature(features, LV2_UI__touch))};
        auto* editor = new Lv2Editor(effect, side);
        if (!effect.attachEditor(editor)) {
            std::fprintf(stderr, "Lumeric: the editor of this instance is already open.\n");
            delete editor;
            return nullptr;
        }
        ERect* rect = nullptr;
        if (editor->dispatch(effEditGetRect, &rect) && rect)
            editor->resize(rect->right - rect->left, rect->bottom - rect->top);
        auto* glue = static_cast<AEffGUIEditor*>(effect.audio().getEditor());
        if (!editor->dispatch(effEditOpen, parent) || !glue->getFrame()) {
            std::fprintf(stderr, "Lumeric: the editor could not open its window.\n");
            delete editor;
            return nullptr;
        }
        *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(glue->getFrame()->getWindowId()));
        return editor;
    }

    ~Lv2Editor() override {
        dispatch(effEditClose, nullptr);
        effect.detachEditor(this);
    }

    void automate(int index, float value) override {
        if (index < 0 || index >= kNumParams) return;
        known[index] = value;
        writePort(index, value);
    }
    void touch(int index, bool grabbed) override {
        if (host.toucher && index >= 0 && index < kNumParams)
            host.toucher->touch(host.toucher->handle, static_cast<uint32_t>(index), grabbed);
    }
    bool resize(int width, int height) override {
        return host.resizer && host.resizer->ui_resize(host.resizer->handle, width, height) == 0;
    }

    // The host's value of a port: the effect takes it at once (the next run would too, while it runs).
    void portEvent(uint32_t port, float value) {
        if (port >= kFirstAudioPort || value == known[port]) return;
        known[port] = value;
        record->setParameter(record, static_cast<VstInt32>(port), value);
    }

    void idle() {
        dispatch(effEditIdle, nullptr);
        for (int i = 0; i < kNumParams; ++i) {
            float value = record->getParameter(record, i);
            if (value == known[i]) continue;
            known[i] = value;
            // A value run() took from the port is the host's own.
            if (value != effect.portValueApplied(i)) writePort(i, value);
        }
    }

  private:
    void writePort(int index, float value) {
        host.write(host.controller, static_cast<uint32_t>(index), sizeof(float), 0, &value);
    }
    VstIntPtr dispatch(VstInt32 opcode, void* ptr) {
        return record->dispatcher(record, opcode, 0, 0, ptr, 0.0f);
    }

    Lv2Effect& effect;
    AEffect* record;
    HostSide host;
    float known[kNumParams]; // the parameter values the host was last told of or told us
};

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
    Lv2Effect* effect = lv2EffectOfHandle(const_cast<void*>(findFeature(features, LV2_INSTANCE_ACCESS_URI)));
    if (!effect) {
        // The user sees why the editor is missing; the host's own controls still work.
        showMessageBoxDetached("Lumeric", "This host does not give the Lumeric editor access to the plug-in, "
                                          "which the editor needs. Use the host's own controls for Lumeric, "
                                          "or a host that offers the editor (Ardour, Carla, jalv).");
        return nullptr;
    }
    return Lv2Editor::open(*effect, write, controller, features, widget);
}

void cleanup(LV2UI_Handle handle) {
    delete static_cast<Lv2Editor*>(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (format != 0 || size != sizeof(float)) return;
    float value;
    std::memcpy(&value, buffer, sizeof(value));
    static_cast<Lv2Editor*>(handle)->portEvent(port, value);
}

int idle(LV2UI_Handle handle) {
    static_cast<Lv2Editor*>(handle)->idle();
    return 0;
}

const void* extensionData(const char* uri) {
    static const LV2UI_Idle_Interface idleInterface = {idle};
    return std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &idleInterface : nullptr;
}

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    static const LV2UI_Descriptor descriptor = {editorUri().c_str(), instantiate, cleanup, portEvent,
                                                extensionData};
    return index == 0 ? &descriptor : nullptr;
}
