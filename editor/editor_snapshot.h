// A picture of the editor without any X server: its views built into an offscreen frame as the window
// would show them, drawn from the effect's current state and written as a PNG file.
#pragma once

#include <string>

#include "editor/analyser_mode.h"

class PxAudio;

// The scope's trails are drawn out to full length from the current feed; scale is one of the editor's sizes
// (the picture has scale pixels for each of the editor's). The PNG is written to a temporary file and
// renamed; false with a message on failure.
bool writeEditorSnapshot(PxAudio& effect, AnalyserMode mode, const std::string& pngPath, std::string* error,
                         double scale = 1.0);
