#pragma once
// EXIF blocks written byte by byte for the tests, and JPEG files carrying them.
#include <cstdint>
#include <string>
#include <vector>

namespace testpics {

struct ExifFields {
    bool littleEndian = true;
    int orientation = 0;          // 0: no orientation entry
    std::string dateTimeOriginal;  // empty: no Exif IFD
    std::vector<uint8_t> preview;  // a JPEG stored as the block's preview; empty: no IFD1
};

// The TIFF structure of an EXIF block: IFD0 with the orientation (SHORT) and the pointer to
// an Exif IFD holding DateTimeOriginal (ASCII, stored outside the entry), then IFD1 pointing
// at the preview (JPEGInterchangeFormat and its length) stored after it.
std::vector<uint8_t> ExifTiff(const ExifFields& fields);
// The JPEG with an APP1 "Exif" segment holding the block inserted right after its SOI.
std::vector<uint8_t> WithExif(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& tiff);

}  // namespace testpics
