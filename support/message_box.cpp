#include "support/message_box.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/subprocess.h"

namespace {

constexpr size_t kMessageSize = 1024; // formatted messages are cut to 1023 characters

void writeToStandardError(const char* title, const char* message) {
    // write(2) rather than stdio: no allocation and no lock, so the audio thread may use it too.
    const char* parts[] = {title ? title : "", ": ", message ? message : "", "\n"};
    for (const char* part : parts) {
        size_t length = std::strlen(part);
        while (length > 0) {
            ssize_t written = write(STDERR_FILENO, part, length);
            if (written <= 0) return;
            part += written;
            length -= static_cast<size_t>(written);
        }
    }
}

// The single-button dialog kind of each box style, for zenity and for kdialog.
struct DialogKind {
    const char* zenity;
    const char* kdialog;
};
DialogKind dialogKind(int8_t style) {
    switch (style) {
    case kBoxCritical:
        return {"--error", "--error"};
    case kBoxInformational:
        return {"--info", "--msgbox"};
    default:
        return {"--warning", "--sorry"};
    }
}

} // namespace

int32_t showMessageBox(const char* title, const char* message, const char* button1, const char* button2,
                       int8_t style) {
    if (style < kBoxQuestion || style > kBoxInformational) return 0;
    const std::string t = title ? title : "";
    const std::string m = message ? message : "";
    const std::string b1 = button1 ? button1 : "";
    const std::string b2 = button2 ? button2 : "";
    const bool twoButtons = !b2.empty();

    if (programOnPath("zenity")) {
        std::vector<std::string> argv = {"zenity", twoButtons ? "--question" : dialogKind(style).zenity,
                                         "--title=" + t, "--text=" + m, "--no-markup"};
        if (!b1.empty()) argv.push_back("--ok-label=" + b1);
        if (twoButtons) argv.push_back("--cancel-label=" + b2);
        ProgramResult result = runProgram(argv);
        if (result.launched) return result.exitStatus == 0 ? 1 : 0;
    }
    if (programOnPath("kdialog")) {
        std::vector<std::string> argv = {"kdialog", "--title", t};
        if (twoButtons) {
            argv.insert(argv.end(), {"--yesno", m, "--yes-label", b1, "--no-label", b2});
        } else {
            argv.insert(argv.end(), {dialogKind(style).kdialog, m});
        }
        ProgramResult result = runProgram(argv);
        if (result.launched) return result.exitStatus == 0 ? 1 : 0;
    }
    writeToStandardError(t.c_str(), m.c_str());
    return twoButtons ? 0 : 1; // nobody can answer a question here: "No"
}

int32_t showMessageBox_OK(const char* title, const char* format, ...) {
    char text[kMessageSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    return showMessageBox(title, text, "Ok", "", kBoxInformational);
}

bool MessBoxYesNo(const char* title, const char* format, ...) {
    char text[kMessageSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    return showMessageBox(title, text, "Yes", "No", kBoxQuestion) > 0;
}

void showMessageBoxDetached(const char* title, const char* message) {
    char titleArg[kMessageSize];
    char textArg[kMessageSize];
    std::snprintf(titleArg, sizeof(titleArg), "--title=%s", title);
    std::snprintf(textArg, sizeof(textArg), "--text=%s", message);
    const char* zenity[] = {"zenity", "--info", titleArg, textArg, "--no-markup", "--ok-label=Ok", nullptr};
    if (launchProgramDetached(zenity)) return;
    const char* kdialog[] = {"kdialog", "--title", title, "--msgbox", message, nullptr};
    if (launchProgramDetached(kdialog)) return;
    writeToStandardError(title, message);
}
