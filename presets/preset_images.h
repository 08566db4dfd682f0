// Program (.fxp) and bank (.fxb) images in memory: big-endian, carrying the effect's ID.
#pragma once

#include <cstddef>
#include <cstdint>

class PxAudio;

constexpr size_t kProgramImageSize = 196;
constexpr size_t kBankImageSize = 25244;
constexpr size_t kProgramHeaderSize = 56; // a program image shorter than this is refused
constexpr size_t kBankHeaderSize = 156;   // likewise for a bank

// Writes the current program (names cut to 26 characters); buffer holds at least kProgramImageSize bytes.
void fxpSaveBytesToBuf(PxAudio& effect, unsigned char* buffer, size_t* size);
// Reads a program image of the given length into the current program. False, with nothing changed,
// for a wrong chunk magic, a foreign effect ID or an image shorter than its header.
bool fxpLoadBytesFromBuf(PxAudio& effect, const unsigned char* image, size_t length);
// Writes all 128 programs; buffer holds at least kBankImageSize bytes.
void fxbSaveBytesToBuf(PxAudio& effect, unsigned char* buffer, size_t* size);
// Reads a bank image into the programs and makes program 0 current. False as for a program image.
bool fxbLoadBytesFromBuf(PxAudio& effect, const unsigned char* image, size_t length);
