#include "ui/Drawing.h"

#include "platform/Handles.h"

using Vantor::GdiObject;
using Vantor::SelectObjectScope;

void DrawTextIn(HDC dc, const RECT& rect, std::wstring_view text, COLORREF color, HFONT font, UINT format)
{
    if (!dc || text.empty())
        return;
    const HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(dc, color);
    RECT r = rect;
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r, format);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    if (oldFont)
        SelectObject(dc, oldFont);
}

void DrawBox(HDC dc, COLORREF fill, COLORREF border, const RECT& rect)
{
    GdiObject<HBRUSH> brush(CreateSolidBrush(fill));
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, border));
    SelectObjectScope selectBrush(dc, brush.get());
    SelectObjectScope selectPen(dc, pen.get());
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color)
{
    GdiObject<HBRUSH> brush(CreateSolidBrush(color));
    FillRect(dc, &rect, brush.get());
}

void FrameSolid(HDC dc, const RECT& rect, COLORREF color)
{
    GdiObject<HBRUSH> brush(CreateSolidBrush(color));
    FrameRect(dc, &rect, brush.get());
}

void FrameDouble(HDC dc, const RECT& rect, int width, COLORREF color)
{
    FrameSolid(dc, rect, color);
    RECT inner = rect;
    InflateRect(&inner, 1 - width, 1 - width);
    FrameSolid(dc, inner, color);
}

void DrawLine(HDC dc, COLORREF color, POINT from, POINT to)
{
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, color));
    SelectObjectScope selectPen(dc, pen.get());
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
}

void GradientBox(HDC dc, const RECT& rect, COLORREF start, COLORREF end)
{
    TRIVERTEX vertices[2] = {
        {rect.left, rect.top, static_cast<COLOR16>(GetRValue(start) << 8),
         static_cast<COLOR16>(GetGValue(start) << 8), static_cast<COLOR16>(GetBValue(start) << 8), 0},
        {rect.right, rect.bottom, static_cast<COLOR16>(GetRValue(end) << 8),
         static_cast<COLOR16>(GetGValue(end) << 8), static_cast<COLOR16>(GetBValue(end) << 8), 0},
    };
    GRADIENT_RECT gradient{0, 1};
    GdiGradientFill(dc, vertices, 2, &gradient, 1, GRADIENT_FILL_RECT_V);
}

SIZE MeasureText(HDC dc, const wchar_t* text, int length, HFONT font)
{
    SIZE size{};
    if (!dc || !text || length <= 0)
        return size;
    const HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    GetTextExtentPoint32W(dc, text, length, &size);
    if (oldFont)
        SelectObject(dc, oldFont);
    return size;
}

HBITMAP CreateTopDownDib(int width, int height, void** bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bits)
        *bits = bitmap ? pixels : nullptr;
    return bitmap;
}
