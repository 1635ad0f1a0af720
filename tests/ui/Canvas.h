#pragma once
// A 32-bit top-down DIB section to paint into and read back pixel by pixel.
#include <windows.h>

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
    int CountExactly(const RECT& r, COLORREF color) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                n += At(x, y) == color;
        return n;
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

