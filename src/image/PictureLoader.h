#pragma once
// Decoding picture files for one use: the size and thumbnail of a file when its record is
// made, and the whole picture when an upload, the editor or the preview needs it.
//
// Quarter turns are counted clockwise (0 to 3) and applied after decoding, so that a turned
// picture costs nothing while nobody looks at it. JPEG thumbnails come from libjpeg-turbo at
// a reduced DCT scale and are then area-averaged; every other format, and any JPEG that
// libjpeg cannot read cleanly, goes through GDI+.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <string>

namespace Vantor {

// Largest picture decoded: the raster image's ceiling (width x height x 3 bytes <= 2^28).
bool ExceedsPictureCeiling(uint32_t width, uint32_t height);

struct PictureSummary {
    bool decoded = false;  // the file holds a picture that can be decoded
    uint32_t width = 0;    // of the whole picture as turned
    uint32_t height = 0;
    std::shared_ptr<Gdiplus::Image> thumbnail;  // fitted into the box; null when not decoded
};

// Reads the file and makes its thumbnail fitted into boxWidth x boxHeight (FitSize); the
// whole picture is released before returning.
PictureSummary LoadThumbnail(const std::wstring& path, int quarterTurns, int boxWidth, int boxHeight);

// The whole picture decoded by GDI+ and turned; null when the file cannot be decoded or is
// above the ceiling. The caller holds it only for as long as the operation needs it.
std::shared_ptr<Gdiplus::Bitmap> LoadPicture(const std::wstring& path, int quarterTurns);

// A thumbnail of a picture already decoded (after an edit), turned and fitted.
std::shared_ptr<Gdiplus::Image> ThumbnailOf(Gdiplus::Bitmap& picture, int boxWidth, int boxHeight);

}  // namespace Vantor
