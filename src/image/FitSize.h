#pragma once
// The shrink-only fit of a picture into a box, and thumbnails made with it.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

namespace Vantor {

struct FittedSize {
    int width;
    int height;
    float factor;  // 1 when the picture is not scaled
};

// A picture smaller than the box both ways (or exactly the box) keeps its size; otherwise
// its longer side is fitted to the box side in that direction (single precision, products
// truncated). With a box that is not square the other side may exceed its box side.
FittedSize FitSize(int width, int height, int boxWidth, int boxHeight);

// The picture fitted into the box: a 32-bit ARGB copy when it is not scaled, otherwise the
// platform's thumbnail at the fitted size. Null when the picture cannot be read.
std::shared_ptr<Gdiplus::Image> MakeThumbnail(Gdiplus::Bitmap& picture, int boxWidth, int boxHeight);

}  // namespace Vantor
