#pragma once
// EXIF blocks made fit for a picture that is sent upright, possibly at another size: a block
// of the safe facts only, or the whole block with its orientation reset.
//
// A block here is the TIFF structure itself (byte order mark first), as a JPEG carries it
// after "Exif\0\0". Everything is bounds-checked; entries whose values run outside the block
// are left out, never read.
//
// Free of <windows.h>.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Vantor::Exif {

// A new block in the source's byte order holding only: the camera's make and model, the date
// and time (of the change, the taking and the digitising, with their offsets and fractions),
// the exposure (time, aperture, sensitivity, programme, bias, metering, light source, flash,
// focal length, lens make and model, white balance, scene type, zoom), the EXIF version, the
// colour space and the resolution. The orientation, when the source has one, becomes 1; the
// pixel dimensions, when it has them, become `width` x `height`. GPS position, serial
// numbers, owner and artist names, maker notes, user comments, unique ids and the thumbnail
// are never copied. Empty when the source is no TIFF structure or keeps none of these facts.
std::vector<uint8_t> SafeBlock(const uint8_t* tiff, size_t size, uint32_t width, uint32_t height);

// Resets the orientation to 1 and sets the pixel dimensions to `width` x `height` in place,
// where the block has them as a single integer; everything else is left as it is (maker
// notes keep their offsets). False when the bytes are no TIFF structure.
bool ResetPlacement(std::vector<uint8_t>& tiff, uint32_t width, uint32_t height);

}  // namespace Vantor::Exif
