// The keys the widgets react to. The numbers are the host's virtual key and modifier numbers, so the editor
// glue passes them on as they come.
#pragma once

#include <cstdint>

struct CKeyCode {
    int32_t character;      // printable ASCII, or 0
    unsigned char virt;     // VstVirtualKey, or 0
    unsigned char modifier; // VstModifierKey bits
};

enum VstVirtualKey {
    VKEY_BACK = 1,
    VKEY_TAB = 2,
    VKEY_RETURN = 4,
    VKEY_ESCAPE = 6,
    VKEY_SPACE = 7,
    VKEY_END = 9,
    VKEY_HOME = 10,
    VKEY_LEFT = 11,
    VKEY_UP = 12,
    VKEY_RIGHT = 13,
    VKEY_DOWN = 14,
    VKEY_PAGEUP = 15,
    VKEY_PAGEDOWN = 16,
    VKEY_ENTER = 19,
};

enum VstModifierKey {
    MODIFIER_SHIFT = 1 << 0,
    MODIFIER_ALTERNATE = 1 << 1,
    MODIFIER_COMMAND = 1 << 2,
    MODIFIER_CONTROL = 1 << 3,
};
