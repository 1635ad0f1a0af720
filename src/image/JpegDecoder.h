#pragma once
// JPEG decoding through libjpeg-turbo, at full size or a reduced DCT scale.
//
// This header and its source stay free of <windows.h>: the library's `boolean` is an int,
// the platform headers' is an unsigned char, and the two must never meet in one unit.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/Pixels.h"

namespace Vantor::Jpeg {

struct Header {
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 0;
    // Luma samples per chroma sample across and down: 1 and 1 for full colour detail (4:4:4),
    // 2 and 1 for 4:2:2, 2 and 2 for 4:2:0; 1 and 1 for grey pictures.
    int chromaStepX = 1;
    int chromaStepY = 1;
};

// Reads the frame header only. False for anything that is not a readable JPEG.
bool ReadHeader(const uint8_t* data, size_t size, Header& header);

// Decodes into red, green, blue rows at the smallest scale M/8 (M = 1..8) whose result is
// at least minWidth x minHeight (the full size when none is smaller). Grey and colour pictures only (CMYK is left to the platform decoder). Fails on
// any error and on any warning (corrupt or truncated data), so that a damaged file is never
// shown as a half-grey picture.
bool DecodeScaled(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight, Pixels& out);

}  // namespace Vantor::Jpeg
