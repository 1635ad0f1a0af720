#pragma once
// The moment a photo was taken, from its EXIF block (DateTimeOriginal, or the IFD0 DateTime
// when the camera wrote only that), as Exif.h reads it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace Vantor {

// Seconds since 1970 of the EXIF date in the JPEG bytes (the date as written, taken as UTC:
// cameras store local time without a zone, and only the order matters). Nothing when the
// bytes hold no JPEG, no EXIF block or no well-formed date.
std::optional<int64_t> ExifDateTaken(const uint8_t* data, size_t size);

// The same for a file: reads only its first part.
std::optional<int64_t> ExifDateTakenOfFile(const std::wstring& path);

}  // namespace Vantor
