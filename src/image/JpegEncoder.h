#pragma once
// JPEG encoding through libjpeg-turbo, at the quality asked (the platform encoder under Wine
// ignores it). The file holds the picture only: no EXIF block, so no orientation tag.
//
// Free of <windows.h>, like the decoder: the library's `boolean` differs from the platform's.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Vantor::Jpeg {

// How the pixels are laid out in memory.
enum class Layout {
    Rgb,   // red, green, blue
    Bgra,  // blue, green, red, and a fourth byte that is ignored
};

// Colour detail kept: luma samples per chroma sample across and down (1 and 1 keep it all).
struct ChromaStep {
    int x = 2;
    int y = 2;
};

// The step used when the source says nothing: all colour detail at quality 90 and above.
ChromaStep DefaultChromaStep(int quality);

// Encodes top-down rows (`stride` bytes apart, negative for rows stored upwards) at the
// quality (clamped to 1..100). False on any failure, and when `stop` is set (looked at for
// every row); `out` is then empty.
bool Encode(const uint8_t* pixels, uint32_t width, uint32_t height, ptrdiff_t stride, Layout layout, int quality,
            ChromaStep chroma, std::vector<uint8_t>& out, const std::atomic<bool>* stop = nullptr);

}  // namespace Vantor::Jpeg
