// Parameters and programs through the binary interface.
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "engine/factory_presets.h"
#include "engine/parameter_table.h"
#include "test_helpers.h"

namespace {
const char* const kNames[35] = {
    "Volume",     "Bypass",          "DynamicFatBass", "LoudnessMix",    "LoudnessBassBoost",
    "Tone",       "VirtualSurround", "SilkySurround",  "LazerPunch",     "DiffuseCream",
    "ExciterMix", "ExciterFreq",     "Clearness",      "NoiseReduction", "EqLow",
    "EqMid",      "EqHigh",          "LowWidener",     "MidWidener",     "HighWidener",
    "LowDelay",   "MidDelay",        "HighDelay",      "MidFreq",        "Mono",
    "Reserved",   "Reserved",        "Reserved",       "Reserved",       "Reserved",
    "Reserved",   "Reserved",        "Reserved",       "Reserved",       "Reserved"};

std::vector<float> neutralValues() {
    std::vector<float> v(35, 0.0f);
    for (int i : {0, 5, 11, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23})
        v[i] = 0.5f;
    return v;
}
} // namespace

TEST(Parameters, NamesLabelsAndDisplays) {
    auto plugin = newInstance();
    for (int i = 0; i < 35; ++i) {
        EXPECT_EQ(plugin->parameterName(i), kNames[i]);
        EXPECT_EQ(plugin->parameterLabel(i), "");
    }
    EXPECT_EQ(plugin->parameterName(35), "?");
    EXPECT_EQ(plugin->parameterName(-1), "?");
    EXPECT_EQ(plugin->parameterLabel(99), "");
    EXPECT_EQ(plugin->parameterDisplay(0), "50.0 %");
    EXPECT_EQ(plugin->parameterDisplay(6), "100.0 %");
    EXPECT_EQ(plugin->parameterDisplay(40), "Error");
    plugin->setParameter(3, 1.5f);
    EXPECT_EQ(plugin->getParameter(3), 1.5f); // stored unchanged, never clamped
    EXPECT_EQ(plugin->parameterDisplay(3), "150.0 %");
    plugin->setParameter(3, 0.0005f);
    EXPECT_EQ(plugin->parameterDisplay(3), "0.1 %");
}

TEST(Parameters, DisplayNeverExceedsTheHostsEightBytes) {
    auto plugin = newInstance();
    char text[64];
    for (float v : {1e6f, -1e6f, 123.456f}) {
        plugin->setParameter(2, v);
        std::memset(text, 'x', sizeof(text));
        plugin->dispatch(effGetParamDisplay, 2, 0, text);
        EXPECT_LT(std::strlen(text), 8u);
        EXPECT_EQ(text[8], 'x');
    }
}

TEST(Parameters, OutOfRangeIndicesChangeNothing) {
    auto plugin = newInstance();
    std::vector<float> before;
    for (int i = 0; i < 35; ++i)
        before.push_back(plugin->getParameter(i));
    plugin->setParameter(35, 0.7f);
    plugin->setParameter(-1, 0.7f);
    plugin->setParameter(1 << 30, 0.7f);
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ(plugin->getParameter(i), before[i]);
    EXPECT_EQ(plugin->getParameter(35), 0.0f);
    EXPECT_EQ(plugin->getParameter(-5), 0.0f);
}

TEST(Programs, FactoryTableAfterConstruction) {
    auto plugin = newInstance();
    EXPECT_EQ(plugin->dispatch(effGetProgram), 0);
    EXPECT_EQ(plugin->programName(), "Enhance general medium");
    const float startup[25] = {0.5f, 0,    0.385f, 0.405f, 0, 0.5f, 1,    0,    0.5f, 0,    0, 1, 0,
                               0,    0.5f, 0.5f,   0.5f,   0, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0};
    for (int i = 0; i < 25; ++i)
        EXPECT_FLOAT_EQ(plugin->getParameter(i), startup[i]) << i;
    for (int i = 25; i < 35; ++i)
        EXPECT_EQ(plugin->getParameter(i), 0.0f);

    EXPECT_EQ(plugin->programNameIndexed(14), "Virtual surround medium");
    EXPECT_EQ(plugin->programNameIndexed(16), "Virtual surround medium");
    EXPECT_EQ(plugin->programNameIndexed(72), "LowFi overprocessing");
    EXPECT_EQ(plugin->programNameIndexed(73), "Init 073");
    EXPECT_EQ(plugin->programNameIndexed(100), "Init 100");
    EXPECT_EQ(plugin->programNameIndexed(127), "Init 127");
    char untouched[32] = "unchanged";
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, 128, 0, untouched), 0);
    EXPECT_STREQ(untouched, "unchanged");
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, -1, 0, untouched), 0);

    // Every program's values as a host selects it: named rows from the table, the rest neutral.
    const auto neutral = neutralValues();
    for (int p = 0; p < 128; ++p) {
        plugin->dispatch(effSetProgram, 0, p);
        for (int i = 0; i < 35; ++i) {
            float expected =
                p < kNumNamedPresets ? (i < 25 ? factoryPresets[p].values[i] : 0.0f) : neutral[i];
            EXPECT_EQ(plugin->getParameter(i), expected) << "program " << p << " parameter " << i;
            EXPECT_GE(plugin->getParameter(i), 0.0f);
            EXPECT_LE(plugin->getParameter(i), 1.0f);
        }
    }
}

