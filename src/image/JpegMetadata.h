#pragma once
// The metadata a JPEG sent for upload carries of its source, as the page's "Metadata" asks:
// read from a JPEG's segments (or handed over by another format's decoder), filtered, and
// written into the JPEG that goes out, be it a new encode or the source's own compressed data.
//
// What goes out for each choice (MetadataKept):
//   None: no metadata segment at all (JFIF and Adobe, which say how the picture is coded, stay
//         in a file's own data).
//   Safe: an EXIF block of the safe facts (Exif::SafeBlock) and the ICC colour profile.
//   All:  the EXIF block with its orientation reset to 1 (Exif::ResetPlacement), the colour
//         profile, and every other metadata segment (XMP with its orientation reset too, IPTC,
//         comments, other applications'), but never a multi-picture index, whose offsets would
//         point into the wrong file.
//
// Free of <windows.h>, like the decoder.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/PrepareOptions.h"

namespace Vantor::Jpeg {

struct SourceMetadata {
    std::vector<uint8_t> exif;  // the TIFF structure, without its "Exif\0\0" prefix
    std::vector<uint8_t> icc;   // the whole colour profile
    // Whole segments (marker, length, payload) of other metadata, in file order: XMP, IPTC,
    // comments, other applications' blocks.
    std::vector<std::vector<uint8_t>> others;

    bool empty() const { return exif.empty() && icc.empty() && others.empty(); }
};

// From a JPEG's segments before its first scan. The colour profile only when all its chunks
// are there; the first EXIF block only.
SourceMetadata ReadMetadata(const uint8_t* data, size_t size);

// The segments, one after another, that carry what `kept` keeps into a JPEG of width x
// height. Empty for None, or when nothing is kept. A block too large for one segment is left out.
std::vector<uint8_t> MetadataSegments(const SourceMetadata& source, MetadataKept kept, uint32_t width,
                                      uint32_t height);

// Puts the segments into an encoded JPEG after its start (and its JFIF segment when that comes
// first). False, and the file unchanged, when it does not start as a JPEG.
bool InsertSegments(std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& segments);

// A JPEG file's own compressed data with only the metadata `kept` keeps: the frame, the
// tables and the entropy-coded data copied byte for byte. False (and `out` empty) when the
// segments before the first scan are not well formed.
bool WithMetadata(const uint8_t* data, size_t size, MetadataKept kept, std::vector<uint8_t>& out);

// WithMetadata keeping none.
bool WithoutMetadata(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

}  // namespace Vantor::Jpeg
