// A small LV2 host for stereo effects whose control ports come first, followed by two audio inputs and two
// outputs: loads a bundle's binary as LV2 hosts do, runs one instance, saves and restores its session state
// (one chunk), and opens its editor with the features the big hosts give (parent window, resize, touch,
// instance access, URID map, idle interface), logging what the editor asks of the host.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class Lv2Instance {
  public:
    // Loads BINARY from the bundle folder and instantiates its first plug-in, the controls at the given
    // values. Null with a message in error when that fails.
    static std::unique_ptr<Lv2Instance> create(const std::string& bundle, const std::string& binary,
                                               const std::vector<float>& controls, double sampleRate,
                                               std::string* error);
    ~Lv2Instance();

    // The control ports' values as the host holds them (editor writes land here too).
    std::vector<float> controls;
    // Stereo in and out, any of them may be the same buffer.
    void run(const float* left, const float* right, float* outLeft, float* outRight, uint32_t frames);

    // The session state's one chunk; false when the plug-in refused it.
    std::vector<unsigned char> saveState();
    bool restoreState(const std::vector<unsigned char>& chunk);

    // The editor in the X11 window parent: false when the plug-in gave none.
    bool openEditor(void* parent);
    void closeEditor();
    // The editor's idle, as the host's user-interface cycle calls it.
    void idleEditor();
    // A value of a port as the host tells the editor about it.
    void portEvent(uint32_t port, float value);
    // What the editor asked of the host, one entry each, space-separated: "r828x554" a resize,
    // "t0" / "u0" touch and release of port 0, "w0" a write to port 0.
    std::string editorCalls;

  private:
    Lv2Instance() = default;
    static LV2_URID map(LV2_URID_Map_Handle host, const char* uri);

    void* library = nullptr;
    const LV2_Descriptor* plugin = nullptr;
    const LV2UI_Descriptor* editor = nullptr;
    LV2_Handle handle = nullptr;
    LV2UI_Handle ui = nullptr;
    std::string bundlePath;
    std::map<std::string, LV2_URID> uris;
    LV2_URID_Map mapper{this, &Lv2Instance::map};
    LV2_Feature mapping{LV2_URID__map, &mapper};
    const LV2_Feature* features[2] = {&mapping, nullptr};
    LV2UI_Resize resizer{};
    LV2UI_Touch toucher{};
    std::vector<unsigned char> chunk;
};
