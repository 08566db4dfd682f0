// A picture of the editor as it looks after processing, drawn offscreen (no X server) into a PNG file.
#pragma once

#include <string>

#include "options.h"

class PxAudio;

// False with a one-line message when the picture cannot be made or written.
bool writeEditorSnapshot(PxAudio& effect, SnapshotMode mode, const std::string& path, std::string* error);
