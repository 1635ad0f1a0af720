#pragma once
// Bridges between GDI+ bitmaps and the raster image.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "image/CxImage.h"

namespace Vantor {

// A 24-bit image with an alpha plane equal to the bitmap's alpha (255 everywhere for a
// picture without alpha). Null when the bitmap cannot be read or is above the size ceiling.
std::unique_ptr<CxImage> CxImageFromBitmap(Gdiplus::Bitmap& bitmap);

// The back-conversion: a DIB section made by MakeBitmap, then a GDI+ bitmap from it (24-bit,
// no alpha). Null on failure. The GDI+ bitmap owns a copy; the DIB section is released here.
std::unique_ptr<Gdiplus::Bitmap> BitmapFromCxImage(const CxImage& image);

}  // namespace Vantor
