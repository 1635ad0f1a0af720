// Scaling: nearest pixel, bilinear, area averaging; fitting into a box; enlarging the canvas.
#include "editor/CxImage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace Vantor {

namespace {

uint8_t CellValue(int64_t sum, int64_t scale)
{
    const int64_t value = sum / scale;
    return static_cast<uint8_t>(value > 255 ? 255 : value);
}

// Area averaging for a 24-bit shrink in both directions. Weights are in thousandths; a
// source pixel on a cell border is split between the cells it covers. Sums are 64-bit so
// that a large shrink (many source pixels per cell) cannot overflow.
void ShrinkByAreaAverage(const CxImage& source, CxImage& target, float xs, float ys)
{
    constexpr int64_t kAccuracy = 1000;
    const uint32_t width = source.GetWidth();
    const uint32_t height = source.GetHeight();
    const uint32_t newWidth = target.GetWidth();
    const uint32_t newHeight = target.GetHeight();
    const int64_t scale = std::max<int64_t>(1, static_cast<int64_t>(static_cast<float>(kAccuracy) * xs * ys));
    const size_t rowCells = 3 * static_cast<size_t>(newWidth);
    const size_t cells = rowCells + 3;  // a spare cell takes what edge rounding leaves over
    std::vector<int64_t> accu(cells, 0);
    std::vector<int64_t> carry(cells, 0);

    uint32_t v = 0;  // destination row
    float endY = ys - 1.0f;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* pixel = source.GetBits(y);
        size_t i = 0;    // accumulator index of the current cell
        uint32_t u = 0;  // current destination column
        float endX = xs - 1.0f;
        if (static_cast<float>(y) < endY) {
            // The whole source row belongs to destination row v.
            for (uint32_t x = 0; x < width; ++x, pixel += 3) {
                if (static_cast<float>(x) < endX) {
                    accu[i] += pixel[0] * kAccuracy;
                    accu[i + 1] += pixel[1] * kAccuracy;
                    accu[i + 2] += pixel[2] * kAccuracy;
                } else if (i < rowCells) {
                    const int64_t wX = static_cast<int64_t>((static_cast<float>(x) - endX) * kAccuracy);
                    for (int j = 0; j < 3; ++j, ++i) {
                        accu[i] += (kAccuracy - wX) * pixel[j];
                        accu[i + 3] += wX * pixel[j];
                    }
                    endX += xs;
                    ++u;
                }
            }
            continue;
        }
        // The source row is split between destination row v and the carry for row v + 1.
        const int64_t wY = static_cast<int64_t>((static_cast<float>(y) - endY) * kAccuracy);
        uint8_t* out = v < newHeight ? target.GetBits(v) : nullptr;
        for (uint32_t x = 0; x < width; ++x, pixel += 3) {
            if (static_cast<float>(x) < endX) {
                for (int j = 0; j < 3; ++j) {
                    accu[i + j] += (kAccuracy - wY) * pixel[j];
                    carry[i + j] += wY * pixel[j];
                }
            } else if (i < rowCells) {
                // The pixel is split between four cells; the current one is then complete.
                const int64_t wX = static_cast<int64_t>((static_cast<float>(x) - endX) * kAccuracy);
                for (int j = 0; j < 3; ++j, ++i) {
                    accu[i] += (kAccuracy - wY) * (kAccuracy - wX) * pixel[j] / kAccuracy;
                    carry[i] += wY * (kAccuracy - wX) * pixel[j] / kAccuracy;
                    if (out)
                        out[i] = CellValue(accu[i], scale);
                    accu[i + 3] += (kAccuracy - wY) * wX * pixel[j] / kAccuracy;
                    carry[i + 3] += wY * wX * pixel[j] / kAccuracy;
                }
                endX += xs;
                ++u;
            }
        }
        // Cells left unfinished by rounding at the right edge are still written.
        if (out)
            for (size_t k = 3 * static_cast<size_t>(u); k < rowCells; ++k)
                out[k] = CellValue(accu[k], scale);
        std::swap(accu, carry);
        std::fill(carry.begin(), carry.end(), 0);
        ++v;
        endY += ys;
    }
    if (v < newHeight) {  // a row left unfinished by rounding at the bottom
        uint8_t* out = target.GetBits(v);
        for (size_t k = 0; k < rowCells; ++k)
            out[k] = CellValue(accu[k], scale);
    }
}

}  // namespace

