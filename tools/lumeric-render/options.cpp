#include "options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "editor/editor_scale.h"

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

bool fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

// Handlers shared by several options.
template <bool RenderOptions::*flag> bool setFlag(RenderOptions& options, const std::string&, std::string*) {
    options.*flag = true;
    return true;
}

template <RenderMode mode> bool setMode(RenderOptions& options, const std::string&, std::string*) {
    options.mode = mode;
    return true;
}

template <std::string RenderOptions::*field>
bool setText(RenderOptions& options, const std::string& value, std::string*) {
    options.*field = value;
    return true;
}

// One command-line option: how it is parsed and how --help describes it, kept together so the two agree.
struct Option {
    const char* heading; // starts a group of options in the help
    const char* longName;
    const char* shortName;
    const char* argument; // null: the option is a flag and takes no value
    const char* help;     // lines
    const char* examples; // one command line after "lumeric-render " per line
    bool (*apply)(RenderOptions& options, const std::string& value, std::string* error);
};

const Option kOptions[] = {
    {"Output:", "--output", "-o", "PATH",
     "the output file (one input) or an output folder (any number of inputs;\n"
     "created when missing; each output keeps its input's file name)",
     "mix.wav -o mix-enhanced.wav\n"
     "songs/*.flac -o enhanced/",
     [](RenderOptions& o, const std::string& v, std::string* e) {
         o.output = v;
         return !v.empty() || fail(e, "option -o needs a file or folder name");
     }},
    {nullptr, "--overwrite", nullptr, nullptr, "replace existing output files (never done otherwise)",
     "mix.wav -o mix-enhanced.wav --overwrite", setFlag<&RenderOptions::overwrite>},
    {nullptr, "--float", nullptr, nullptr, "write 32-bit float samples (WAV and AIFF)",
     "mix.wav -o mix-float.wav --float", setFlag<&RenderOptions::floatOutput>},
    {nullptr, "--bits", nullptr, "16|24",
     "write 16- or 24-bit integer samples (not OGG)\n"
     "Without either, the output keeps the input's format and sample rate;\n"
     "an output name ending in .wav, .aiff, .flac or .ogg picks that container.",
     "mix.flac -o mix16.flac --bits 16",
     [](RenderOptions& o, const std::string& v, std::string* e) {
         if (v != "16" && v != "24") return fail(e, "--bits " + v + ": expected 16 or 24");
         o.bits = std::atoi(v.c_str());
         return true;
     }},
    {"Settings (applied in this order: bank, program, program file, single values):", "--fxb", nullptr,
     "FILE", "load a bank file (.fxb) into the 128 programs; program 0 becomes current",
     "mix.wav -o out.wav --fxb mybank.fxb --program 3", setText<&RenderOptions::fxbPath>},
    {nullptr, "--program", nullptr, "N|NAME",
     "select a program by number (0..127), exact name, or a unique\n"
     "case-insensitive name prefix (default: program 0)",
     "mix.wav -o out.wav --program \"tone warm\"",
     [](RenderOptions& o, const std::string& v, std::string* e) {
         o.program = v;
         return !v.empty() || fail(e, "option --program needs a number or a name");
     }},
    {nullptr, "--fxp", nullptr, "FILE", "load a program file (.fxp) into the current program",
     "mix.wav -o out.wav --fxp warm.fxp", setText<&RenderOptions::fxpPath>},
    {nullptr, "--set", nullptr, "NAME=VALUE",
     "set one parameter (name as --list-params shows it, or its number);\n"
     "VALUE is 0..1 or a percentage; repeatable",
     "mix.wav -o out.wav --set Volume=0.6 --set Tone=65%",
     [](RenderOptions& o, const std::string& v, std::string* e) {
         if (v.find('=') == std::string::npos)
             return fail(e, "--set " + v + ": expected NAME=VALUE, e.g. --set Volume=0.6");
         o.settings.push_back(v);
         return true;
     }},
    {nullptr, "--list-programs", nullptr, nullptr, "print the 128 program numbers and names, then exit",
     "--list-programs --fxb mybank.fxb", setMode<RenderMode::ListPrograms>},
    {nullptr, "--list-params", nullptr, nullptr,
     "print the parameters with their display texts as a host shows them\n"
     "(after any settings given), then exit",
     "--list-params --program 72", setMode<RenderMode::ListParams>},
    {"Processing:", "--block", nullptr, "N",
     "samples per processing call (default 512; at 88.2 and 96 kHz an odd\n"
     "N is raised by one, as the engine needs even blocks there)",
     "mix.wav -o out.wav --block 64",
     [](RenderOptions& o, const std::string& v, std::string* e) {
         return parseInt(v, 1, 65536, &o.blockSize) ||
                fail(e, "--block " + v + ": expected a whole number of samples from 1 to 65536");
     }},
    {nullptr, "--raw", nullptr, nullptr,
     "keep the effect's own timing: the output lags the input by the\n"
     "engine's path delay (0, 767, or about 1535 samples at 88.2/96 kHz)\n"
     "and has the input's length. By default the delay is removed and the\n"
     "output is aligned with the input, with the same length.",
     "mix.wav -o out.wav --raw", setFlag<&RenderOptions::raw>},
    {nullptr, "--jobs", "-j", "N", "files processed in parallel (default: the number of cores)",
     "*.wav -o out/ -j 2",
     [](RenderOptions& o, const std::string& v, std::string* e) {
         return parseInt(v, 1, 1024, &o.jobs) ||
                fail(e, "-j " + v + ": expected a number of parallel files from 1 to 1024");
     }},
    {nullptr, "--quiet", "-q", nullptr, "no progress bar, notes or summary; errors only",
     "-q mix.wav -o out.wav", setFlag<&RenderOptions::quiet>},
    {"Editor picture:", "--snapshot", nullptr, "FILE.png",
     "after processing, draw the editor offscreen into a PNG (one input)",
     "mix.wav -o out.wav --snapshot ed.png",
     [](RenderOptions& o, const std::string& v, std::string* e) {
         o.snapshotPath = v;
         return !v.empty() || fail(e, "option --snapshot needs a file name");
     }},
    {nullptr, "--snapshot-mode", nullptr, "M",
     "the analyser's mode in the picture: spectrum (default) or scope",
     "mix.wav -o out.wav --snapshot ed.png --snapshot-mode scope",
     [](RenderOptions& o, const std::string& v, std::string* e) {
         if (v == "spectrum")
             o.snapshotMode = AnalyserMode::Spectrum;
         else if (v == "scope")
             o.snapshotMode = AnalyserMode::Scope;
         else
             return fail(e, "--snapshot-mode " + v + ": expected spectrum or scope");
         return true;
     }},
    {nullptr, "--snapshot-scale", nullptr, "S",
     "the editor's size in the picture: 1 (828 x 554, default), 1.25, 1.5,\n"
     "1.75 or 2 (1656 x 1108), as on a screen of that density",
     "mix.wav -o out.wav --snapshot ed.png --snapshot-scale 2",
     [](RenderOptions& o, const std::string& v, std::string* e) {
         char* end = nullptr;
         const double scale = std::strtod(v.c_str(), &end);
         if (!v.empty() && *end == 0 &&
             std::count(std::begin(kEditorScales), std::end(kEditorScales), scale)) {
             o.snapshotScale = scale;
             return true;
         }
         return fail(e, "--snapshot-scale " + v + ": expected 1, 1.25, 1.5, 1.75 or 2");
     }},
    {"Other:", "--make-demo", nullptr, "FILE",
     "synthesise a 10-second demo clip (drums, bass, chords; 44.1 kHz stereo)", "--make-demo demo.wav",
     [](RenderOptions& o, const std::string& v, std::string* e) {
         o.demoPath = v;
         o.mode = RenderMode::MakeDemo;
         return !v.empty() || fail(e, "option --make-demo needs a file name");
     }},
    {nullptr, "--help", "-h", nullptr, "this text", "--help", setMode<RenderMode::Help>},
};

