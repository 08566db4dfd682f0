// Running the desktop's helper programs (dialogs, the browser) found on PATH.
#pragma once

#include <string>
#include <vector>

struct ProgramResult {
    bool launched = false; // false when the program was not found or could not be started
    int exitStatus = -1;   // the program's exit status; -1 when it died of a signal
    std::string output;    // what it wrote to standard output
};

// True when an executable of that name is on PATH.
bool programOnPath(const char* name);

// Runs argv[0] (looked up on PATH) with the given arguments, waits for it, captures standard output.
ProgramResult runProgram(const std::vector<std::string>& argv);

// Starts argv[0] (looked up on PATH) without waiting. argv is null-terminated. Allocates, locks and
// waits for nothing in this process, so it may be called from the audio thread. Its child is remembered
// (lock-free) until reapFinishedPrograms() collects it.
bool launchProgramDetached(const char* const argv[]);

// Collects the exit status of the detached programs that have ended, so that none is left as a zombie.
// Never waits, and touches only the children launched here, never other children of the host. Not for the
// audio thread.
void reapFinishedPrograms();
