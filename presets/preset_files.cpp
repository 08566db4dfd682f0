#include "presets/preset_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool writeFileAtomically(const std::string& path, const unsigned char* data, size_t size) {
    std::string temporary = path + ".tmpXXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) return false;
    fchmod(fd, 0644);
    size_t done = 0;
    bool ok = true;
    while (done < size) {
        ssize_t written = write(fd, data + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(written);
    }
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) unlink(temporary.c_str());
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
