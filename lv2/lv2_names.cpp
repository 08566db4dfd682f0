#include "lv2/lv2_names.h"

#include <cctype>
#include <cstdio>
#include <set>
#include <vector>

#include "engine/parameter_table.h"
#include "engine/product_info.h"

const std::string& pluginUri() {
    static const std::string uri = std::string(kWebSiteUrl) + "plugins/lumeric";
    return uri;
}

const std::string& editorUri() {
    static const std::string uri = pluginUri() + "#editor";
    return uri;
}

const std::string& stateKeyUri() {
    static const std::string uri = pluginUri() + "#state";
    return uri;
}

std::string presetUri(int program) {
    char number[16];
    std::snprintf(number, sizeof(number), "%03d", program);
    return pluginUri() + "/presets/" + number;
}

namespace {

std::string baseSymbol(const char* name) {
    std::string symbol;
    for (const char* c = name; *c; ++c) {
        const unsigned char u = static_cast<unsigned char>(*c);
        if (u == ' ' || u == '_')
            symbol += '_';
        else if (std::isalnum(u) && u < 128)
            symbol += static_cast<char>(std::tolower(u));
    }
    // A symbol starts with a letter or '_'.
    if (symbol.empty() || std::isdigit(static_cast<unsigned char>(symbol[0]))) symbol = "p" + symbol;
    return symbol;
}

std::vector<std::string> makeSymbols() {
    std::vector<std::string> symbols;
    std::set<std::string> taken;
    for (const ParameterInfo& parameter : parameterTable) {
        const std::string base = baseSymbol(parameter.name);
        std::string symbol = base;
        for (int n = 2; taken.count(symbol); ++n)
            symbol = base + "_" + std::to_string(n);
        taken.insert(symbol);
        symbols.push_back(symbol);
    }
    return symbols;
}

} // namespace

std::string portSymbol(int parameter) {
    static const std::vector<std::string> symbols = makeSymbols();
    return symbols.at(static_cast<size_t>(parameter));
}
