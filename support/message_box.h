// Modal message boxes through the desktop's dialog program (zenity, else kdialog, else standard error).
#pragma once

#include <cstdint>

enum MessageBoxStyle : int8_t { kBoxQuestion = 0, kBoxCritical = 1, kBoxInformational = 2 };

// Returns 1 when the first button was chosen, 0 otherwise. Waits for the answer.
int32_t showMessageBox(const char* title, const char* message, const char* button1, const char* button2,
                       int8_t style);
// An informational box with the single button "Ok"; printf-style message.
int32_t showMessageBox_OK(const char* title, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A question with "Yes" (default) and "No"; true for "Yes".
bool MessBoxYesNo(const char* title, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Shows an informational box without waiting for it: safe on the audio thread (no allocation, no lock).
void showMessageBoxDetached(const char* title, const char* message);
