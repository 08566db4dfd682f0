// Files that appear under their name complete or not at all: written to a unique temporary file beside the
// target, flushed to disk and then renamed over it. Two writers of one name never share a temporary file.
#pragma once

#include <cstddef>
#include <string>

// Creates a new, empty temporary file in the target's folder, named after the target, with the permissions
// any new file would get. Its descriptor, or -1 with errno set.
int createTemporaryBeside(const std::string& target, std::string* temporaryPath);

// Flushes the descriptor to disk, closes it and gives the temporary file the target's name. With replace
// false an existing target is kept and errno is EEXIST. On failure the temporary file is removed and errno
// tells why.
bool commitTemporary(int descriptor, const std::string& temporaryPath, const std::string& target,
                     bool replace);

// Closes the descriptor (when not -1) and removes the temporary file.
void discardTemporary(int descriptor, const std::string& temporaryPath);

// The whole file in one go, replacing any earlier one.
bool writeFileAtomically(const std::string& path, const unsigned char* data, size_t size);
