// Storage of the raster image: the DIB-shaped pixel block, the palette and the alpha plane.
#include "image/CxImage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace Vantor {

namespace {

constexpr size_t kHeaderBytes = sizeof(BITMAPINFOHEADER);

uint32_t MapDepth(uint32_t bitsPerPixel)
{
    if (bitsPerPixel <= 1)
        return 1;
    if (bitsPerPixel <= 4)
        return 4;
    if (bitsPerPixel <= 8)
        return 8;
    return 24;
}

}  // namespace

void CxImage::BlockDeleter::operator()(uint8_t* block) const
{
    std::free(block);
}

CxImage::Block CxImage::Allocate(size_t bytes)
{
    return Block(static_cast<uint8_t*>(std::calloc(bytes ? bytes : 1, 1)));
}

CxImage::CxImage(const CxImage& other)
{
    Copy(other);
}

CxImage& CxImage::operator=(const CxImage& other)
{
    if (this != &other)
        Copy(other);
    return *this;
}

CxImage::CxImage(CxImage&& other) noexcept
{
    TakeFrom(other);
}

CxImage& CxImage::operator=(CxImage&& other) noexcept
{
    if (this != &other) {
        Destroy();
        TakeFrom(other);
    }
    return *this;
}

void CxImage::TakeFrom(CxImage& other)
{
    std::swap(block_, other.block_);
    std::swap(alpha_, other.alpha_);
    std::swap(width_, other.width_);
    std::swap(height_, other.height_);
    std::swap(bpp_, other.bpp_);
    std::swap(stride_, other.stride_);
    std::swap(colors_, other.colors_);
    std::swap(bkColor_, other.bkColor_);
    std::swap(bkIndex_, other.bkIndex_);
}

void CxImage::Destroy()
{
    block_.reset();
    alpha_.reset();
    width_ = height_ = bpp_ = stride_ = colors_ = 0;
}

void CxImage::SetError(const char* text)
{
    lastError_.assign(text ? text : "");
    if (lastError_.size() > 255)
        lastError_.resize(255);
}

bool CxImage::Create(uint32_t width, uint32_t height, uint32_t bitsPerPixel)
{
    if (width == 0 || height == 0) {
        SetError("CxImage::Create : width and height must be greater than zero");
        return false;
    }
    const uint32_t bpp = MapDepth(bitsPerPixel);
    // What is really allocated, in 64 bits: the padded rows and, when there is one, the
    // alpha plane. Each stays under the ceiling, so every later size fits 32 bits too.
    const uint64_t stride = ((static_cast<uint64_t>(width) * bpp + 31) / 32) * 4;
    const uint64_t pixelBytes = stride * height;
    const uint64_t alphaBytes = alpha_ ? static_cast<uint64_t>(width) * height : 0;
    const auto ceiling = static_cast<uint64_t>(kMaxMemory);
    if (pixelBytes > ceiling || alphaBytes > ceiling) {
        SetError("CXIMAGE_MAX_MEMORY exceeded");
        return false;
    }
    const uint32_t colors = bpp < 24 ? (1u << bpp) : 0;
    const size_t bytes = kHeaderBytes + 4u * colors + static_cast<size_t>(pixelBytes);
    Block block = Allocate(bytes);
    if (!block) {
        SetError("CxImage::Create can't allocate memory");
        return false;
    }
    Plane alpha;
    if (alpha_) {
        alpha = Allocate(static_cast<size_t>(alphaBytes));
        if (!alpha) {
            SetError("CxImage::Create can't allocate memory");
            return false;
        }
        std::memset(alpha.get(), 255, static_cast<size_t>(alphaBytes));
    }

    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(block.get());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = static_cast<LONG>(width);
    header->biHeight = static_cast<LONG>(height);
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bpp);
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(pixelBytes);
    header->biClrUsed = colors;

    block_ = std::move(block);
    alpha_ = std::move(alpha);
    width_ = width;
    height_ = height;
    bpp_ = bpp;
    stride_ = static_cast<uint32_t>(stride);
    colors_ = colors;
    return true;
}

