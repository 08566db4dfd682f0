// Opening a web address in the user's browser.
#pragma once

// Launches xdg-open for an absolute URL (scheme ":" then no blanks or control characters); ignores anything
// else.
void showURL(const char* url);
// True when the text has the form of an absolute URL.
bool isAbsoluteUrl(const char* text);
