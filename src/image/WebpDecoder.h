#pragma once
// WebP decoding through libwebp: still pictures, and the first frame of an animation as it
// shows on its canvas.
#include <cstddef>
#include <cstdint>

#include "image/PictureCodecs.h"

namespace Vantor::Webp {

bool ReadSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height);
Codecs::Outcome Decode(const uint8_t* data, size_t size, Pixels& out);

}  // namespace Vantor::Webp
