#pragma once
// GDI drawing helpers. Each creates and deletes its own GDI objects and restores whatever it
// selected into the device context.
#include <windows.h>

#include <string_view>

// DrawTextW into the rectangle with the font, the colour and a transparent background.
// A 32-bit top-down DIB section of that size (rows from the top, BGRA), or null; its pixels
// in *bits when asked.
HBITMAP CreateTopDownDib(int width, int height, void** bits = nullptr);

void DrawTextIn(HDC dc, const RECT& rect, std::wstring_view text, COLORREF color, HFONT font, UINT format);
// A filled rectangle with a 1-pixel border (GDI Rectangle: the border lies inside `rect`).
void DrawBox(HDC dc, COLORREF fill, COLORREF border, const RECT& rect);
void FillSolid(HDC dc, const RECT& rect, COLORREF color);
void FrameSolid(HDC dc, const RECT& rect, COLORREF color);
// Frames the rectangle, then again inflated by 1 - width on each side.
void FrameDouble(HDC dc, const RECT& rect, int width, COLORREF color);
void DrawLine(HDC dc, COLORREF color, POINT from, POINT to);
// Vertical gradient: `start` at the top, `end` at the bottom.
void GradientBox(HDC dc, const RECT& rect, COLORREF start, COLORREF end);
// The extent of the first `length` characters, with `font` selected when it is not null.
SIZE MeasureText(HDC dc, const wchar_t* text, int length, HFONT font);
inline SIZE MeasureText(HDC dc, std::wstring_view text, HFONT font)
{
    return MeasureText(dc, text.data(), static_cast<int>(text.size()), font);
}
