// One effect shared by all inputs of a fuzzer, and the readers that every input is followed by.
#pragma once

#include <cstddef>
#include <cstdint>

class PxAudio;

// Built on first use with a host that answers nothing but its version.
PxAudio& effectUnderFuzz();

// Everything that consumes what an input may have stored: names into host-sized buffers, display texts,
// both image writers and a short block of audio with the stored parameter values.
void readEverythingBack(PxAudio& effect);
