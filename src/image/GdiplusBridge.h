#pragma once
// Bridges between GDI+ bitmaps, the raster image and plain pixel rows.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "image/CxImage.h"
#include "image/Pixels.h"

namespace Vantor {

// A 24-bit image with an alpha plane equal to the bitmap's alpha (255 everywhere for a
// picture without alpha). Null when the bitmap cannot be read or is above the size ceiling.
std::unique_ptr<CxImage> CxImageFromBitmap(Gdiplus::Bitmap& bitmap);

// The back-conversion: a DIB section made by MakeBitmap, then a GDI+ bitmap from it (24-bit,
// no alpha). Null on failure. The GDI+ bitmap owns a copy; the DIB section is released here.
std::unique_ptr<Gdiplus::Bitmap> BitmapFromCxImage(const CxImage& image);

// The same, keeping transparency: a 32-bit ARGB bitmap when the alpha plane holds any pixel
// that is not opaque, otherwise the 24-bit bitmap above. Null on failure.
std::unique_ptr<Gdiplus::Bitmap> BitmapKeepingAlpha(const CxImage& image);

// A 32-bit ARGB bitmap holding a copy of the rows: red, green, blue (3 channels, opaque) or
// blue, green, red, alpha with the colours premultiplied (4 channels, made straight here).
// Null on failure.
std::unique_ptr<Gdiplus::Bitmap> BitmapFromPixels(const Pixels& pixels);

// The bitmap's pixels as blue, green, red, alpha rows with the colours premultiplied by
// alpha, so that resampling does not bleed the colour of transparent pixels into their
// neighbours. False on failure.
bool PremultipliedPixelsOf(Gdiplus::Bitmap& bitmap, Pixels& pixels);

}  // namespace Vantor
