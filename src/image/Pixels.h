#pragma once
// Plain pixel rows: the form pictures take between a decoder, the geometry steps and an
// encoder when no platform bitmap is needed.
//
// Free of <windows.h> on purpose: the JPEG units (whose `boolean` differs from the
// platform's) use it too.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Vantor {

// Top-down rows without padding, `channels` bytes per pixel in the order the producer states
// (red, green, blue from the JPEG decoder; blue, green, red, alpha from the platform bitmaps).
struct Pixels {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t channels = 0;
    std::vector<uint8_t> data;

    size_t rowBytes() const { return size_t(width) * channels; }
    uint8_t* row(uint32_t y) { return data.data() + rowBytes() * y; }
    const uint8_t* row(uint32_t y) const { return data.data() + rowBytes() * y; }
    bool empty() const { return data.empty(); }
};

}  // namespace Vantor
