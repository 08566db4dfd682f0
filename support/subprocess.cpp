#include "support/subprocess.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Detached children waiting to be reaped; a slot holds 0 when free.
constexpr int kMaxDetached = 32;
std::atomic<pid_t> detachedChildren[kMaxDetached];

void rememberDetached(pid_t pid) {
    for (auto& slot : detachedChildren) {
        pid_t expected = 0;
        if (slot.compare_exchange_strong(expected, pid, std::memory_order_relaxed)) return;
    }
}

// Adding a file action allocates, and the audio thread launches programs too: the one list that every
// detached program needs (standard input from /dev/null) is built once, when the module is loaded.
struct StandardInputFromNull {
    posix_spawn_file_actions_t actions;
    bool ready = false;
    StandardInputFromNull() {
        ready = posix_spawn_file_actions_init(&actions) == 0 &&
                posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0;
    }
    ~StandardInputFromNull() { posix_spawn_file_actions_destroy(&actions); }
};
const StandardInputFromNull detachedActions;

} // namespace

bool programOnPath(const char* name) {
    if (!name || !*name) return false;
    if (std::strchr(name, '/')) return access(name, X_OK) == 0;
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string dirs(path);
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty()) dir = ".";
        std::string candidate = dir + "/" + name;
        struct stat info;
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

ProgramResult runProgram(const std::vector<std::string>& argv) {
    ProgramResult result;
    if (argv.empty()) return result;
    reapFinishedPrograms();

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return result;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = 0;
    int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (error != 0) {
        close(pipeFds[0]);
        return result;
    }
    result.launched = true;

    char buffer[4096];
    for (;;) {
        ssize_t got = read(pipeFds[0], buffer, sizeof(buffer));
        if (got > 0) {
            result.output.append(buffer, static_cast<size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    close(pipeFds[0]);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool launchProgramDetached(const char* const argv[]) {
    if (!argv || !argv[0]) return false;
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], detachedActions.ready ? &detachedActions.actions : nullptr,
                                   nullptr, const_cast<char* const*>(argv), environ);
    if (error != 0) return false;
    rememberDetached(pid);
    return true;
}

void reapFinishedPrograms() {
    for (auto& slot : detachedChildren) {
        pid_t pid = slot.load(std::memory_order_relaxed);
        if (pid <= 0) continue;
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD)) {
            pid_t expected = pid;
            slot.compare_exchange_strong(expected, 0, std::memory_order_relaxed);
        }
    }
}
