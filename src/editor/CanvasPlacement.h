#pragma once
// Where the shown picture sits on the editing canvas, and the one conversion between canvas
// points and picture pixels that both painting and cropping use.
//
// The picture is always edited at full resolution; the canvas only shows it at a scale (1
// for actual pixels, less when fitted). On each axis a shown picture narrower than the canvas
// is centred at (canvas - shown) / 2; a wider one starts at minus the scroll position.
#include <windows.h>

namespace Vantor {

struct CanvasPlacement {
    SIZE canvas{};   // client size of the canvas
    SIZE picture{};  // full-resolution size of the picture
    double scale = 1.0;
    POINT scroll{};  // scroll position in shown pixels

    // The scale that fits the picture into the canvas both ways; never above 1.
    static double FitScale(SIZE picture, SIZE canvas);

    SIZE Shown() const;   // the picture's size on the canvas (at least 1 x 1)
    POINT Offset() const;  // where its top-left corner sits on the canvas
    RECT ShownRect() const;
    // Largest scroll position on each axis (0 where the picture fits).
    POINT MaxScroll() const;

    // A canvas rectangle (normalised or not) in picture pixels, top-down, right and bottom
    // exclusive, clamped to the picture.
    RECT ToPicture(const RECT& canvasRect) const;
    // A picture rectangle on the canvas (the inverse, rounded the same way).
    RECT ToCanvas(const RECT& pictureRect) const;
};

}  // namespace Vantor
