// Program (.fxp) and bank (.fxb) images in memory: big-endian, carrying the effect's ID.
#pragma once

#include <cstddef>
#include <cstdint>

class PxAudio;

constexpr size_t kProgramImageSize = 196;
constexpr size_t kBankImageSize = 25244;
constexpr size_t kProgramHeaderSize = 56; // a program image shorter than this is refused
constexpr size_t kBankHeaderSize = 156;   // likewise for a bank
// A session's state: a small head (magic, version, current program) followed by the whole bank image.
constexpr size_t kStateHeaderSize = 12;
constexpr size_t kStateImageSize = kStateHeaderSize + kBankImageSize;

// Writes the current program (names cut to 26 characters); buffer holds at least kProgramImageSize bytes.
void fxpSaveBytesToBuf(PxAudio& effect, unsigned char* buffer, size_t* size);
// Reads a program image of the given length into the current program. False, with nothing changed,
// for a wrong chunk magic, a foreign effect ID or an image shorter than its header.
bool fxpLoadBytesFromBuf(PxAudio& effect, const unsigned char* image, size_t length);
// Writes all 128 programs; buffer holds at least kBankImageSize bytes.
void fxbSaveBytesToBuf(PxAudio& effect, unsigned char* buffer, size_t* size);
// Reads a bank image into the programs and makes program 0 current. False as for a program image.
bool fxbLoadBytesFromBuf(PxAudio& effect, const unsigned char* image, size_t length);
// Writes the bank and the current program; buffer holds at least kStateImageSize bytes.
void stateSaveBytesToBuf(PxAudio& effect, unsigned char* buffer);
// Restores a state image: the bank, then the current program. All or nothing: false, with nothing changed,
// unless the image is complete, of this version and of this effect, with every record whole.
bool stateLoadBytesFromBuf(PxAudio& effect, const unsigned char* image, size_t length);
