#pragma once
// Whole-picture geometry on plain pixel rows: placing the stored pixels as the picture is
// seen (mirror and quarter turns), and shrinking with a good filter. Any number of channels;
// every channel is treated alike, so pictures with alpha must come premultiplied.
//
// Free of <windows.h>, like Pixels.h.
#include <cstdint>

#include "image/Exif.h"
#include "image/Pixels.h"

namespace Vantor {

// The pixels mirrored and turned as the placement says (a copy; the identity copies as is).
// False when memory is lacking.
bool PlacePixels(const Pixels& source, Exif::Placement placement, Pixels& out);

// The picture resampled to width x height with a Lanczos filter of three lobes, widened by
// the shrink factor so that fine detail is averaged rather than aliased. Meant for shrinking;
// enlarging works but interpolates only. False for a zero size or when memory is lacking.
bool ResizePixels(const Pixels& source, uint32_t width, uint32_t height, Pixels& out);

// A picture of width x height fitted into the limits (0 = none), shrink only, aspect kept,
// each side rounded to the nearest pixel and at least 1.
struct LimitedSize {
    uint32_t width;
    uint32_t height;
    bool shrunk;  // smaller than the picture
};
LimitedSize FitLimits(uint32_t width, uint32_t height, uint32_t maxWidth, uint32_t maxHeight);

}  // namespace Vantor
