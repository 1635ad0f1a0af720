// Geometry: quarter turns and cropping.
#include "image/CxImage.h"

#include <algorithm>
#include <cstring>

namespace Vantor {

namespace {

constexpr uint32_t kTile = 64;

// Walks the destination in 64 x 64 tiles so that source and destination rows stay in cache;
// source(x, y) gives the source position of destination pixel (x, y).
template <typename Move>
void ForEachInTiles(uint32_t width, uint32_t height, Move move)
{
    for (uint32_t ty = 0; ty < height; ty += kTile) {
        const uint32_t yEnd = std::min(height, ty + kTile);
        for (uint32_t tx = 0; tx < width; tx += kTile) {
            const uint32_t xEnd = std::min(width, tx + kTile);
            for (uint32_t y = ty; y < yEnd; ++y)
                move(tx, xEnd, y);
        }
    }
}

}  // namespace

// Both turns make an image of swapped size and fill it tile by tile. `sourceColumn(y)` and
// `sourceRow(x)` give the stored column and row (rows counted from the bottom) of the source
// pixel that lands on destination pixel (x, y).
template <typename SourceColumn, typename SourceRow>
bool CxImage::QuarterTurn(CxImage* destination, SourceColumn sourceColumn, SourceRow sourceRow)
{
    if (!IsValid())
        return false;
    CxImage image;
    if (!CreateLike(image, height_, width_))
        return false;
    const uint32_t newW = image.width_;
    const uint32_t newH = image.height_;

    if (bpp_ == 24) {
        ForEachInTiles(newW, newH, [&](uint32_t x0, uint32_t x1, uint32_t y) {
            uint8_t* out = image.GetBits(y) + 3 * x0;
            const uint8_t* column = GetBits(0) + 3 * static_cast<size_t>(sourceColumn(y));
            for (uint32_t x = x0; x < x1; ++x, out += 3) {
                const uint8_t* p = column + static_cast<size_t>(sourceRow(x)) * stride_;
                out[0] = p[0];
                out[1] = p[1];
                out[2] = p[2];
            }
        });
    } else {
        ForEachInTiles(newW, newH, [&](uint32_t x0, uint32_t x1, uint32_t y) {
            for (uint32_t x = x0; x < x1; ++x)
                image.SetPixelIndex(x, y, GetPixelIndex(sourceColumn(y), sourceRow(x)));
        });
    }
    if (alpha_) {
        if (!CreateAlphaIn(image))
            return false;
        const uint8_t* plane = alpha_.get();
        ForEachInTiles(newW, newH, [&](uint32_t x0, uint32_t x1, uint32_t y) {
            uint8_t* out = image.AlphaGetPointer(0, y);
            for (uint32_t x = x0; x < x1; ++x)
                out[x] = plane[static_cast<size_t>(sourceRow(x)) * width_ + sourceColumn(y)];
        });
    }
    Deliver(image, destination);
    return true;
}

bool CxImage::RotateLeft(CxImage* destination)
{
    // new(x, y) = old(y, newW - 1 - x), where newW is the old height.
    const uint32_t newW = height_;
    return QuarterTurn(
        destination, [](uint32_t y) { return y; }, [newW](uint32_t x) { return newW - 1 - x; });
}

bool CxImage::RotateRight(CxImage* destination)
{
    // new(x, y) = old(newH - 1 - y, x), where newH is the old width.
    const uint32_t newH = width_;
    return QuarterTurn(
        destination, [newH](uint32_t y) { return newH - 1 - y; }, [](uint32_t x) { return x; });
}

bool CxImage::Crop(int32_t left, int32_t top, int32_t right, int32_t bottom, CxImage* destination)
{
    if (!IsValid())
        return false;
    const auto clampTo = [](int32_t v, uint32_t limit) {
        return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, static_cast<int64_t>(limit)));
    };
    uint32_t l = clampTo(left, width_);
    uint32_t r = clampTo(right, width_);
    uint32_t t = clampTo(top, height_);
    uint32_t b = clampTo(bottom, height_);
    if (l == r || t == b) {
        SetError("CxImage::Crop : empty rectangle");
        return false;
    }
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    const uint32_t newW = r - l;
    const uint32_t newH = b - t;

    CxImage image;
    if (!CreateLike(image, newW, newH))
        return false;

    // Top-down rows t..b-1 are stored rows height-b..height-t-1.
    const uint32_t firstRow = height_ - b;
    for (uint32_t y = 0; y < newH; ++y) {
        const uint32_t sy = firstRow + y;
        if (bpp_ == 24) {
            std::memcpy(image.GetBits(y), GetBits(sy) + 3 * static_cast<size_t>(l), 3 * static_cast<size_t>(newW));
        } else if (bpp_ == 8) {
            std::memcpy(image.GetBits(y), GetBits(sy) + l, newW);
        } else {
            for (uint32_t x = 0; x < newW; ++x)
                image.SetPixelIndex(x, y, GetPixelIndex(l + x, sy));
        }
    }
    if (alpha_) {
        if (!CreateAlphaIn(image))
            return false;
        for (uint32_t y = 0; y < newH; ++y)
            std::memcpy(image.AlphaGetPointer(0, y), alpha_.get() + static_cast<size_t>(firstRow + y) * width_ + l,
                        newW);
    }
    Deliver(image, destination);
    return true;
}

}  // namespace Vantor
