#pragma once
// JPEG decoding through libjpeg-turbo at a reduced DCT scale, for thumbnails.
//
// This header and its source stay free of <windows.h>: the library's `boolean` is an int,
// the platform headers' is an unsigned char, and the two must never meet in one unit.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Vantor::Jpeg {

struct Header {
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 0;
};

// Reads the frame header only. False for anything that is not a readable JPEG.
bool ReadHeader(const uint8_t* data, size_t size, Header& header);

struct Scaled {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;  // top-down rows of red, green, blue, no padding
};

// Decodes at the smallest scale M/8 (M = 1..8) whose result is at least minWidth x
// minHeight. Grey and colour pictures only (CMYK is left to the platform decoder). Fails on
// any error and on any warning (corrupt or truncated data), so that a damaged file is never
// shown as a half-grey picture.
bool DecodeScaled(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight, Scaled& out);

}  // namespace Vantor::Jpeg
