// The editor's sizes and where its size comes from: the host, the person's saved choice, the desktop.
#pragma once

#include <string>

// The sizes the editor offers, as factors of its size at 100 %, smallest first.
constexpr double kEditorScales[] = {1.0, 1.25, 1.5, 1.75, 2.0};
constexpr int kNumEditorScales = static_cast<int>(sizeof(kEditorScales) / sizeof(kEditorScales[0]));

// The smallest size at or above the factor (the largest for anything bigger); 0 when the factor is not a
// positive number.
double editorScaleAtOrAbove(double factor);

// $XDG_CONFIG_HOME/lumeric/editor.conf, else ~/.config/lumeric/editor.conf; empty without either folder.
std::string editorConfigPath();
// The size the person chose last; 0 when none was saved or the file does not name one of the sizes.
double savedEditorScale();
// Keeps the size for every editor opened from now on; false when the file could not be written.
bool saveEditorScale(double scale);

// The first that says something: the host's factor (0: none), the saved choice, the desktop's scale; else
// 100 %.
double resolveEditorScale(double hostFactor);
