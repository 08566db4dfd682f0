// Every control of the editor window, in creation order: where it sits, what it reports and which help text
// it shows. Read by the editor's open and by the tests.
#pragma once

#include "engine/parameter_ids.h"

// Tags of the controls that are not parameters.
enum EditorTag {
    kTagProgramList = 100,
    kTagNextProgram = 101,
    kTagPreviousProgram = 102,
    kTagSpectrum = 103,
    kTagScope = 104,
    kTagFileMenu = 105,
    kTagAbout = 106,
    kTagEditorSize = 107, // the background's menu of editor sizes, made by the editor beside the table
    kTagLed = 300,
};

enum class ControlKind {
    ProgramList,
    FileMenu,
    Knob,   // film strip of 256 frames
    Switch, // on/off button, two frames
    Button, // reports once per click, on the release; two frames
    Led,    // bass meter light, two frames
    RedLed, // the meter's top light
    Analyser,
    AboutScreen,
};

constexpr int kKnobFrames = 256;

struct ControlPlace {
    ControlKind kind;
    int left, top;
    int width, height; // 0, 0: one frame of the control's bitmap
    int tag;           // a parameter index for knobs and switches, else an EditorTag; -1: none
    int helpText;      // index into tooltexts, -1: none
};

constexpr int kNoTag = -1;
constexpr int kNoHelp = -1;

// Creation order; later views lie on top of earlier ones.
// kind, left, top, width, height, tag, help text
constexpr ControlPlace kEditorLayout[] = {
    {ControlKind::ProgramList, 53, 57, 242, 37, kTagProgramList, kNoHelp},
    {ControlKind::FileMenu, 294, 11, 54, 16, kTagFileMenu, kNoHelp},
    {ControlKind::Knob, 51, 466, 0, 0, kEqLow, kEqLow},
    {ControlKind::Knob, 51, 382, 0, 0, kEqMid, kEqMid},
    {ControlKind::Knob, 51, 299, 0, 0, kEqHigh, kEqHigh},
    {ControlKind::Knob, 136, 466, 0, 0, kLowWidener, kLowWidener},
    {ControlKind::Knob, 136, 382, 0, 0, kMidWidener, kMidWidener},
    {ControlKind::Knob, 136, 299, 0, 0, kHighWidener, kHighWidener},
    {ControlKind::Knob, 222, 466, 0, 0, kLowDelay, kLowDelay},
    {ControlKind::Knob, 222, 382, 0, 0, kMidDelay, kMidDelay},
    {ControlKind::Knob, 222, 299, 0, 0, kHighDelay, kHighDelay},
    {ControlKind::Knob, 307, 382, 0, 0, kMidFreq, kMidFreq},
    {ControlKind::Knob, 448, 172, 0, 0, kExciterMix, kExciterMix},
    {ControlKind::Knob, 533, 172, 0, 0, kExciterFreq, kExciterFreq},
    {ControlKind::Knob, 137, 172, 0, 0, kSilkySurround, kSilkySurround},
    {ControlKind::Knob, 52, 172, 0, 0, kVirtualSurround, kVirtualSurround},
    {ControlKind::Knob, 730, 172, 0, 0, kNoiseReduction, kNoiseReduction},
    {ControlKind::Knob, 646, 172, 0, 0, kClearness, kClearness},
    {ControlKind::Knob, 335, 172, 0, 0, kDiffuseCream, kDiffuseCream},
    {ControlKind::Knob, 250, 172, 0, 0, kLazerPunch, kLazerPunch},
    {ControlKind::Knob, 334, 44, 0, 0, kVolume, kVolume},
    {ControlKind::Knob, 448, 44, 0, 0, kDynamicFatBass, kDynamicFatBass},
    {ControlKind::Knob, 559, 44, 0, 0, kLoudnessMix, kLoudnessMix},
    {ControlKind::Knob, 646, 44, 0, 0, kLoudnessBassBoost, kLoudnessBassBoost},
    {ControlKind::Knob, 732, 44, 0, 0, kTone, kTone},
    {ControlKind::Switch, 342, 2, 0, 0, kBypass, kBypass},
    {ControlKind::Switch, 314, 257, 0, 0, kMono, kMono},
    {ControlKind::Button, 679, 258, 0, 0, kTagSpectrum, kNoHelp},
    {ControlKind::Button, 736, 258, 0, 0, kTagScope, kNoHelp},
    {ControlKind::Button, 172, 2, 0, 0, kTagPreviousProgram, kNoHelp},
    {ControlKind::Button, 230, 2, 0, 0, kTagNextProgram, kNoHelp},
    {ControlKind::Led, 501, 85, 0, 0, kTagLed, kNoHelp},
    {ControlKind::Led, 501, 71, 0, 0, kTagLed, kNoHelp},
    {ControlKind::Led, 501, 57, 0, 0, kTagLed, kNoHelp},
    {ControlKind::Led, 501, 43, 0, 0, kTagLed, kNoHelp},
    {ControlKind::RedLed, 501, 29, 0, 0, kTagLed, kNoHelp},
    {ControlKind::Analyser, 407, 295, 377, 219, kNoTag, kNoHelp},
    {ControlKind::AboutScreen, 392, 515, 436, 39, kTagAbout, kNoHelp},
};

constexpr int kNumControls = static_cast<int>(sizeof(kEditorLayout) / sizeof(kEditorLayout[0]));

constexpr int countControls(ControlKind kind) {
    int count = 0;
    for (const ControlPlace& place : kEditorLayout)
        count += place.kind == kind ? 1 : 0;
    return count;
}

constexpr int kNumKnobs = countControls(ControlKind::Knob);
constexpr int kNumLeds = countControls(ControlKind::Led) + countControls(ControlKind::RedLed);

// The first control with the tag (an EditorTag or a parameter index).
constexpr const ControlPlace& controlWithTag(int tag) {
    for (const ControlPlace& place : kEditorLayout)
        if (place.tag == tag) return place;
    return kEditorLayout[0];
}
