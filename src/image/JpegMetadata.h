#pragma once
// A JPEG file's own compressed data without its metadata: what goes out when an untouched
// photo needs no change, instead of a decode and a lossy encode.
//
// Removed: every application segment but APP0 (JFIF: pixel density) and APP14 (Adobe: how
// the colours are coded, which the picture cannot be read without), so EXIF (with the date,
// the camera, the GPS position and the maker notes), XMP, IPTC and the ICC profile go, and
// comments. The frame, the tables and the entropy-coded data are copied byte for byte.
//
// Free of <windows.h>, like the decoder.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Vantor::Jpeg {

// False (and `out` empty) when the segments before the first scan are not well formed.
bool WithoutMetadata(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

}  // namespace Vantor::Jpeg