bool CxImage::CreateFromArray(const uint8_t* array, uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                              uint32_t bytesPerRow, bool flip)
{
    if (!array) {
        SetError("CxImage::CreateFromArray : no pixels");
        return false;
    }
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) {
        SetError("CxImage::CreateFromArray : wrong depth");
        return false;
    }
    CxImage image;
    if (!image.Create(width, height, bitsPerPixel)) {
        SetError(image.GetLastError());
        return false;
    }
    if (bitsPerPixel < 24)
        image.SetGrayPalette();
    if (bitsPerPixel == 32)
        image.AlphaCreate();
    if (bitsPerPixel == 32 && !image.AlphaIsValid()) {
        SetError("CxImage::Create can't allocate memory");
        return false;
    }

    for (uint32_t r = 0; r < height; ++r) {
        const uint8_t* source = array + static_cast<size_t>(r) * bytesPerRow;
        const uint32_t y = flip ? height - 1 - r : r;
        uint8_t* target = image.GetBits(y);
        if (bitsPerPixel == 32) {
            uint8_t* alpha = image.AlphaGetPointer(0, y);
            for (uint32_t x = 0; x < width; ++x, source += 4, target += 3) {
                target[0] = source[0];
                target[1] = source[1];
                target[2] = source[2];
                alpha[x] = source[3];
            }
        } else {
            std::memcpy(target, source, std::min(image.stride_, bytesPerRow));
        }
    }
    image.lastError_ = std::move(lastError_);
    *this = std::move(image);
    return true;
}

void CxImage::CopyAttributes(const CxImage& source)
{
    bkColor_ = source.bkColor_;
    bkIndex_ = source.bkIndex_;
}

bool CxImage::CreateLike(CxImage& image, uint32_t width, uint32_t height)
{
    if (!image.Create(width, height, bpp_)) {
        SetError(image.GetLastError());
        return false;
    }
    if (colors_)
        std::memcpy(image.GetPalette(), GetPalette(), 4u * colors_);
    image.CopyAttributes(*this);
    return true;
}

bool CxImage::CreateAlphaIn(CxImage& image)
{
    image.AlphaCreate();
    if (!image.AlphaIsValid()) {
        SetError("CxImage::Create can't allocate memory");
        return false;
    }
    return true;
}

void CxImage::Deliver(CxImage& image, CxImage* destination)
{
    if (destination && destination != this) {
        *destination = std::move(image);
    } else {
        image.lastError_ = std::move(lastError_);
        *this = std::move(image);
    }
}

bool CxImage::Copy(const CxImage& source, bool copyPixels, bool copySelection, bool copyAlpha)
{
    if (&source == this)
        return true;
    if (!source.IsValid())
        return false;
    CxImage image;
    if (!image.Create(source.width_, source.height_, source.bpp_)) {
        SetError(image.GetLastError());
        return false;
    }
    const size_t paletteAndPixels = 4u * source.colors_ + static_cast<size_t>(source.stride_) * source.height_;
    if (copyPixels)
        std::memcpy(image.block_.get() + kHeaderBytes, source.block_.get() + kHeaderBytes, paletteAndPixels);
    else
        std::memcpy(image.block_.get() + kHeaderBytes, source.block_.get() + kHeaderBytes, 4u * source.colors_);
    if (copyAlpha && source.alpha_) {
        const size_t planeBytes = static_cast<size_t>(source.width_) * source.height_;
        image.alpha_ = Allocate(planeBytes);
        if (!image.alpha_) {
            SetError("CxImage::Create can't allocate memory");
            return false;
        }
        std::memcpy(image.alpha_.get(), source.alpha_.get(), planeBytes);
    }
    image.CopyAttributes(source);
    image.lastError_ = std::move(lastError_);
    *this = std::move(image);
    return true;
}

uint8_t* CxImage::GetBits(uint32_t y)
{
    if (!block_ || y >= height_)
        return nullptr;
    return block_.get() + kHeaderBytes + 4u * colors_ + static_cast<size_t>(y) * stride_;
}

const uint8_t* CxImage::GetBits(uint32_t y) const
{
    return const_cast<CxImage*>(this)->GetBits(y);
}

const BITMAPINFOHEADER* CxImage::GetInfoHeader() const
{
    return block_ ? reinterpret_cast<const BITMAPINFOHEADER*>(block_.get()) : nullptr;
}

RGBQUAD* CxImage::GetPalette()
{
    return block_ && colors_ ? reinterpret_cast<RGBQUAD*>(block_.get() + kHeaderBytes) : nullptr;
}

const RGBQUAD* CxImage::GetPalette() const
{
    return const_cast<CxImage*>(this)->GetPalette();
}

