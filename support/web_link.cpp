#include "support/web_link.h"

#include <cctype>
#include <cstring>

#include "support/subprocess.h"

bool isAbsoluteUrl(const char* text) {
    if (!text || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
    constexpr size_t kLongestUrl = 4096;
    size_t i = 1;
    while (i < kLongestUrl && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '+' ||
                               text[i] == '-' || text[i] == '.'))
        ++i;
    if (text[i] != ':') return false;
    size_t rest = i + 1;
    if (text[rest] == 0) return false;
    for (size_t j = rest; text[j] != 0; ++j) {
        if (j >= kLongestUrl) return false;
        const unsigned char c = static_cast<unsigned char>(text[j]);
        if (c <= ' ' || c == 0x7f) return false;
    }
    return true;
}

void showURL(const char* url) {
    if (!isAbsoluteUrl(url)) return;
    const char* argv[] = {"xdg-open", url, nullptr};
    launchProgramDetached(argv);
}
