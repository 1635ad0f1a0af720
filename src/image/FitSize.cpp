// The shrink-only fit rule and the platform thumbnail.
#include "image/FitSize.h"

#include <algorithm>
#include <memory>

namespace Vantor {

FittedSize FitSize(int width, int height, int boxWidth, int boxHeight)
{
    if ((width < boxWidth && height < boxHeight) || (width == boxWidth && height == boxHeight))
        return {width, height, 1.0f};
    const int longer = std::max(width, height);
    if (longer <= 0)
        return {width, height, 1.0f};
    // Stored through memory so that the factor really is single precision on the x87 unit.
    volatile float rounded = height > width ? static_cast<float>(boxHeight) / static_cast<float>(longer)
                                        : static_cast<float>(boxWidth) / static_cast<float>(longer);
    const float factor = rounded;
    // The factor is single precision; the products are formed wider before truncation, so
    // 4000 x 3000 into 120 gives 119 x 89 (0.03f is a little below 0.03).
    return {static_cast<int>(static_cast<double>(width) * factor),
            static_cast<int>(static_cast<double>(height) * factor), factor};
}

std::shared_ptr<Gdiplus::Image> MakeThumbnail(Gdiplus::Bitmap& picture, int boxWidth, int boxHeight)
{
    const int width = static_cast<int>(picture.GetWidth());
    const int height = static_cast<int>(picture.GetHeight());
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return nullptr;
    const FittedSize size = FitSize(width, height, boxWidth, boxHeight);
    std::unique_ptr<Gdiplus::Image> thumbnail;
    if (size.factor == 1.0f) {
        thumbnail.reset(picture.Clone(0, 0, width, height, PixelFormat32bppARGB));
    } else {
        // A side that truncates to nothing still gets one pixel.
        const UINT w = static_cast<UINT>(std::max(1, size.width));
        const UINT h = static_cast<UINT>(std::max(1, size.height));
        const Gdiplus::PixelFormat format = picture.GetPixelFormat();
        if ((format & PixelFormatAlpha) || (format & PixelFormatPAlpha)) {
            // A picture with cover is shrunk into a premultiplied bitmap: the platform's own
            // thumbnail keeps colours already multiplied by their cover as if they were not,
            // which darkens every semi-transparent pixel once more when it is drawn.
            auto shrunk = std::make_unique<Gdiplus::Bitmap>(w, h, PixelFormat32bppPARGB);
            if (shrunk->GetLastStatus() != Gdiplus::Ok)
                return nullptr;
            Gdiplus::Graphics graphics(shrunk.get());
            graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
            graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBilinear);
            graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
            if (graphics.DrawImage(&picture, Gdiplus::Rect(0, 0, w, h), 0, 0, width, height, Gdiplus::UnitPixel) !=
                Gdiplus::Ok)
                return nullptr;
            thumbnail = std::move(shrunk);
        } else {
            thumbnail.reset(picture.GetThumbnailImage(w, h, nullptr, nullptr));
        }
    }
    if (!thumbnail || thumbnail->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    return std::shared_ptr<Gdiplus::Image>(std::move(thumbnail));
}

}  // namespace Vantor
