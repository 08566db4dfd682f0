// The effect settings asked for on the command line, checked once and then applied to every instance.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "options.h"
#include "tools/hostlib/plugin_host.h"

class PxAudio;

struct EngineSettings {
    std::vector<unsigned char> bankImage;    // empty: no bank file
    std::vector<unsigned char> programImage; // empty: no program file
    int program = -1;                        // -1: leave the current program
    std::vector<std::pair<int, float>> values;
};

// An effect built in this process and opened, driven through its AEffect record exactly as a host drives a
// loaded module. Null with a message when the engine refuses to create one.
std::unique_ptr<PluginInstance> createEngine(std::string* error);
// The effect object behind an instance that createEngine made.
PxAudio& effectOf(PluginInstance& engine);
// The rates at which the engine runs its spectral stages (at any other only the time-domain stages run).
bool isSpectralRate(int sampleRate);
// The rates at which the spectral path runs at half rate and needs even block lengths.
bool isHalfRate(int sampleRate);

// Reads the preset files and resolves program and parameter names against a fresh effect. False with a
// one-line message naming the problem.
bool resolveSettings(const RenderOptions& options, EngineSettings& settings, std::string* error);
// Bank, program, program file, then the single values.
void applySettings(PluginInstance& engine, const EngineSettings& settings);

// A program by number, exact name or unique case-insensitive prefix; -1 with a message listing candidates.
int findProgram(PluginInstance& engine, const std::string& wanted, std::string* error);
// A parameter by number or case-insensitive name; -1 with a message.
int findParameter(PluginInstance& engine, const std::string& wanted, std::string* error);
// "0.65" or "65%": false unless the text is a number within 0..1 (0%..100%).
bool parseParameterValue(const std::string& text, float* value);
