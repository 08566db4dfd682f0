// The command line of lumeric-render: what the user asked for, before anything is checked against files.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "editor/analyser_mode.h"

enum class RenderMode { Render, ListPrograms, ListParams, MakeDemo, Help };

struct RenderOptions {
    RenderMode mode = RenderMode::Render;
    std::vector<std::string> inputs;
    std::string output; // a file for one input, a folder for several
    std::string program;
    std::vector<std::string> settings; // NAME=VALUE, in the order given
    std::string fxpPath;
    std::string fxbPath;
    int blockSize = 512;
    bool raw = false;
    int jobs = 0; // 0: one per core
    bool overwrite = false;
    bool quiet = false;
    bool floatOutput = false;
    int bits = 0; // 0: as the input
    std::string snapshotPath;
    AnalyserMode snapshotMode = AnalyserMode::Spectrum;
    double snapshotScale = 1.0; // one of the editor's sizes
    std::string demoPath;
};

// False with a one-line message when the command line is malformed; files are not looked at.
bool parseOptions(int argc, char** argv, RenderOptions& options, std::string* error);
void printHelp(FILE* stream);
