// Bridges between GDI+ bitmaps and the raster image.
#include "image/GdiplusBridge.h"

#include "platform/Handles.h"

#include <algorithm>

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

std::unique_ptr<Gdiplus::Bitmap> BitmapKeepingAlpha(const CxImage& image)
{
    if (!image.IsValid())
        return nullptr;
    const uint32_t width = image.GetWidth();
    const uint32_t height = image.GetHeight();
    bool transparent = false;
    if (image.AlphaIsValid()) {
        const uint8_t* alpha = image.AlphaGetPointer();
        const size_t count = static_cast<size_t>(width) * height;
        transparent = std::any_of(alpha, alpha + count, [](uint8_t a) { return a != 255; });
    }
    if (!transparent || image.GetBpp() != 24)
        return BitmapFromCxImage(image);
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(width), static_cast<INT>(height),
                                                    PixelFormat32bppARGB);
    if (bitmap->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    Gdiplus::Rect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data{};
    if (bitmap->LockBits(&rect, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return nullptr;
    // Stored rows run bottom-up, GDI+ scan lines top-down.
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t stored = height - 1 - y;
        const uint8_t* in = image.GetBits(stored);
        const uint8_t* alpha = image.AlphaGetPointer(0, stored);
        uint8_t* out = static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
        for (uint32_t x = 0; x < width; ++x, in += 3, out += 4) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = alpha[x];
        }
    }
    bitmap->UnlockBits(&data);
    return bitmap;
}

std::unique_ptr<Gdiplus::Bitmap> BitmapFromPixels(const Pixels& pixels)
{
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(pixels.width), static_cast<INT>(pixels.height),
                                                    PixelFormat32bppARGB);
    if (bitmap->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    Gdiplus::Rect rect(0, 0, static_cast<INT>(pixels.width), static_cast<INT>(pixels.height));
    Gdiplus::BitmapData data{};
    if (bitmap->LockBits(&rect, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return nullptr;
    for (uint32_t y = 0; y < pixels.height; ++y) {
        const uint8_t* in = pixels.row(y);
        uint8_t* out = static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
        for (uint32_t x = 0; x < pixels.width; ++x, in += pixels.channels, out += 4) {
            if (pixels.channels == 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                out[3] = 255;
            } else {
                const uint32_t a = in[3];
                for (int c = 0; c < 3; ++c)
                    out[c] = a == 0 ? 0 : static_cast<uint8_t>(std::min<uint32_t>(255, (in[c] * 255u + a / 2) / a));
                out[3] = static_cast<uint8_t>(a);
            }
        }
    }
    bitmap->UnlockBits(&data);
    return bitmap;
}

bool PremultipliedPixelsOf(Gdiplus::Bitmap& bitmap, Pixels& pixels)
{
    const UINT width = bitmap.GetWidth(), height = bitmap.GetHeight();
    Gdiplus::Rect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data{};
    if (bitmap.LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return false;
    bool ok = true;
    try {
        pixels.width = width;
        pixels.height = height;
        pixels.channels = 4;
        pixels.data.resize(size_t(width) * height * 4);
        for (UINT y = 0; y < height; ++y) {
            const uint8_t* in = static_cast<const uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
            uint8_t* out = pixels.row(y);
            for (UINT x = 0; x < width; ++x, in += 4, out += 4) {
                const uint32_t a = in[3];
                for (int c = 0; c < 3; ++c)
                    out[c] = static_cast<uint8_t>((in[c] * a + 127) / 255);
                out[3] = static_cast<uint8_t>(a);
            }
        }
    } catch (...) {
        ok = false;
    }
    bitmap.UnlockBits(&data);
    return ok;
}

}  // namespace Vantor
