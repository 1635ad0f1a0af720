#include "editor/CanvasPlacement.h"

#include <algorithm>
#include <cmath>

namespace Vantor {

namespace {

LONG Scaled(LONG extent, double scale) { return std::max<LONG>(1, std::lround(extent * scale)); }

LONG AxisOffset(LONG canvas, LONG shown, LONG scroll) { return shown < canvas ? (canvas - shown) / 2 : -scroll; }

LONG ToPictureAxis(LONG value, LONG offset, double scale, LONG limit)
{
    const LONG p = std::lround((value - offset) / scale);
    return std::clamp<LONG>(p, 0, limit);
}

}  // namespace

double CanvasPlacement::FitScale(SIZE picture, SIZE canvas)
{
    if (picture.cx <= 0 || picture.cy <= 0 || canvas.cx <= 0 || canvas.cy <= 0)
        return 1.0;
    const double sx = static_cast<double>(canvas.cx) / picture.cx;
    const double sy = static_cast<double>(canvas.cy) / picture.cy;
    return std::min(1.0, std::min(sx, sy));
}

SIZE CanvasPlacement::Shown() const { return SIZE{Scaled(picture.cx, scale), Scaled(picture.cy, scale)}; }

POINT CanvasPlacement::Offset() const
{
    const SIZE shown = Shown();
    return POINT{AxisOffset(canvas.cx, shown.cx, scroll.x), AxisOffset(canvas.cy, shown.cy, scroll.y)};
}

RECT CanvasPlacement::ShownRect() const
{
    const POINT o = Offset();
    const SIZE s = Shown();
    return RECT{o.x, o.y, o.x + s.cx, o.y + s.cy};
}

POINT CanvasPlacement::MaxScroll() const
{
    const SIZE s = Shown();
    return POINT{std::max<LONG>(0, s.cx - canvas.cx), std::max<LONG>(0, s.cy - canvas.cy)};
}

RECT CanvasPlacement::ToPicture(const RECT& r) const
{
    const POINT o = Offset();
    RECT p{ToPictureAxis(std::min(r.left, r.right), o.x, scale, picture.cx),
           ToPictureAxis(std::min(r.top, r.bottom), o.y, scale, picture.cy),
           ToPictureAxis(std::max(r.left, r.right), o.x, scale, picture.cx),
           ToPictureAxis(std::max(r.top, r.bottom), o.y, scale, picture.cy)};
    return p;
}

RECT CanvasPlacement::ToCanvas(const RECT& r) const
{
    const POINT o = Offset();
    return RECT{o.x + std::lround(r.left * scale), o.y + std::lround(r.top * scale),
                o.x + std::lround(r.right * scale), o.y + std::lround(r.bottom * scale)};
}

}  // namespace Vantor