const Option* findOption(const std::string& name) {
    for (const Option& option : kOptions)
        if (name == option.longName || (option.shortName && name == option.shortName)) return &option;
    return nullptr;
}

// Prints text, starting each of its lines after the first with indent.
void printLines(FILE* stream, const std::string& first, const char* text, const char* indent) {
    std::string out = first;
    for (const char* c = text; *c; ++c)
        out += *c == '\n' ? std::string("\n") + indent : std::string(1, *c);
    std::fprintf(stream, "%s\n", out.c_str());
}

} // namespace

bool parseOptions(int argc, char** argv, RenderOptions& options, std::string* error) {
    bool onlyInputs = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "-")
            return fail(error, "reading standard input is not supported; name an input file");
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
        const Option* attached =
            hasValue || argument.size() <= 2 ? nullptr : findOption(argument.substr(0, 2));
        if (attached && attached->argument) {
            name = argument.substr(0, 2);
            value = argument.substr(2);
            hasValue = true;
        }
        const Option* option = findOption(name);
        if (!option) return fail(error, "unknown option " + name + " (see --help)");
        if (!option->argument && hasValue) return fail(error, "option " + name + " takes no value");
        if (option->argument && !hasValue) {
            if (i + 1 >= argc) return fail(error, "option " + name + " needs a value (see --help)");
            value = argv[++i];
        }
        if (!option->apply(options, value, error)) return false;
    }
    if (options.floatOutput && options.bits != 0) return fail(error, "--float and --bits exclude each other");
    if (options.mode == RenderMode::Render && options.inputs.empty())
        return fail(error, "no input file given (see --help)");
    if (options.mode != RenderMode::Render && options.mode != RenderMode::Help && !options.inputs.empty())
        return fail(error, "unexpected input file " + options.inputs.front() + " with this option");
    if (options.mode == RenderMode::Render && !options.snapshotPath.empty() && options.inputs.size() > 1)
        return fail(error, "--snapshot takes one input file, not " + std::to_string(options.inputs.size()));
    return true;
}

