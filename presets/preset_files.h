// Whole-file reading of preset files, and the file-name rules of the preset commands.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Reads the whole file; false when it cannot be opened or read, or is larger than any preset (16 MiB).
bool readPresetFile(const std::string& path, std::vector<unsigned char>& bytes);
// True when the last three characters are the extension (case-sensitive, the dot is not looked at).
bool endsWithExtension(const std::string& path, const char* extension);
// Appends "." and the extension unless the path already ends in it.
std::string withExtension(const std::string& path, const char* extension);
// The file-name part of the path with its last four characters (".fxp") dropped.
std::string programNameFromPath(const std::string& path);
