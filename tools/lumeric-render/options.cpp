#include "options.h"

#include <cerrno>
#include <cstdlib>

namespace {

bool parseInt(const std::string& text, int low, int high, int* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != 0 || parsed < low || parsed > high) return false;
    *value = static_cast<int>(parsed);
    return true;
}

// Splits "--name=value"; value stays empty (and hasValue false) for "--name".
void splitInline(const std::string& argument, std::string* name, std::string* value, bool* hasValue) {
    size_t equals = argument.find('=');
    *hasValue = argument.rfind("--", 0) == 0 && equals != std::string::npos;
    *name = *hasValue ? argument.substr(0, equals) : argument;
    *value = *hasValue ? argument.substr(equals + 1) : std::string();
}

} // namespace

bool parseOptions(int argc, char** argv, RenderOptions& options, std::string* error) {
    bool onlyInputs = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "-") {
            *error = "reading standard input is not supported; name an input file";
            return false;
        }
        if (onlyInputs || argument.empty() || argument[0] != '-') {
            options.inputs.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyInputs = true;
            continue;
        }
        std::string name, value;
        bool hasValue = false;
        splitInline(argument, &name, &value, &hasValue);
        // "-j4" and "-oFILE" as well as "-j 4" and "-o FILE".
        if (!hasValue && argument.size() > 2 && (argument[1] == 'j' || argument[1] == 'o')) {
            name = argument.substr(0, 2);
            value = argument.substr(2);
            hasValue = true;
        }
        auto takeValue = [&](std::string* out) {
            if (hasValue) {
                *out = value;
                return true;
            }
            if (i + 1 >= argc) {
                *error = "option " + name + " needs a value (see --help)";
                return false;
            }
            *out = argv[++i];
            return true;
        };
        auto noValue = [&]() {
            if (hasValue) *error = "option " + name + " takes no value";
            return !hasValue;
        };
        std::string text;
        if (name == "-h" || name == "--help") {
            if (!noValue()) return false;
            options.mode = RenderMode::Help;
        } else if (name == "-o" || name == "--output") {
            if (!takeValue(&options.output)) return false;
            if (options.output.empty()) {
                *error = "option -o needs a file or folder name";
                return false;
            }
        } else if (name == "--program") {
            if (!takeValue(&options.program)) return false;
            if (options.program.empty()) {
                *error = "option --program needs a number or a name";
                return false;
            }
        } else if (name == "--set") {
            if (!takeValue(&text)) return false;
            if (text.find('=') == std::string::npos) {
                *error = "--set " + text + ": expected NAME=VALUE, e.g. --set Volume=0.6";
                return false;
            }
            options.settings.push_back(text);
        } else if (name == "--fxp") {
            if (!takeValue(&options.fxpPath)) return false;
        } else if (name == "--fxb") {
            if (!takeValue(&options.fxbPath)) return false;
        } else if (name == "--list-programs") {
            if (!noValue()) return false;
            options.mode = RenderMode::ListPrograms;
        } else if (name == "--list-params") {
            if (!noValue()) return false;
            options.mode = RenderMode::ListParams;
        } else if (name == "--block") {
            if (!takeValue(&text)) return false;
            if (!parseInt(text, 1, 65536, &options.blockSize)) {
                *error = "--block " + text + ": expected a whole number of samples from 1 to 65536";
                return false;
            }
        } else if (name == "--raw") {
            if (!noValue()) return false;
            options.raw = true;
        } else if (name == "-j" || name == "--jobs") {
            if (!takeValue(&text)) return false;
            if (!parseInt(text, 1, 1024, &options.jobs)) {
                *error = "-j " + text + ": expected a number of parallel files from 1 to 1024";
                return false;
            }
        } else if (name == "--overwrite") {
            if (!noValue()) return false;
            options.overwrite = true;
        } else if (name == "-q" || name == "--quiet") {
            if (!noValue()) return false;
            options.quiet = true;
        } else if (name == "--float") {
            if (!noValue()) return false;
            options.floatOutput = true;
        } else if (name == "--bits") {
            if (!takeValue(&text)) return false;
            if (text != "16" && text != "24") {
                *error = "--bits " + text + ": expected 16 or 24";
                return false;
            }
            options.bits = std::atoi(text.c_str());
        } else if (name == "--snapshot") {
            if (!takeValue(&options.snapshotPath)) return false;
            if (options.snapshotPath.empty()) {
                *error = "option --snapshot needs a file name";
                return false;
            }
        } else if (name == "--snapshot-mode") {
            if (!takeValue(&text)) return false;
            if (text == "spectrum") {
                options.snapshotMode = AnalyserMode::Spectrum;
            } else if (text == "scope") {
                options.snapshotMode = AnalyserMode::Scope;
            } else {
                *error = "--snapshot-mode " + text + ": expected spectrum or scope";
                return false;
            }
        } else if (name == "--make-demo") {
            if (!takeValue(&options.demoPath)) return false;
            if (options.demoPath.empty()) {
                *error = "option --make-demo needs a file name";
                return false;
            }
            options.mode = RenderMode::MakeDemo;
        } else {
            *error = "unknown option " + name + " (see --help)";
            return false;
        }
    }
    if (options.floatOutput && options.bits != 0) {
        *error = "--float and --bits exclude each other";
        return false;
    }
    if (options.mode == RenderMode::Render && options.inputs.empty()) {
        *error = "no input file given (see --help)";
        return false;
    }
    if (options.mode != RenderMode::Render && options.mode != RenderMode::Help && !options.inputs.empty()) {
        *error = "unexpected input file " + options.inputs.front() + " with this option";
        return false;
    }
    if (options.mode == RenderMode::Render && !options.snapshotPath.empty() && options.inputs.size() > 1) {
        *error = "--snapshot takes one input file, not " + std::to_string(options.inputs.size());
        return false;
    }
    return true;
}

