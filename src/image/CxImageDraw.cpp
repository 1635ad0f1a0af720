// Painting the raster image with GDI: DIB sections and alpha compositing.
#include "image/CxImage.h"

#include "platform/Handles.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Vantor {

namespace {

// BITMAPINFO with room for a full palette.
struct DibInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

}  // namespace

HBITMAP CxImage::MakeBitmap(HDC dc, bool transparency) const
{
    if (!IsValid())
        return nullptr;
    UniqueMemoryDC ownDc;
    if (!dc) {
        ownDc.reset(CreateCompatibleDC(nullptr));
        dc = ownDc.get();
    }

    if (transparency && alpha_) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = static_cast<LONG>(width_);
        info.bmiHeader.biHeight = static_cast<LONG>(height_);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap || !bits)
            return bitmap;
        auto* out = static_cast<uint8_t*>(bits);
        for (uint32_t y = 0; y < height_; ++y)
            for (uint32_t x = 0; x < width_; ++x, out += 4) {
                const RGBQUAD c = GetPixelColor(x, y);
                out[0] = c.rgbBlue;
                out[1] = c.rgbGreen;
                out[2] = c.rgbRed;
                out[3] = c.rgbReserved;
            }
        return bitmap;
    }

    DibInfo info{};
    info.header = *GetInfoHeader();
    if (colors_)
        std::memcpy(info.colors, GetPalette(), 4u * colors_);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                                      nullptr, 0);
    if (bitmap && bits)
        std::memcpy(bits, GetBits(0), static_cast<size_t>(stride_) * height_);
    return bitmap;
}

bool CxImage::Draw(HDC dc, int32_t x, int32_t y, int32_t width, int32_t height) const
{
    if (!IsValid() || !dc)
        return false;
    const int32_t w = width < 0 ? static_cast<int32_t>(width_) : width;
    const int32_t h = height < 0 ? static_cast<int32_t>(height_) : height;
    if (w == 0 || h == 0)
        return true;

    const bool transparentIndex = bpp_ < 24 && bkIndex_ >= 0;
    const auto* info = reinterpret_cast<const BITMAPINFO*>(block_.get());
    if (!alpha_ && !transparentIndex) {
        if (w == static_cast<int32_t>(width_) && h == static_cast<int32_t>(height_)) {
            SetDIBitsToDevice(dc, x, y, width_, height_, 0, 0, 0, height_, GetBits(0), info, DIB_RGB_COLORS);
        } else {
            const int previous = SetStretchBltMode(dc, COLORONCOLOR);
            StretchDIBits(dc, x, y, w, h, 0, 0, width_, height_, GetBits(0), info, DIB_RGB_COLORS, SRCCOPY);
            SetStretchBltMode(dc, previous);
        }
        return true;
    }

    // Only the part of the target inside the clip box is composited.
    RECT clip{};
    if (GetClipBox(dc, &clip) == ERROR)
        return false;
    RECT target{x, y, x + w, y + h};
    RECT area{};
    if (!IntersectRect(&area, &target, &clip))
        return true;
    const int32_t areaW = area.right - area.left;
    const int32_t areaH = area.bottom - area.top;

    UniqueMemoryDC memory(CreateCompatibleDC(dc));
    if (!memory)
        return false;
    BITMAPINFO dibInfo{};
    dibInfo.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    dibInfo.bmiHeader.biWidth = areaW;
    dibInfo.bmiHeader.biHeight = areaH;  // bottom-up
    dibInfo.bmiHeader.biPlanes = 1;
    dibInfo.bmiHeader.biBitCount = 24;
    dibInfo.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject<HBITMAP> dib(CreateDIBSection(dc, &dibInfo, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits)
        return false;
    const uint32_t dibStride = ((areaW * 24 + 31) / 32) * 4;
    {
        SelectObjectScope select(memory.get(), dib.get());
        BitBlt(memory.get(), 0, 0, areaW, areaH, dc, area.left, area.top, SRCCOPY);
    }
    GdiFlush();

    const float scaleX = static_cast<float>(width_) / static_cast<float>(w);
    const float scaleY = static_cast<float>(height_) / static_cast<float>(h);
    const RGBQUAD* palette = GetPalette();
    std::vector<uint32_t> sourceColumn(areaW);
    for (int32_t i = 0; i < areaW; ++i) {
        const int32_t dx = area.left + i - x;
        sourceColumn[i] = std::min<uint32_t>(width_ - 1, static_cast<uint32_t>(static_cast<float>(dx) * scaleX));
    }
    auto* out = static_cast<uint8_t*>(bits);
    for (int32_t j = 0; j < areaH; ++j) {
        const int32_t dy = area.top + j - y;  // from the picture's top
        const uint32_t topRow = std::min<uint32_t>(height_ - 1, static_cast<uint32_t>(static_cast<float>(dy) * scaleY));
        const uint32_t sy = height_ - 1 - topRow;
        const uint8_t* row = GetBits(sy);
        const uint8_t* alphaRow = alpha_ ? alpha_.get() + static_cast<size_t>(sy) * width_ : nullptr;
        uint8_t* dst = out + static_cast<size_t>(areaH - 1 - j) * dibStride;
        for (int32_t i = 0; i < areaW; ++i, dst += 3) {
            const uint32_t sx = sourceColumn[i];
            uint8_t b, g, r;
            uint32_t a = alphaRow ? alphaRow[sx] : 255;
            if (bpp_ == 24) {
                b = row[3 * sx];
                g = row[3 * sx + 1];
                r = row[3 * sx + 2];
            } else {
                const uint8_t index = GetPixelIndex(sx, sy);
                if (transparentIndex && index == bkIndex_)
                    a = 0;
                b = palette[index].rgbBlue;
                g = palette[index].rgbGreen;
                r = palette[index].rgbRed;
            }
            if (a == 0)
                continue;
            if (a == 255) {
                dst[0] = b;
                dst[1] = g;
                dst[2] = r;
            } else {
                dst[0] = static_cast<uint8_t>((b * a + dst[0] * (255 - a)) >> 8);
                dst[1] = static_cast<uint8_t>((g * a + dst[1] * (255 - a)) >> 8);
                dst[2] = static_cast<uint8_t>((r * a + dst[2] * (255 - a)) >> 8);
            }
        }
    }
    SetDIBitsToDevice(dc, area.left, area.top, areaW, areaH, 0, 0, 0, areaH, bits, &dibInfo, DIB_RGB_COLORS);
    return true;
}

}  // namespace Vantor
