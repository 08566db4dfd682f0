// The diagnostic log "LumericLog.txt" in the plug-in folder: restarted by each new instance, one line per
// call.
#pragma once

// Truncates the log and writes the creation date and time; silently does nothing when it can't be written.
void startLog();
// Appends one line; the file is opened and closed for every line so it is complete after a crash.
void printLog(const char* text);
