// The plug-in folder: where the loaded module lives, with a trailing "/".
#pragma once

#include <cstddef>

// Copies the folder path with its terminator; never writes more than size bytes (cut if needed).
void getPluginPath(char* buffer, size_t size);
