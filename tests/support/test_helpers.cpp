#include "test_helpers.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "engine/factory_presets.h"

float neutralValue(int i) {
    return i == kVolume || i == kTone || i == kExciterFreq || (i >= kEqLow && i <= kMidFreq) ? 0.5f : 0.0f;
}

float factoryValue(int program, int i) {
    if (program >= kNumNamedPresets) return neutralValue(i);
    return i < kNumUsedParams ? factoryPresets[program].values[i] : 0.0f;
}

std::string factoryName(int program) {
    if (program < kNumNamedPresets) return factoryPresets[program].name;
    char name[16];
    std::snprintf(name, sizeof(name), "Init %03d", program);
    return name;
}

const PluginModule& testModule() {
    static std::unique_ptr<PluginModule> module = [] {
        std::string error;
        auto loaded = PluginModule::open(LUMERIC_MODULE_PATH, &error);
        if (!loaded) {
            std::fprintf(stderr, "cannot load %s: %s\n", LUMERIC_MODULE_PATH, error.c_str());
            std::abort();
        }
        return loaded;
    }();
    return *module;
}

std::unique_ptr<PluginInstance> newInstance() {
    auto instance = PluginInstance::create(testModule());
    EXPECT_NE(instance, nullptr);
    return instance;
}

TemporaryFolder::TemporaryFolder() {
    std::string base = std::string(LUMERIC_BINARY_DIR) + "/test-tmp";
    std::filesystem::create_directories(base);
    std::string pattern = base + "/XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (!mkdtemp(buffer.data())) std::abort();
    folder = buffer.data();
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(folder, ignored);
}

FakeDialogProgram::FakeDialogProgram(const std::string& name, int exitStatus, const std::string& output)
    : programName(name), status(exitStatus), printed(output) {
    const char* path = std::getenv("PATH");
    savedPath = path ? path : "";
    writeScript();
    setenv("PATH", tmp.path().c_str(), 1);
}

FakeDialogProgram::~FakeDialogProgram() {
    setenv("PATH", savedPath.c_str(), 1);
}

void FakeDialogProgram::answer(int exitStatus, const std::string& output) {
    status = exitStatus;
    printed = output;
    writeScript();
}

void FakeDialogProgram::writeScript() {
    // Shell built-ins only: PATH holds nothing but this folder while the fake is installed.
    const std::string script = tmp.file(programName);
    const std::string temporary = script + ".new";
    {
        std::ofstream out(temporary);
        out << "#!/bin/sh\n";
        if (delaySeconds > 0) out << "/bin/sleep " << delaySeconds << "\n";
        out << "for arg in \"$@\"; do printf '%s\\n' \"$arg\" >> '" << tmp.file("record") << "'; done\n";
        out << "printf '%s\\n' '--end--' >> '" << tmp.file("record") << "'\n";
        out << "printf '%s' '" << printed << "'\n";
        out << "exit " << status << "\n";
    }
    chmod(temporary.c_str(), 0755);
    std::rename(temporary.c_str(), script.c_str());
}

void FakeDialogProgram::delay(int seconds) {
    delaySeconds = seconds;
    writeScript();
}

std::vector<std::vector<std::string>> FakeDialogProgram::runs() const {
    std::vector<std::vector<std::string>> all;
    std::vector<std::string> current;
    for (const auto& line : readLines(tmp.file("record"))) {
        if (line == "--end--") {
            all.push_back(current);
            current.clear();
        } else {
            current.push_back(line);
        }
    }
    return all;
}

NoDialogPrograms::NoDialogPrograms() {
    const char* path = std::getenv("PATH");
    savedPath = path ? path : "";
    setenv("PATH", tmp.path().c_str(), 1);
}

NoDialogPrograms::~NoDialogPrograms() {
    setenv("PATH", savedPath.c_str(), 1);
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}