TEST(Programs, SpotChecksOfTheFactoryTable) {
    auto plugin = newInstance();
    plugin->dispatch(effSetProgram, 0, 26);
    EXPECT_EQ(plugin->getParameter(2), 1.0f);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 26);
    plugin->dispatch(effSetProgram, 0, 72);
    EXPECT_FLOAT_EQ(plugin->getParameter(0), 0.305f);
    EXPECT_EQ(plugin->getParameter(11), 0.0f);
    EXPECT_EQ(plugin->getParameter(17), 0.0f);
    EXPECT_EQ(plugin->getParameter(23), 0.5f);
    plugin->dispatch(effSetProgram, 0, 44);
    EXPECT_FLOAT_EQ(plugin->getParameter(23), 0.915f);
    EXPECT_FLOAT_EQ(plugin->getParameter(15), 0.405f);
    EXPECT_EQ(plugin->programName(), "Stereo widening delay 2");
}

TEST(Programs, OutOfRangeSelectionChangesNothing) {
    auto plugin = newInstance();
    plugin->dispatch(effSetProgram, 0, 7);
    for (VstIntPtr bad : {VstIntPtr(128), VstIntPtr(-1), VstIntPtr(1) << 40, VstIntPtr(1000)}) {
        plugin->dispatch(effSetProgram, 0, bad);
        EXPECT_EQ(plugin->dispatch(effGetProgram), 7);
    }
    EXPECT_FLOAT_EQ(plugin->getParameter(5), 0.17f);
}

TEST(Programs, RenameKeepsTwentySevenCharacters) {
    auto plugin = newInstance();
    std::string forty(40, 'n');
    for (int i = 0; i < 40; ++i)
        forty[i] = static_cast<char>('a' + i % 26);
    plugin->dispatch(effSetProgramName, 0, 0, forty.data());
    char full[64] = {};
    // Hosts get names cut to their 24-byte buffers; the program keeps 27 characters.
    plugin->dispatch(effGetProgramName, 0, 0, full);
    EXPECT_EQ(std::string(full), forty.substr(0, 23));
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, 0, 0, full), 1);
    EXPECT_EQ(std::string(full), forty.substr(0, 23));

    std::vector<char> unterminated(1 << 16, 'z');
    plugin->dispatch(effSetProgramName, 0, 0, unterminated.data());
    EXPECT_EQ(plugin->programName(), std::string(23, 'z'));
    plugin->dispatch(effSetProgramName, 0, 0, const_cast<char*>("Short"));
    EXPECT_EQ(plugin->programName(), "Short");
    EXPECT_EQ(plugin->programNameIndexed(0), "Short");
}

TEST(Programs, CurrentProgramFollowsEveryParameterChange) {
    auto plugin = newInstance();
    plugin->dispatch(effSetProgram, 0, 3);
    plugin->setParameter(2, 0.123f);
    plugin->dispatch(effSetProgram, 0, 4);
    EXPECT_FLOAT_EQ(plugin->getParameter(2), 0.65f);
    plugin->dispatch(effSetProgram, 0, 3);
    EXPECT_FLOAT_EQ(plugin->getParameter(2), 0.123f);
}

TEST(Programs, SuspendResumeKeepsParametersAndPrograms) {
    auto plugin = newInstance();
    plugin->dispatch(effSetProgram, 0, 11);
    plugin->setParameter(13, 0.4f);
    plugin->dispatch(effMainsChanged, 0, 0);
    plugin->dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 11);
    EXPECT_FLOAT_EQ(plugin->getParameter(13), 0.4f);
    EXPECT_EQ(plugin->programName(), "Enhance clarity heavy");
}

TEST(Instances, AreIndependent) {
    auto first = newInstance();
    auto second = newInstance();
    first->dispatch(effSetProgram, 0, 20);
    first->setParameter(0, 0.9f);
    first->dispatch(effSetProgramName, 0, 0, const_cast<char*>("Mine"));
    EXPECT_EQ(second->dispatch(effGetProgram), 0);
    EXPECT_EQ(second->getParameter(0), 0.5f);
    EXPECT_EQ(second->programNameIndexed(20), "Loudness medium");
}
