#include "editor/editor_scale.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "gui/x11_window.h"
#include "support/atomic_file.h"

namespace {

// A factor this close above a size is that size (1.2501 is 125 %, not 150 %).
constexpr double kTolerance = 0.005;

int percent(double scale) {
    return static_cast<int>(std::lround(scale * 100));
}

} // namespace

double editorScaleAtOrAbove(double factor) {
    if (!(factor > 0) || !std::isfinite(factor)) return 0;
    for (double scale : kEditorScales)
        if (factor <= scale + kTolerance) return scale;
    return kEditorScales[kNumEditorScales - 1];
}

std::string editorConfigPath() {
    // XDG_CONFIG_HOME counts only when it is an absolute path.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && configHome[0] == '/') return std::string(configHome) + "/lumeric/editor.conf";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config/lumeric/editor.conf";
    return "";
}

double savedEditorScale() {
    const std::string path = editorConfigPath();
    if (path.empty()) return 0;
    std::ifstream in(path);
    std::string line;
    for (int lines = 0; lines < 100 && std::getline(in, line); ++lines) {
        if (line.compare(0, 5, "size=") != 0) continue;
        const int wanted = std::atoi(line.c_str() + 5);
        for (double scale : kEditorScales)
            if (percent(scale) == wanted) return scale;
        return 0;
    }
    return 0;
}

bool saveEditorScale(double scale) {
    const std::string path = editorConfigPath();
    if (path.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (error) return false;
    const std::string text = "# Lumeric's editor size in percent: 100, 125, 150, 175 or 200\nsize=" +
                             std::to_string(percent(editorScaleAtOrAbove(scale))) + "\n";
    return writeFileAtomically(path, reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

double resolveEditorScale(double hostFactor) {
    if (const double host = editorScaleAtOrAbove(hostFactor)) return host;
    if (const double saved = savedEditorScale()) return saved;
    if (const double desktop = editorScaleAtOrAbove(desktopScaleFactor())) return desktop;
    return 1.0;
}
