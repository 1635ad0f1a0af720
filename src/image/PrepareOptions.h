#pragma once
// What the page may ask of a picture prepared for upload. The defaults re-encode every
// picture at full size, JPEG at quality 100.
#include <cstdint>

namespace Vantor {

// What a JPEG made for upload carries of its source's metadata (never the file's own bytes,
// which go out as they are).
enum class MetadataKept {
    None,  // nothing: no EXIF, XMP, IPTC, colour profile or comment
    Safe,  // the date taken, camera make and model, exposure and the colour profile; no GPS
           // position, serial numbers, owner names or maker notes
    All,   // everything, with the orientation reset to 1 since the pixels are upright
};

struct PrepareOptions {
    int jpegQuality = 100;   // 1 to 100, whenever a picture is encoded as JPEG
    uint32_t maxWidth = 0;   // pixels; 0: no limit. A larger picture is shrunk to fit both
    uint32_t maxHeight = 0;
    bool sendOriginal = false;  // an untouched file that needs no change goes out as its own bytes
    // An untouched JPEG that needs no change (no shrinking, no turn) goes out as its own
    // compressed data without its metadata, instead of decoded and encoded again.
    bool keepJpegData = false;
    MetadataKept metadata = MetadataKept::None;
};

}  // namespace Vantor
