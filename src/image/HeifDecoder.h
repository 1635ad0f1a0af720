#pragma once
// HEIF decoding through libheif: HEIC pictures (HEVC, through libde265) and AVIF pictures
// (AV1, through dav1d), grids of tiles included, with the container's rotation and mirror
// applied by the library.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/PictureCodecs.h"

namespace Vantor::Heif {

// The primary picture's size as seen.
bool ReadSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height);

// The primary picture, as seen.
Codecs::Outcome Decode(const uint8_t* data, size_t size, Pixels& out);

// The primary picture's first thumbnail item that has its aspect ratio (within a pixel of
// rounding) and a longer side of at least `minLongSide`, as seen; `width` and `height` give
// the primary picture's size as seen. False when none serves.
bool DecodeThumbnail(const uint8_t* data, size_t size, uint32_t minLongSide, Pixels& out, uint32_t& width,
                     uint32_t& height);

// The primary picture's first EXIF block (the TIFF structure, without the item's offset
// field or an "Exif\0\0" prefix) and its ICC profile, each left empty when absent.
void ReadMetadata(const uint8_t* data, size_t size, std::vector<uint8_t>& exif, std::vector<uint8_t>& icc);

}  // namespace Vantor::Heif