void printHelp(FILE* stream) {
    std::fputs("usage: lumeric-render [OPTIONS] INPUT -o OUTPUT\n"
               "       lumeric-render [OPTIONS] INPUT... -o FOLDER\n"
               "       lumeric-render --list-programs | --list-params [SETTINGS]\n"
               "       lumeric-render --make-demo FILE\n"
               "\n"
               "Runs audio files through the Lumeric effect, as a host would, and writes the results.\n"
               "Reads and writes WAV, AIFF, FLAC and OGG. Mono files are processed as two equal channels\n"
               "and written back as mono; files with more than two channels are refused.\n",
               stream);
    for (const Option& option : kOptions) {
        if (option.heading) std::fprintf(stream, "\n%s\n", option.heading);
        std::string usage = option.shortName ? std::string(option.shortName) + ", " : std::string();
        usage += option.longName + (option.argument ? std::string(" ") + option.argument : std::string());
        usage.resize(std::max<size_t>(usage.size() + 1, 22), ' ');
        printLines(stream, "  " + usage, option.help, "                        ");
        const char* example = "                          e.g. lumeric-render ";
        printLines(stream, example, option.examples, example);
    }
    std::fputs(
        "\n"
        "At the end a summary per file gives integrated loudness (LUFS) and true peak (dBTP) before and\n"
        "after, and the speed; a true peak above 0 dBTP in the output is flagged. Outputs are written\n"
        "to a temporary file beside the target and renamed when complete.\n"
        "Exit status: 0 success, 2 any error (one line on standard error; nothing is written),\n"
        "130 interrupted (no partial file is left).\n",
        stream);
}
