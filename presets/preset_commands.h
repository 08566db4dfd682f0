// The file menu's preset commands: a file dialog, then the whole file moved through a program or bank image.
#pragma once

class CFrame;
class PxAudio;

// Loads a .fxp into the current program, which takes the file's name. False when cancelled, refused for
// its ending (with a message) or unreadable; then nothing changes.
bool loadProgramFile(PxAudio& effect, CFrame* frame);
// Loads a .fxb into the bank and makes program 0 current. False when nothing was loaded.
bool loadBankFile(PxAudio& effect, CFrame* frame);
// Save the current program or the bank; ".fxp"/".fxb" is appended unless the name ends in it. The file is
// written whole or not at all. False when cancelled or not written.
bool saveProgramFile(PxAudio& effect, CFrame* frame);
bool saveBankFile(PxAudio& effect, CFrame* frame);