bool CxImage::Resample(int32_t newWidth, int32_t newHeight, int32_t mode, CxImage* destination)
{
    if (!IsValid())
        return false;
    if (newWidth <= 0 || newHeight <= 0) {
        SetError("CxImage::Resample : wrong size");
        return false;
    }
    const uint32_t W = width_;
    const uint32_t H = height_;
    const uint32_t newW = static_cast<uint32_t>(newWidth);
    const uint32_t newH = static_cast<uint32_t>(newHeight);
    if (newW == W && newH == H) {
        if (destination && destination != this)
            return destination->Copy(*this);
        return true;
    }
    const float xs = static_cast<float>(W) / static_cast<float>(newW);
    const float ys = static_cast<float>(H) / static_cast<float>(newH);

    CxImage image;
    if (!image.Create(newW, newH, bpp_)) {
        SetError(image.GetLastError());
        return false;
    }
    if (colors_)
        std::memcpy(image.GetPalette(), GetPalette(), 4u * colors_);
    image.CopyAttributes(*this);

    // Source column and row of every destination column and row by truncation.
    std::vector<uint32_t> nearestX(newW);
    for (uint32_t x = 0; x < newW; ++x)
        nearestX[x] = std::min(W - 1, static_cast<uint32_t>(static_cast<float>(x) * xs));
    auto nearestY = [&](uint32_t y) { return std::min(H - 1, static_cast<uint32_t>(static_cast<float>(y) * ys)); };

    const bool areaAverage = mode == 0 && W > newW && H > newH && bpp_ == 24;
    if (areaAverage) {
        ShrinkByAreaAverage(*this, image, xs, ys);
    } else if (mode == 0 && bpp_ == 24) {
        for (uint32_t y = 0; y < newH; ++y) {
            const float fy = static_cast<float>(y) * ys;
            const uint32_t iy = std::min(H - 1, static_cast<uint32_t>(fy));
            const uint32_t iy1 = std::min(H - 1, iy + 1);
            const float dy = fy - static_cast<float>(iy);
            const uint8_t* row0 = GetBits(iy);
            const uint8_t* row1 = GetBits(iy1);
            uint8_t* out = image.GetBits(y);
            for (uint32_t x = 0; x < newW; ++x, out += 3) {
                const float fx = static_cast<float>(x) * xs;
                const uint32_t ix = std::min(W - 1, static_cast<uint32_t>(fx));
                const uint32_t ix1 = std::min(W - 1, ix + 1);
                const float dx = fx - static_cast<float>(ix);
                for (int j = 0; j < 3; ++j) {
                    const float c1 = row0[3 * ix + j];
                    const float c2 = row0[3 * ix1 + j];
                    const float c3 = row1[3 * ix + j];
                    const float c4 = row1[3 * ix1 + j];
                    const float a = c1 + (c3 - c1) * dy;
                    const float b = c2 + (c4 - c2) * dy;
                    out[j] = static_cast<uint8_t>(a + (b - a) * dx);
                }
            }
        }
    } else {
        // Nearest pixel (also mode 0 on palette images, whose indices cannot be blended).
        for (uint32_t y = 0; y < newH; ++y) {
            const uint32_t sy = nearestY(y);
            if (bpp_ == 24) {
                const uint8_t* row = GetBits(sy);
                uint8_t* out = image.GetBits(y);
                for (uint32_t x = 0; x < newW; ++x, out += 3)
                    std::memcpy(out, row + 3 * nearestX[x], 3);
            } else {
                for (uint32_t x = 0; x < newW; ++x)
                    image.SetPixelIndex(x, y, GetPixelIndex(nearestX[x], sy));
            }
        }
    }

    if (alpha_) {
        image.AlphaCreate();
        if (!image.AlphaIsValid()) {
            SetError("CxImage::Create can't allocate memory");
            return false;
        }
        for (uint32_t y = 0; y < newH; ++y) {
            const uint8_t* row = alpha_.get() + static_cast<size_t>(nearestY(y)) * W;
            uint8_t* out = image.AlphaGetPointer(0, y);
            for (uint32_t x = 0; x < newW; ++x)
                out[x] = row[nearestX[x]];
        }
    }
    if (destination && destination != this) {
        *destination = std::move(image);
    } else {
        image.lastError_ = std::move(lastError_);
        *this = std::move(image);
    }
    return true;
}

