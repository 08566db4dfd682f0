#include "support/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

mode_t creationMask() {
    static const mode_t mask = [] {
        const mode_t current = umask(0);
        umask(current);
        return current;
    }();
    return mask;
}

} // namespace

int createTemporaryBeside(const std::string& target, std::string* temporaryPath) {
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    // Hidden, so that a folder listing while a file is written shows only finished files.
    const std::string pattern = folder + "." + name + ".part-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    const int descriptor = mkstemp(buffer.data());
    if (descriptor < 0) return -1;
    // mkstemp makes the file private; the finished file gets the permissions any new file would.
    fchmod(descriptor, 0666 & ~creationMask());
    *temporaryPath = buffer.data();
    return descriptor;
}

bool commitTemporary(int descriptor, const std::string& temporaryPath, const std::string& target,
                     bool replace) {
    bool ok = fsync(descriptor) == 0;
    int code = errno;
    if (close(descriptor) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && replace) {
        ok = std::rename(temporaryPath.c_str(), target.c_str()) == 0;
        code = errno;
    } else if (ok) {
        // A hard link never replaces an existing name, so a file that appeared meanwhile survives.
        ok = link(temporaryPath.c_str(), target.c_str()) == 0;
        code = errno;
        if (ok) unlink(temporaryPath.c_str());
    }
    if (!ok) {
        unlink(temporaryPath.c_str());
        errno = code;
    }
    return ok;
}

void discardTemporary(int descriptor, const std::string& temporaryPath) {
    if (descriptor >= 0) close(descriptor);
    unlink(temporaryPath.c_str());
}

bool writeFileAtomically(const std::string& path, const unsigned char* data, size_t size) {
    std::string temporary;
    const int descriptor = createTemporaryBeside(path, &temporary);
    if (descriptor < 0) return false;
    for (size_t done = 0; done < size;) {
        const ssize_t written = write(descriptor, data + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            discardTemporary(descriptor, temporary);
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return commitTemporary(descriptor, temporary, path, true);
}