void printHelp(FILE* stream) {
    std::fputs(
        "usage: lumeric-render [OPTIONS] INPUT -o OUTPUT\n"
        "       lumeric-render [OPTIONS] INPUT... -o FOLDER\n"
        "       lumeric-render --list-programs | --list-params [SETTINGS]\n"
        "       lumeric-render --make-demo FILE\n"
        "\n"
        "Runs audio files through the Lumeric effect, as a host would, and writes the results.\n"
        "Reads and writes WAV, AIFF, FLAC and OGG. Mono files are processed as two equal channels\n"
        "and written back as mono; files with more than two channels are refused.\n"
        "\n"
        "Output:\n"
        "  -o, --output PATH     the output file (one input) or an output folder (any number of inputs;\n"
        "                        created when missing; each output keeps its input's file name)\n"
        "                          e.g. lumeric-render mix.wav -o mix-enhanced.wav\n"
        "                          e.g. lumeric-render songs/*.flac -o enhanced/\n"
        "  --overwrite           replace existing output files (never done otherwise)\n"
        "  --float               write 32-bit float samples (WAV and AIFF)\n"
        "                          e.g. lumeric-render mix.wav -o mix-float.wav --float\n"
        "  --bits 16|24          write 16- or 24-bit integer samples (not OGG)\n"
        "                          e.g. lumeric-render mix.flac -o mix16.flac --bits 16\n"
        "                        Without either, the output keeps the input's format and sample rate;\n"
        "                        an output name ending in .wav, .aiff, .flac or .ogg picks that container.\n"
        "\n"
        "Settings (applied in this order: bank, program, program file, single values):\n"
        "  --fxb FILE            load a bank file (.fxb) into the 128 programs; program 0 becomes current\n"
        "                          e.g. lumeric-render mix.wav -o out.wav --fxb mybank.fxb --program 3\n"
        "  --program N|NAME      select a program by number (0..127), exact name, or a unique\n"
        "                        case-insensitive name prefix (default: program 0)\n"
        "                          e.g. lumeric-render mix.wav -o out.wav --program \"tone warm\"\n"
        "  --fxp FILE            load a program file (.fxp) into the current program\n"
        "                          e.g. lumeric-render mix.wav -o out.wav --fxp warm.fxp\n"
        "  --set NAME=VALUE      set one parameter (name as --list-params shows it, or its number);\n"
        "                        VALUE is 0..1 or a percentage; repeatable\n"
        "                          e.g. lumeric-render mix.wav -o out.wav --set Volume=0.6 --set Tone=65%\n"
        "  --list-programs       print the 128 program numbers and names, then exit\n"
        "                          e.g. lumeric-render --list-programs --fxb mybank.fxb\n"
        "  --list-params         print the parameters with their display texts as a host shows them\n"
        "                        (after any settings given), then exit\n"
        "                          e.g. lumeric-render --list-params --program 72\n"
        "\n"
        "Processing:\n"
        "  --block N             samples per processing call (default 512; at 88.2 and 96 kHz an odd\n"
        "                        N is raised by one, as the engine needs even blocks there)\n"
        "                          e.g. lumeric-render mix.wav -o out.wav --block 64\n"
        "  --raw                 keep the effect's own timing: the output lags the input by the\n"
        "                        engine's path delay (0, 767, or about 1535 samples at 88.2/96 kHz)\n"
        "                        and has the input's length. By default the delay is removed and the\n"
        "                        output is aligned with the input, with the same length.\n"
        "                          e.g. lumeric-render mix.wav -o out.wav --raw\n"
        "  -j, --jobs N          files processed in parallel (default: the number of cores)\n"
        "                          e.g. lumeric-render *.wav -o out/ -j 2\n"
        "  -q, --quiet           no progress bar, notes or summary; errors only\n"
        "                          e.g. lumeric-render -q mix.wav -o out.wav\n"
        "\n"
        "Editor picture:\n"
        "  --snapshot FILE.png   after processing, draw the editor offscreen into a PNG (one input)\n"
        "  --snapshot-mode M     the analyser's mode in the picture: spectrum (default) or scope\n"
        "                          e.g. lumeric-render mix.wav -o out.wav --snapshot ed.png --snapshot-mode "
        "scope\n"
        "\n"
        "Other:\n"
        "  --make-demo FILE      synthesise a 10-second demo clip (drums, bass, chords; 44.1 kHz stereo)\n"
        "                          e.g. lumeric-render --make-demo demo.wav\n"
        "  -h, --help            this text\n"
        "\n"
        "At the end a summary per file gives integrated loudness (LUFS) and true peak (dBTP) before and\n"
        "after, and the speed; a true peak above 0 dBTP in the output is flagged. Outputs are written\n"
        "to a temporary file beside the target and renamed when complete.\n"
        "Exit status: 0 success, 2 any error (one line on standard error; nothing is written),\n"
        "130 interrupted (no partial file is left).\n",
        stream);
}
