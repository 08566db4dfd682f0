// Writes the bundle's descriptions from the effect's own tables: manifest.ttl, lumeric.ttl (plug-in, ports,
// editor) and presets.ttl (the named factory programs). Run by the build: ttl_generator BUNDLE BINARY.
#include <cstdio>
#include <sstream>
#include <string>

#include "editor/editor_layout.h"
#include "engine/factory_presets.h"
#include "engine/parameter_table.h"
#include "engine/product_info.h"
#include "lv2/lv2_effect.h"
#include "lv2/lv2_names.h"
#include "support/atomic_file.h"

namespace {

const char kPrefixes[] = "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                         "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                         "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                         "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
                         "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
                         "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                         "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                         "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                         "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                         "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                         "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

std::string uri(const std::string& text) {
    return "<" + text + ">";
}

std::string quoted(const std::string& text) {
    std::string result = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') result += '\\';
        result += c;
    }
    return result + "\"";
}

// Nine significant digits give back the very float; a decimal point keeps it a decimal for the parsers.
std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(value));
    std::string result = text;
    if (result.find_first_of(".e") == std::string::npos) result += ".0";
    return result;
}

// A program's value of a parameter: the factory row, the neutral value for the reserved ones.
float programValue(int program, int parameter) {
    return parameter < kNumUsedParams ? factoryPresets[program].values[parameter]
                                      : parameterTable[parameter].neutralValue;
}

bool isSwitch(int parameter) {
    for (const ControlPlace& place : kEditorLayout)
        if (place.tag == parameter && place.kind == ControlKind::Switch) return true;
    return false;
}

std::string manifest(const std::string& binary) {
    std::ostringstream out;
    out << kPrefixes;
    out << uri(pluginUri()) << " a lv2:Plugin ;\n    lv2:binary <" << binary
        << "> ;\n    rdfs:seeAlso <lumeric.ttl> .\n\n";
    out << uri(editorUri()) << " a ui:X11UI ;\n    ui:binary <" << binary
        << "> ;\n    rdfs:seeAlso <lumeric.ttl> .\n";
    for (int p = 0; p < kNumNamedPresets; ++p)
        out << "\n"
            << uri(presetUri(p)) << " a pset:Preset ;\n    lv2:appliesTo " << uri(pluginUri())
            << " ;\n    rdfs:label " << quoted(factoryPresets[p].name)
            << " ;\n    rdfs:seeAlso <presets.ttl> .\n";
    return out.str();
}

// An audio port: input or output, left or right, in the stereo group of its direction.
std::string audioPort(int number) {
    const bool input = number < 2, left = number % 2 == 0;
    const std::string direction = input ? "in" : "out", side = left ? "left" : "right";
    std::ostringstream out;
    out << "[\n        a lv2:AudioPort , lv2:" << (input ? "InputPort" : "OutputPort")
        << " ;\n        lv2:index " << kFirstAudioPort + number << " ;\n        lv2:symbol "
        << quoted(direction + "_" + side) << " ;\n        lv2:name "
        << quoted((input ? "In " : "Out ") + std::string(left ? "Left" : "Right")) << " ;\n        pg:group "
        << uri(pluginUri() + "#" + direction) << " ;\n        lv2:designation pg:" << side << "\n    ]";
    return out.str();
}

// The stereo groups of the main input and output.
std::string portGroup(const char* direction, const char* kind, const char* label) {
    return uri(pluginUri() + "#" + direction) + "\n    a pg:StereoGroup , pg:" + kind +
           " ;\n    lv2:symbol " + quoted(direction) + " ;\n    rdfs:label " + quoted(label) + " .\n\n";
}

std::string plugin() {
    std::ostringstream out;
    out << kPrefixes;
    out << uri(pluginUri()) << "\n    a lv2:SpatialPlugin , doap:Project ;\n    doap:name "
        << quoted(kEffectName) << " ;\n    doap:license " << uri(kLicenceUrl)
        << " ;\n    doap:maintainer [\n        foaf:name " << quoted(kVendorString)
        << " ;\n        foaf:homepage " << uri(kWebSiteUrl)
        << "\n    ] ;\n    lv2:minorVersion 0 ;\n    lv2:microVersion 0 ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable , urid:map ;\n"
        << "    lv2:extensionData state:interface ;\n    ui:ui " << uri(editorUri()) << " ;\n    lv2:port ";
    for (int i = 0; i < kNumParams; ++i) {
        out << "[\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index " << i
            << " ;\n        lv2:symbol " << quoted(portSymbol(i)) << " ;\n        lv2:name "
            << quoted(parameterTable[i].name) << " ;\n        lv2:default " << number(programValue(0, i))
            << " ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 1.0 ;\n";
        // Hosts show 0..1 as 0..100 %, as the display texts do.
        out << "        units:unit units:coef";
        if (isSwitch(i)) out << " ;\n        lv2:portProperty lv2:toggled";
        if (i >= kFirstReserved) out << " ;\n        lv2:portProperty pprops:notOnGUI";
        out << "\n    ] , ";
    }
    for (int number = 0; number < 4; ++number)
        out << audioPort(number) << (number < 3 ? " , " : " .\n\n");
    out << portGroup("in", "InputGroup", "Input") << portGroup("out", "OutputGroup", "Output");
    out << uri(editorUri()) << "\n    a ui:X11UI ;\n    lv2:requiredFeature ui:idleInterface ;\n"
        << "    lv2:optionalFeature ui:parent , ui:resize , ui:touch , ui:noUserResize , "
        << "<http://lv2plug.in/ns/ext/instance-access> ;\n    lv2:extensionData ui:idleInterface .\n";
    return out.str();
}

std::string presets() {
    std::ostringstream out;
    out << kPrefixes;
    for (int p = 0; p < kNumNamedPresets; ++p) {
        out << uri(presetUri(p)) << "\n    a pset:Preset ;\n    lv2:appliesTo " << uri(pluginUri())
            << " ;\n    rdfs:label " << quoted(factoryPresets[p].name) << " ;\n    lv2:port ";
        for (int i = 0; i < kNumParams; ++i)
            out << "[\n        lv2:symbol " << quoted(portSymbol(i)) << " ;\n        pset:value "
                << number(programValue(p, i)) << "\n    ]" << (i + 1 < kNumParams ? " , " : " .\n\n");
    }
    return out.str();
}

bool writeText(const std::string& path, const std::string& text) {
    if (writeFileAtomically(path, reinterpret_cast<const unsigned char*>(text.data()), text.size()))
        return true;
    std::fprintf(stderr, "ttl_generator: cannot write %s\n", path.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ttl_generator BUNDLE-FOLDER BINARY-NAME\n");
        return 2;
    }
    const std::string bundle = argv[1];
    const bool written = writeText(bundle + "/manifest.ttl", manifest(argv[2])) &&
                         writeText(bundle + "/lumeric.ttl", plugin()) &&
                         writeText(bundle + "/presets.ttl", presets());
    return written ? 0 : 1;
}
