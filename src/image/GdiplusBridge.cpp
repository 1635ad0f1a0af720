// Bridges between GDI+ bitmaps and the raster image.
#include "image/GdiplusBridge.h"

#include "platform/Handles.h"

namespace Vantor {

std::unique_ptr<CxImage> CxImageFromBitmap(Gdiplus::Bitmap& bitmap)
{
    const UINT width = bitmap.GetWidth();
    const UINT height = bitmap.GetHeight();
    if (width == 0 || height == 0)
        return nullptr;
    // The size ceiling is checked before GDI+ is asked for a 32-bit copy of the pixels.
    if (static_cast<float>(width) * static_cast<float>(height) * 3.0f > CxImage::kMaxMemory)
        return nullptr;
    Gdiplus::Rect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data{};
    if (bitmap.LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return nullptr;
    auto image = std::make_unique<CxImage>();
    bool ok = false;
    if (data.Stride > 0 && data.Scan0)
        ok = image->CreateFromArray(static_cast<const uint8_t*>(data.Scan0), width, height, 32,
                                    static_cast<uint32_t>(data.Stride), true);
    bitmap.UnlockBits(&data);
    if (!ok)
        return nullptr;
    return image;
}

std::unique_ptr<Gdiplus::Bitmap> BitmapFromCxImage(const CxImage& image)
{
    GdiObject<HBITMAP> dib(image.MakeBitmap(nullptr, false));
    if (!dib)
        return nullptr;
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(dib.get(), static_cast<HPALETTE>(nullptr));
    if (bitmap->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    return bitmap;
}

}  // namespace Vantor
