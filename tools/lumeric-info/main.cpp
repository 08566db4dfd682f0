// Prints what a host sees of a plug-in module: names, I/O, parameters with their display texts, programs.
#include <cstdio>
#include <string>

#include "tools/hostlib/plugin_host.h"

static std::string fourCharText(VstInt32 code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
        text += static_cast<char>((code >> shift) & 0xff);
    return text;
}

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: lumeric-info MODULE.so\n  e.g. lumeric-info ~/.vst/lumeric.so\n");
        return 2;
    }
    std::string error;
    auto module = PluginModule::open(argv[1], &error);
    if (!module) {
        std::fprintf(stderr, "lumeric-info: cannot load %s: %s\n", argv[1], error.c_str());
        return 2;
    }
    auto plugin = PluginInstance::create(*module);
    if (!plugin) {
        std::fprintf(stderr, "lumeric-info: %s refused to create an effect\n", argv[1]);
        return 2;
    }
    AEffect* effect = plugin->effect();
    std::printf("Module:   %s\n", argv[1]);
    std::printf("Effect:   %s\n", plugin->effectName().c_str());
    std::printf("Product:  %s\n", plugin->productString().c_str());
    std::printf("Vendor:   %s (version %ld)\n", plugin->vendorString().c_str(),
                static_cast<long>(plugin->dispatch(effGetVendorVersion)));
    std::printf("ID:       '%s'  VST %ld  category %ld\n", fourCharText(effect->uniqueID).c_str(),
                static_cast<long>(plugin->dispatch(effGetVstVersion)),
                static_cast<long>(plugin->dispatch(effGetPlugCategory)));
    std::printf("I/O:      %d inputs, %d outputs, flags 0x%x, delay %d\n", effect->numInputs,
                effect->numOutputs, effect->flags, effect->initialDelay);
    std::printf("\nParameters (%d):\n", effect->numParams);
    for (VstInt32 i = 0; i < effect->numParams; ++i)
        std::printf("  %2d  %-18s %s%s\n", i, plugin->parameterName(i).c_str(),
                    plugin->parameterDisplay(i).c_str(), plugin->parameterLabel(i).c_str());
    std::printf("\nPrograms (%d):\n", effect->numPrograms);
    for (VstInt32 p = 0; p < effect->numPrograms; ++p)
        std::printf("  %3d  %s\n", p, plugin->programNameIndexed(p).c_str());
    return 0;
}
