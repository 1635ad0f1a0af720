#pragma once
// The EXIF facts the system uses, read from the file's own bytes (the platform decoder
// exposes none): how the camera held the picture, and when it was taken (ExifDate.h turns
// the dates into moments for sorting).
//
// A JPEG carries its EXIF block in an APP1 segment ("Exif\0\0" then a TIFF structure); a
// TIFF file is that structure itself. Everything is bounds-checked: a damaged or hostile
// block gives the defaults, never a read outside the bytes.
#include <cstddef>
#include <cstdint>
#include <string>

namespace Vantor::Exif {

// How the stored pixels become the picture as seen: mirror left-right first (when mirror is
// set), then turn clockwise by the given number of quarter turns.
struct Placement {
    bool mirror = false;
    int quarterTurns = 0;  // clockwise, 0 to 3

    bool Swaps() const { return quarterTurns % 2 == 1; }  // width and height change places
    // This placement followed by more clockwise quarter turns (the user's turns on top).
    Placement Turned(int clockwise) const;
    bool IsIdentity() const { return !mirror && quarterTurns == 0; }
};

// The placement for an EXIF orientation value (1 to 8); anything else is treated as 1.
Placement PlacementOf(int orientation);

struct Info {
    int orientation = 1;           // 1 to 8; 1 when absent or invalid
    std::string dateTimeOriginal;  // "YYYY:MM:DD HH:MM:SS" when present and well formed
    std::string dateTime;          // IFD0's DateTime (last change, or the only date some cameras write), alike
    // The JPEG preview the camera stored with the picture (IFD1's JPEGInterchangeFormat), as
    // an offset into the bytes read and its length; length 0 when there is none, or when it
    // does not lie wholly inside the EXIF block.
    size_t previewOffset = 0;
    size_t previewLength = 0;
};

// From the bytes of a JPEG or TIFF file (or its first part: the EXIF block sits near the
// start of a JPEG). Defaults for anything else.
Info Read(const uint8_t* data, size_t size);

// From a file, reading only its first part. Defaults when it cannot be read.
Info ReadFile(const std::wstring& path);

}  // namespace Vantor::Exif
