#include "presets/preset_files.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr long kLargestPresetFile = 16L * 1024 * 1024;
}

bool readPresetFile(const std::string& path, std::vector<unsigned char>& bytes) {
    bytes.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long length = ok ? std::ftell(file) : -1;
    ok = ok && length >= 0 && length <= kLargestPresetFile && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(length));
        ok = length == 0 || std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    std::fclose(file);
    if (!ok) bytes.clear();
    return ok;
}

bool endsWithExtension(const std::string& path, const char* extension) {
    const size_t n = std::strlen(extension);
    return path.size() >= n && path.compare(path.size() - n, n, extension) == 0;
}

std::string withExtension(const std::string& path, const char* extension) {
    return endsWithExtension(path, extension) ? path : path + "." + extension;
}

std::string programNameFromPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    return file.size() <= 4 ? std::string() : file.substr(0, file.size() - 4);
}
