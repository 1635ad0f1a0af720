#pragma once
// A 32-bit top-down DIB section to paint into and read back pixel by pixel.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/Handles.h"
#include "ui/Drawing.h"

class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<const DWORD*>(bits);
        old_ = SelectObject(dc_.get(), bitmap_.get());
        RECT all{0, 0, width, height};
        FillSolid(dc_.get(), all, RGB(0, 0, 0));
    }
    ~Canvas() { SelectObject(dc_.get(), old_); }
    HDC dc() const { return dc_.get(); }
    int width() const { return width_; }
    int height() const { return height_; }
    void Clear(COLORREF color)
    {
        RECT all{0, 0, width_, height_};
        FillSolid(dc_.get(), all, color);
    }
    // Pixels that differ from `color` inside the rectangle.
    int CountOtherThan(const RECT& r, COLORREF color) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += At(x, y) != color;
        return n;
    }
    // Pixels within `tolerance` of `color` on every channel.
    int CountNear(const RECT& r, COLORREF color, int tolerance) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const COLORREF c = At(x, y);
                n += std::abs(GetRValue(c) - GetRValue(color)) <= tolerance &&
                     std::abs(GetGValue(c) - GetGValue(color)) <= tolerance &&
                     std::abs(GetBValue(c) - GetBValue(color)) <= tolerance;
            }
        return n;
    }
    // The darkest channel value inside the rectangle (255 for an empty one).
    int Darkest(const RECT& r) const
    {
        int darkest = 255;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const COLORREF c = At(x, y);
                darkest = std::min({darkest, int(GetRValue(c)), int(GetGValue(c)), int(GetBValue(c))});
            }
        return darkest;
    }
    int CountExactly(const RECT& r, COLORREF color) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += At(x, y) == color;
        return n;
    }
    // Writes the canvas as a 32-bit BMP (for looking at a failing case).
    bool Save(const char* path) const
    {
        GdiFlush();
        FILE* file = std::fopen(path, "wb");
        if (!file)
            return false;
        BITMAPINFOHEADER info{sizeof(info), width_, -height_, 1, 32, BI_RGB};
        const DWORD bytes = static_cast<DWORD>(width_ * height_ * 4);
        BITMAPFILEHEADER header{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(info) + bytes), 0, 0,
                                static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(info))};
        std::fwrite(&header, sizeof(header), 1, file);
        std::fwrite(&info, sizeof(info), 1, file);
        std::fwrite(bits_, bytes, 1, file);
        return std::fclose(file) == 0;
    }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        const DWORD p = bits_[y * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    int width_, height_;
    Vantor::UniqueMemoryDC dc_;
    Vantor::GdiObject<HBITMAP> bitmap_;
    const DWORD* bits_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

