// Scaling: nearest pixel, bilinear, area averaging; fitting into a box; enlarging the canvas.
#include "image/CxImage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace Vantor {

namespace {

// Area averaging for a 24-bit shrink in both directions. Weights are in thousandths: a
// source pixel on a cell border is split between the two cells it covers (wX to the next,
// 1000 - wX to the current), a source row on a row border likewise (wY). Where the cell
// borders fall is the same for every row, so each cell's columns are worked out once: the
// border pixel it shares with the cell on its left, the pixels wholly inside, and the
// border pixel on its right. Each source row is summed into its cells, then the row sums go
// to the current destination row or are split with the carry for the next. Destination sums
// are 64-bit, so a large shrink (many source pixels per cell) cannot overflow.
template <typename RowSum>
void ShrinkByAreaAverage(const CxImage& source, CxImage& target, float xs, float ys)
{
    constexpr uint32_t kAccuracy = 1000;
    const uint32_t width = source.GetWidth();
    const uint32_t height = source.GetHeight();
    const uint32_t newWidth = target.GetWidth();
    const uint32_t newHeight = target.GetHeight();
    const uint64_t scale = std::max<uint64_t>(1, static_cast<uint64_t>(static_cast<float>(kAccuracy) * xs * ys));
    const size_t rowCells = 3 * static_cast<size_t>(newWidth);

    struct Span {
        uint32_t left = 0, leftWeight = 0;    // shared border pixel on the left and its weight here
        uint32_t begin = 0, end = 0;          // pixels wholly inside
        uint32_t right = 0, rightWeight = 0;  // border pixel on the right and its weight here
    };
    std::vector<Span> spans(newWidth);
    {
        uint32_t u = 0;
        uint32_t begin = 0;
        float endX = xs - 1.0f;
        for (uint32_t x = 0; x < width && u < newWidth; ++x) {
            if (static_cast<float>(x) < endX)
                continue;
            const auto toNext = static_cast<uint32_t>((static_cast<float>(x) - endX) * kAccuracy);
            spans[u].begin = begin;
            spans[u].end = x;
            spans[u].right = x;
            spans[u].rightWeight = kAccuracy - toNext;
            if (u + 1 < newWidth) {
                spans[u + 1].left = x;
                spans[u + 1].leftWeight = toNext;
            }
            begin = x + 1;
            endX += xs;
            ++u;
        }
        // A cell left unfinished by rounding at the right edge takes the rest of the row.
        for (; u < newWidth; ++u) {
            spans[u].begin = std::min(begin, width);
            spans[u].end = width;
            begin = width;
        }
    }

    std::vector<RowSum> rowSum(rowCells, 0);
    std::vector<uint64_t> accu(rowCells, 0);
    std::vector<uint64_t> carry(rowCells, 0);
    // Cell value = sum / divisor; in 32 bits whenever both fit, as they do for any shrink
    // up to about 30 times each way.
    const uint64_t divisor = scale * kAccuracy;
    auto cellValue = [divisor](uint64_t sum) {
        const uint64_t q = (sum >> 32) == 0 && (divisor >> 32) == 0
                               ? static_cast<uint32_t>(sum) / static_cast<uint32_t>(divisor)
                               : sum / divisor;
        return static_cast<uint8_t>(q > 255 ? 255 : q);
    };

    uint32_t v = 0;  // destination row
    float endY = ys - 1.0f;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = source.GetBits(y);
        const Span* span = spans.data();
        RowSum* sum = rowSum.data();
        for (uint32_t u = 0; u < newWidth; ++u, ++span, sum += 3) {
            uint32_t b = 0, g = 0, r = 0;
            const uint8_t* p = row + 3 * static_cast<size_t>(span->begin);
            for (uint32_t x = span->begin; x < span->end; ++x, p += 3) {
                b += p[0];
                g += p[1];
                r += p[2];
            }
            const uint8_t* left = row + 3 * static_cast<size_t>(span->left);
            const uint8_t* right = row + 3 * static_cast<size_t>(span->right);
            const uint32_t lw = span->leftWeight;
            const uint32_t rw = span->rightWeight;
            sum[0] = RowSum(b) * kAccuracy + lw * left[0] + rw * right[0];
            sum[1] = RowSum(g) * kAccuracy + lw * left[1] + rw * right[1];
            sum[2] = RowSum(r) * kAccuracy + lw * left[2] + rw * right[2];
        }
        if (static_cast<float>(y) < endY || v >= newHeight) {
            for (size_t k = 0; k < rowCells; ++k)
                accu[k] += static_cast<uint64_t>(rowSum[k]) * kAccuracy;
            continue;
        }
        // The row is split between destination row v, now complete, and the next one.
        const auto wY = static_cast<uint32_t>((static_cast<float>(y) - endY) * kAccuracy);
        uint8_t* out = target.GetBits(v);
        for (size_t k = 0; k < rowCells; ++k) {
            out[k] = cellValue(accu[k] + static_cast<uint64_t>(rowSum[k]) * (kAccuracy - wY));
            carry[k] = static_cast<uint64_t>(rowSum[k]) * wY;
        }
        std::swap(accu, carry);
        ++v;
        endY += ys;
    }
    if (v < newHeight) {  // a row left unfinished by rounding at the bottom
        uint8_t* out = target.GetBits(v);
        for (size_t k = 0; k < rowCells; ++k)
            out[k] = cellValue(accu[k]);
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
    if (!CreateLike(image, newW, newH))
        return false;

    // Source column and row of every destination column and row by truncation.
    std::vector<uint32_t> nearestX(newW);
    for (uint32_t x = 0; x < newW; ++x)
        nearestX[x] = std::min(W - 1, static_cast<uint32_t>(static_cast<float>(x) * xs));
    auto nearestY = [&](uint32_t y) { return std::min(H - 1, static_cast<uint32_t>(static_cast<float>(y) * ys)); };

    const bool areaAverage = mode == 0 && W > newW && H > newH && bpp_ == 24;
    if (areaAverage) {
        // One source row's sum for a cell fits 32 bits while a cell is under 16000 pixels wide.
        if (xs < 16000.0f)
            ShrinkByAreaAverage<uint32_t>(*this, image, xs, ys);
        else
            ShrinkByAreaAverage<uint64_t>(*this, image, xs, ys);
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
        if (!CreateAlphaIn(image))
            return false;
        for (uint32_t y = 0; y < newH; ++y) {
            const uint8_t* row = alpha_.get() + static_cast<size_t>(nearestY(y)) * W;
            uint8_t* out = image.AlphaGetPointer(0, y);
            for (uint32_t x = 0; x < newW; ++x)
                out[x] = row[nearestX[x]];
        }
    }
    Deliver(image, destination);
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
    Deliver(copy, destination);
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
    if (!CreateLike(image, static_cast<uint32_t>(newWidth), static_cast<uint32_t>(newHeight)))
        return false;

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
        if (!CreateAlphaIn(image))
            return false;
        std::memset(image.alpha_.get(), canvasColor.rgbReserved, static_cast<size_t>(newWidth) * newHeight);
        for (uint32_t y = 0; y < height_; ++y)
            std::memcpy(image.AlphaGetPointer(left, y + bottom), alpha_.get() + static_cast<size_t>(y) * width_,
                        width_);
    }
    Deliver(image, destination);
    return true;
}

}  // namespace Vantor
