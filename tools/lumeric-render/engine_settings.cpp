#include "engine_settings.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "engine/px_audio.h"
#include "presets/preset_files.h"
#include "presets/preset_images.h"

namespace {

AEffect* createInProcess(audioMasterCallback hostCallback) {
    AudioEffect* created = createEffectInstance(hostCallback);
    return created ? created->getAeffect() : nullptr;
}

std::string lowered(const std::string& text) {
    std::string result = text;
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

bool isAllDigits(const std::string& text) {
    if (text.empty() || text.size() > 6) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

std::string listPrograms(PluginInstance& engine, const std::vector<int>& indices) {
    std::string list;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i > 0) list += ", ";
        list += std::to_string(indices[i]) + " \"" + engine.programNameIndexed(indices[i]) + "\"";
    }
    return list;
}

} // namespace

int findProgram(PluginInstance& engine, const std::string& wanted, std::string* error) {
    const int count = engine.effect()->numPrograms;
    if (isAllDigits(wanted)) {
        int number = std::atoi(wanted.c_str());
        if (number < count) return number;
        *error = "program " + wanted + " does not exist (programs are 0.." + std::to_string(count - 1) + ")";
        return -1;
    }
    const std::string key = lowered(wanted);
    std::vector<int> exact, exactIgnoringCase, prefixed, containing;
    for (int p = 0; p < count; ++p) {
        const std::string name = engine.programNameIndexed(p);
        const std::string lower = lowered(name);
        if (name == wanted) exact.push_back(p);
        if (lower == key) exactIgnoringCase.push_back(p);
        if (lower.compare(0, key.size(), key) == 0) prefixed.push_back(p);
        if (lower.find(key) != std::string::npos) containing.push_back(p);
    }
    for (const auto* matches : {&exact, &exactIgnoringCase, &prefixed}) {
        if (matches->size() == 1) return matches->front();
        if (matches->size() > 1) {
            *error = "program name \"" + wanted + "\" is ambiguous: " + listPrograms(engine, *matches) +
                     " (give the number)";
            return -1;
        }
    }
    *error = "unknown program \"" + wanted + "\"";
    if (!containing.empty())
        *error += "; names containing it: " + listPrograms(engine, containing);
    else
        *error += " (see --list-programs)";
    return -1;
}

int findParameter(PluginInstance& engine, const std::string& wanted, std::string* error) {
    const int count = engine.effect()->numParams;
    if (isAllDigits(wanted)) {
        int number = std::atoi(wanted.c_str());
        if (number < count) return number;
        *error =
            "parameter " + wanted + " does not exist (parameters are 0.." + std::to_string(count - 1) + ")";
        return -1;
    }
    std::vector<int> matches;
    for (int i = 0; i < count; ++i)
        if (lowered(engine.parameterName(i)) == lowered(wanted)) matches.push_back(i);
    if (matches.size() == 1) return matches.front();
    if (matches.empty()) {
        *error = "unknown parameter \"" + wanted + "\" (see --list-params)";
    } else {
        *error = "parameter name \"" + wanted + "\" is ambiguous (parameters " +
                 std::to_string(matches.front()) + ".." + std::to_string(matches.back()) +
                 "); give the number";
    }
    return -1;
}

bool parseParameterValue(const std::string& text, float* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    double parsed = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) return false;
    if (*end == '%') {
        parsed /= 100.0;
        ++end;
    }
    if (*end != 0 || !std::isfinite(parsed) || parsed < 0.0 || parsed > 1.0) return false;
    *value = static_cast<float>(parsed);
    return true;
}

std::unique_ptr<PluginInstance> createEngine(std::string* error) {
    auto engine = PluginInstance::create(&createInProcess, PluginInstance::Behaviour{});
    if (!engine) {
        *error = "the effect engine could not be created (out of memory?)";
        return nullptr;
    }
    engine->dispatch(effOpen);
    return engine;
}

PxAudio& effectOf(PluginInstance& engine) {
    return *static_cast<PxAudio*>(static_cast<AudioEffect*>(engine.effect()->object));
}

bool isSpectralRate(int sampleRate) {
    return AudioPath::classifyRate(static_cast<float>(sampleRate)) != AudioPath::RateClass::Other;
}

bool isHalfRate(int sampleRate) {
    return AudioPath::classifyRate(static_cast<float>(sampleRate)) == AudioPath::RateClass::Half;
}

bool resolveSettings(const RenderOptions& options, EngineSettings& settings, std::string* error) {
    auto probe = createEngine(error);
    if (!probe) return false;
    if (!options.fxbPath.empty()) {
        if (!readPresetFile(options.fxbPath, settings.bankImage)) {
            *error = options.fxbPath + ": cannot read the bank file";
            return false;
        }
        if (!fxbLoadBytesFromBuf(effectOf(*probe), settings.bankImage.data(), settings.bankImage.size())) {
            *error = options.fxbPath + ": not a Lumeric bank file";
            return false;
        }
    }
    if (!options.program.empty()) {
        settings.program = findProgram(*probe, options.program, error);
        if (settings.program < 0) return false;
        probe->dispatch(effSetProgram, 0, settings.program);
    }
    if (!options.fxpPath.empty()) {
        if (!readPresetFile(options.fxpPath, settings.programImage)) {
            *error = options.fxpPath + ": cannot read the program file";
            return false;
        }
        if (!fxpLoadBytesFromBuf(effectOf(*probe), settings.programImage.data(),
                                 settings.programImage.size())) {
            *error = options.fxpPath + ": not a Lumeric program file";
            return false;
        }
    }
    for (const std::string& setting : options.settings) {
        size_t equals = setting.find('=');
        std::string name = setting.substr(0, equals);
        std::string text = setting.substr(equals + 1);
        int index = findParameter(*probe, name, error);
        if (index < 0) {
            *error = "--set " + setting + ": " + *error;
            return false;
        }
        float value = 0.0f;
        if (!parseParameterValue(text, &value)) {
            *error = "--set " + setting + ": value must lie within 0..1 (or 0%..100%)";
            return false;
        }
        settings.values.emplace_back(index, value);
    }
    return true;
}

void applySettings(PluginInstance& engine, const EngineSettings& settings) {
    if (!settings.bankImage.empty())
        fxbLoadBytesFromBuf(effectOf(engine), settings.bankImage.data(), settings.bankImage.size());
    if (settings.program >= 0) engine.dispatch(effSetProgram, 0, settings.program);
    if (!settings.programImage.empty())
        fxpLoadBytesFromBuf(effectOf(engine), settings.programImage.data(), settings.programImage.size());
    for (const auto& [index, value] : settings.values)
        engine.setParameter(index, value);
}
