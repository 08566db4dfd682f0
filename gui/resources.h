// Images embedded into the module at build time, looked up by resource ID.
#pragma once

#include <cstddef>

// The bytes of the PNG file resources/bmpNNNNN.png (scale 1) or its twice as fine bmpNNNNN@2x.png (scale 2),
// or null when no such resource exists.
const unsigned char* findResource(int id, size_t* size, int scale = 1);