void CxImage::SetPaletteColor(uint8_t index, uint8_t r, uint8_t g, uint8_t b)
{
    if (RGBQUAD* palette = GetPalette(); palette && index < colors_)
        palette[index] = RGBQUAD{b, g, r, 0};
}

void CxImage::SetGrayPalette()
{
    RGBQUAD* palette = GetPalette();
    if (!palette)
        return;
    for (uint32_t i = 0; i < colors_; ++i) {
        const auto v = static_cast<uint8_t>((i * 255) / (colors_ - 1));
        palette[i] = RGBQUAD{v, v, v, 0};
    }
}

uint8_t CxImage::GetPixelIndex(uint32_t x, uint32_t y) const
{
    const uint8_t* row = GetBits(y);
    if (!row || x >= width_ || bpp_ >= 24)
        return 0;
    switch (bpp_) {
    case 8:
        return row[x];
    case 4:
        return static_cast<uint8_t>((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
    default:
        return static_cast<uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1);
    }
}

void CxImage::SetPixelIndex(uint32_t x, uint32_t y, uint8_t index)
{
    uint8_t* row = GetBits(y);
    if (!row || x >= width_ || bpp_ >= 24)
        return;
    switch (bpp_) {
    case 8:
        row[x] = index;
        break;
    case 4: {
        const int shift = (x & 1) ? 0 : 4;
        row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & ~(0x0F << shift)) | ((index & 0x0F) << shift));
        break;
    }
    default: {
        const int shift = 7 - static_cast<int>(x & 7);
        row[x >> 3] = static_cast<uint8_t>((row[x >> 3] & ~(1 << shift)) | ((index & 1) << shift));
        break;
    }
    }
}

RGBQUAD CxImage::GetPixelColor(uint32_t x, uint32_t y) const
{
    RGBQUAD color{0, 0, 0, 255};
    const uint8_t* row = GetBits(y);
    if (!row || x >= width_)
        return color;
    if (bpp_ == 24) {
        color.rgbBlue = row[3 * x];
        color.rgbGreen = row[3 * x + 1];
        color.rgbRed = row[3 * x + 2];
    } else {
        color = GetPalette()[GetPixelIndex(x, y)];
        color.rgbReserved = 255;
    }
    if (alpha_)
        color.rgbReserved = alpha_.get()[static_cast<size_t>(y) * width_ + x];
    return color;
}

void CxImage::AlphaCreate()
{
    if (alpha_ || !block_)
        return;
    const size_t bytes = static_cast<size_t>(width_) * height_;
    alpha_ = Allocate(bytes);
    if (alpha_)
        std::memset(alpha_.get(), 255, bytes);
}

uint8_t* CxImage::AlphaGetPointer(uint32_t x, uint32_t y)
{
    if (!alpha_ || x >= width_ || y >= height_)
        return nullptr;
    return alpha_.get() + static_cast<size_t>(y) * width_ + x;
}

const uint8_t* CxImage::AlphaGetPointer(uint32_t x, uint32_t y) const
{
    return const_cast<CxImage*>(this)->AlphaGetPointer(x, y);
}

RGBQUAD CxImage::GetTransColor() const
{
    if (bpp_ < 24 && bkIndex_ >= 0 && static_cast<uint32_t>(bkIndex_) < colors_)
        return GetPalette()[bkIndex_];
    return bkColor_;
}

uint8_t CxImage::NearestIndex(RGBQUAD color) const
{
    const RGBQUAD* palette = GetPalette();
    if (!palette)
        return 0;
    uint32_t best = 0;
    long bestDistance = 0x7FFFFFFF;
    for (uint32_t i = 0; i < colors_; ++i) {
        const long db = long(palette[i].rgbBlue) - color.rgbBlue;
        const long dg = long(palette[i].rgbGreen) - color.rgbGreen;
        const long dr = long(palette[i].rgbRed) - color.rgbRed;
        const long distance = db * db + dg * dg + dr * dr;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (distance == 0)
                break;
        }
    }
    return static_cast<uint8_t>(best);
}

bool CxImage::IsGrayScale() const
{
    const RGBQUAD* palette = GetPalette();
    if (!palette)
        return false;
    for (uint32_t i = 0; i < colors_; ++i)
        if (palette[i].rgbBlue != i || palette[i].rgbGreen != i || palette[i].rgbRed != i)
            return false;
    return colors_ == 256;
}

}  // namespace Vantor
