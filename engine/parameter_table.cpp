#include "engine/parameter_table.h"

const ParameterInfo parameterTable[kNumParams] = {
    {"Volume", 0.5f},        {"Bypass", 0.0f},      {"DynamicFatBass", 0.0f}, {"LoudnessMix", 0.0f},
    {"LoudnessBassBoost", 0.0f}, {"Tone", 0.5f},    {"VirtualSurround", 0.0f}, {"SilkySurround", 0.0f},
    {"LazerPunch", 0.0f},    {"DiffuseCream", 0.0f}, {"ExciterMix", 0.0f},    {"ExciterFreq", 0.5f},
    {"Clearness", 0.0f},     {"NoiseReduction", 0.0f}, {"EqLow", 0.5f},       {"EqMid", 0.5f},
    {"EqHigh", 0.5f},        {"LowWidener", 0.5f},  {"MidWidener", 0.5f},     {"HighWidener", 0.5f},
    {"LowDelay", 0.5f},      {"MidDelay", 0.5f},    {"HighDelay", 0.5f},      {"MidFreq", 0.5f},
    {"Mono", 0.0f},          {"Reserved", 0.0f},    {"Reserved", 0.0f},       {"Reserved", 0.0f},
    {"Reserved", 0.0f},      {"Reserved", 0.0f},    {"Reserved", 0.0f},       {"Reserved", 0.0f},
    {"Reserved", 0.0f},      {"Reserved", 0.0f},    {"Reserved", 0.0f},
};
