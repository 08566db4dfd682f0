// The names the LV2 edition publishes: its addresses, all under the maker's web site, and its port symbols.
#pragma once

#include <string>

const std::string& pluginUri();
const std::string& editorUri();
// The key of the session state (program bank and current program).
const std::string& stateKeyUri();
// The factory program with this number as an LV2 preset.
std::string presetUri(int program);
// The symbol of a parameter's control port: its name in lower case, '_' for a space, other characters
// dropped, made unique with a numbered suffix ("reserved", "reserved_2", ...).
std::string portSymbol(int parameter);