bool CxImage::Thumbnail(int32_t width, int32_t height, RGBQUAD canvasColor, CxImage* destination)
{
    if (!IsValid())
        return false;
    if (width < 1 || height < 1) {
        SetError("CxImage::Thumbnail : wrong size");
        return false;
    }
    CxImage copy(*this);
    if (!copy.IsValid()) {
        SetError(copy.GetLastError());
        return false;
    }
    if (width_ > static_cast<uint32_t>(width) || height_ > static_cast<uint32_t>(height)) {
        const float boxW = static_cast<float>(width);
        const float boxH = static_cast<float>(height);
        const float k = (boxW / boxH) * static_cast<float>(height_) > static_cast<float>(width_)
                            ? boxH / static_cast<float>(height_)
                            : boxW / static_cast<float>(width_);
        const auto newW = std::max<int32_t>(1, static_cast<int32_t>(static_cast<float>(width_) * k));
        const auto newH = std::max<int32_t>(1, static_cast<int32_t>(static_cast<float>(height_) * k));
        if (!copy.Resample(newW, newH, 0)) {
            SetError(copy.GetLastError());
            return false;
        }
    }
    if (!copy.Expand(width, height, canvasColor)) {
        SetError(copy.GetLastError());
        return false;
    }
    if (destination && destination != this) {
        *destination = std::move(copy);
    } else {
        copy.lastError_ = std::move(lastError_);
        *this = std::move(copy);
    }
    return true;
}

bool CxImage::Expand(int32_t newWidth, int32_t newHeight, RGBQUAD canvasColor, CxImage* destination)
{
    if (!IsValid())
        return false;
    if (newWidth < static_cast<int32_t>(width_) || newHeight < static_cast<int32_t>(height_)) {
        SetError("CxImage::Expand : new size is smaller than the picture");
        return false;
    }
    const uint32_t left = (static_cast<uint32_t>(newWidth) - width_) / 2;
    const uint32_t top = (static_cast<uint32_t>(newHeight) - height_) / 2;  // as seen
    const uint32_t bottom = static_cast<uint32_t>(newHeight) - height_ - top;

    CxImage image;
    if (!image.Create(static_cast<uint32_t>(newWidth), static_cast<uint32_t>(newHeight), bpp_)) {
        SetError(image.GetLastError());
        return false;
    }
    if (colors_)
        std::memcpy(image.GetPalette(), GetPalette(), 4u * colors_);
    image.CopyAttributes(*this);

    // Canvas colour everywhere, then the picture in place (stored rows start at the bottom margin).
    if (bpp_ == 24) {
        for (uint32_t y = 0; y < image.height_; ++y) {
            uint8_t* row = image.GetBits(y);
            for (uint32_t x = 0; x < image.width_; ++x, row += 3) {
                row[0] = canvasColor.rgbBlue;
                row[1] = canvasColor.rgbGreen;
                row[2] = canvasColor.rgbRed;
            }
        }
        for (uint32_t y = 0; y < height_; ++y)
            std::memcpy(image.GetBits(y + bottom) + 3 * left, GetBits(y), 3 * static_cast<size_t>(width_));
    } else {
        const uint8_t canvasIndex = NearestIndex(canvasColor);
        for (uint32_t y = 0; y < image.height_; ++y)
            for (uint32_t x = 0; x < image.width_; ++x)
                image.SetPixelIndex(x, y, canvasIndex);
        for (uint32_t y = 0; y < height_; ++y)
            for (uint32_t x = 0; x < width_; ++x)
                image.SetPixelIndex(x + left, y + bottom, GetPixelIndex(x, y));
    }
    if (alpha_) {
        image.AlphaCreate();
        if (!image.AlphaIsValid()) {
            SetError("CxImage::Create can't allocate memory");
            return false;
        }
        std::memset(image.alpha_.get(), canvasColor.rgbReserved, static_cast<size_t>(newWidth) * newHeight);
        for (uint32_t y = 0; y < height_; ++y)
            std::memcpy(image.AlphaGetPointer(left, y + bottom), alpha_.get() + static_cast<size_t>(y) * width_,
                        width_);
    }
    if (destination && destination != this) {
        *destination = std::move(image);
    } else {
        image.lastError_ = std::move(lastError_);
        *this = std::move(image);
    }
    return true;
}

}  // namespace Vantor
