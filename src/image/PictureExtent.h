#pragma once
// The largest size a picture file can decode to, read from the file's own structures before
// any decoder sees it. Every place a decoder may take a size from counts: for TIFF each copy
// of a repeated width or height tag in the first directory, for ICO each entry's directory
// size and the header of the image it holds, for GIF the screen and every frame's extent.
// Content in any other format (metafiles, BigTIFF, anything unrecognised) has no extent:
// the decoders are not trusted with what the check cannot size.
#include <cstddef>
#include <cstdint>

namespace Vantor {

enum class ExtentCheck {
    Known,    // width and height hold the largest extent
    Unknown,  // not a format sized here
    Damaged,  // a known format whose structures are cut short or make no sense
};

struct PictureExtent {
    uint32_t width = 0;
    uint32_t height = 0;
};

ExtentCheck ReadPictureExtent(const uint8_t* data, size_t size, PictureExtent& extent);

}  // namespace Vantor
