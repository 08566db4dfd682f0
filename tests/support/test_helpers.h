// Shared helpers of the tests: the built module, temporary folders, a fake dialog program on PATH.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/hostlib/plugin_host.h"

// What a fresh effect's programs hold, from the factory table: the neutral program (volume, tone, exciter
// frequency and the controls 14..23 centred, the rest 0), each program's values and names.
float neutralValue(int i);
float factoryValue(int program, int i);
std::string factoryName(int program);

// The module under test, loaded once per test program.
const PluginModule& testModule();
// A new instance of the module under test (asserts that it could be created).
std::unique_ptr<PluginInstance> newInstance();

// A fresh folder under the build tree, removed with its contents when the object goes.
class TemporaryFolder {
  public:
    TemporaryFolder();
    ~TemporaryFolder();
    const std::string& path() const { return folder; }
    std::string file(const std::string& name) const { return folder + "/" + name; }

  private:
    std::string folder;
};

// Puts a fake `name` program first on PATH for the object's lifetime. Each run appends its arguments,
// one per line followed by a line "--end--", to the record file, prints `output` on standard output and
// exits with `exitStatus`. Without any dialog program (programs empty) PATH holds no dialog at all.
class FakeDialogProgram {
  public:
    FakeDialogProgram(const std::string& name = "zenity", int exitStatus = 0, const std::string& output = "");
    ~FakeDialogProgram();
    // Changes what the next runs answer.
    void answer(int exitStatus, const std::string& output = "");
    // Makes each run wait this long before it records anything.
    void delay(int seconds);
    // The argument lists of every run so far.
    std::vector<std::vector<std::string>> runs() const;
    std::string folder() const { return tmp.path(); }

  private:
    void writeScript();
    TemporaryFolder tmp;
    std::string programName;
    std::string savedPath;
    int status;
    std::string printed;
    int delaySeconds = 0;
};

// PATH without any dialog program, for the object's lifetime.
class NoDialogPrograms {
  public:
    NoDialogPrograms();
    ~NoDialogPrograms();

  private:
    TemporaryFolder tmp;
    std::string savedPath;
};

std::string readWholeFile(const std::string& path);
std::vector<std::string> readLines(const std::string& path);
