#include "support/plugin_path.h"

#include <cstring>
#include <climits>
#include <cstdlib>
#include <dlfcn.h>

namespace {
// Any address inside this module locates the file it was loaded from.
void moduleAnchor() {}
} // namespace

void getPluginPath(char* buffer, size_t size) {
    if (!buffer || size == 0) return;
    buffer[0] = 0;
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&moduleAnchor), &info) == 0 || !info.dli_fname) return;
    // A relative name (a program started as ./name) is made absolute, so the folder stays right after a
    // chdir.
    char resolved[PATH_MAX];
    const char* path = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
    const char* slash = std::strrchr(path, '/');
    if (!slash) {
        if (size >= 3) std::memcpy(buffer, "./", 3);
        return;
    }
    size_t length = static_cast<size_t>(slash - path) + 1;
    if (length >= size) length = size - 1;
    std::memcpy(buffer, path, length);
    buffer[length] = 0;
}
