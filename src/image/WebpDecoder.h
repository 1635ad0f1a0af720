#pragma once
// WebP decoding through libwebp: still pictures, and the first frame of an animation as it
// shows on its canvas.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/PictureCodecs.h"

namespace Vantor::Webp {

bool ReadSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height);
Codecs::Outcome Decode(const uint8_t* data, size_t size, Pixels& out);

// A still picture decoded straight to a small size (the library averages while it decodes):
// its longer side twice `minLongSide`, aspect kept; `width` and `height` give the whole
// picture's size. False when that is no smaller than the picture, for an animation, and when
// the decode fails.
bool DecodeSmall(const uint8_t* data, size_t size, uint32_t minLongSide, Pixels& out, uint32_t& width,
                 uint32_t& height);

// The EXIF chunk (the TIFF structure, an "Exif\0\0" prefix removed) and the ICC profile
// chunk, each left empty when absent.
void ReadMetadata(const uint8_t* data, size_t size, std::vector<uint8_t>& exif, std::vector<uint8_t>& icc);

}  // namespace Vantor::Webp
