#include "support/diagnostic_log.h"

#include <cstdio>
#include <ctime>
#include <limits.h>

#include "support/plugin_path.h"

namespace {
bool logFilePath(char* path, size_t size) {
    char folder[PATH_MAX];
    getPluginPath(folder, sizeof(folder));
    if (!folder[0]) return false;
    int written = std::snprintf(path, size, "%sLumericLog.txt", folder);
    return written > 0 && static_cast<size_t>(written) < size;
}
} // namespace

void startLog() {
    char path[PATH_MAX + 32];
    if (!logFilePath(path, sizeof(path))) return;
    FILE* file = std::fopen(path, "w+");
    if (!file) return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::fprintf(file, "Logfile created on %d %d %d\n", local.tm_mday, local.tm_mon + 1,
                 local.tm_year + 1900);
    std::fprintf(file, "%d:%d:%d\n", local.tm_hour, local.tm_min, local.tm_sec);
    std::fclose(file);
}

void printLog(const char* text) {
    char path[PATH_MAX + 32];
    if (!text || !logFilePath(path, sizeof(path))) return;
    FILE* file = std::fopen(path, "a+");
    if (!file) return;
    std::fseek(file, 0, SEEK_END);
    std::fputs(text, file);
    std::fputc('\n', file);
    std::fclose(file);
}
