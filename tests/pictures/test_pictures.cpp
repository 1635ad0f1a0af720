#include "test_pictures.h"

#include <png.h>

#include <csetjmp>

// The writer only jumps back on a libpng failure, after which nothing is used.
#pragma GCC diagnostic ignored "-Wclobbered"

namespace testpics {

Vantor::CxImage Make24(uint32_t width, uint32_t height, const std::function<RGBQUAD(uint32_t, uint32_t)>& colour,
                       bool withAlpha)
{
    Vantor::CxImage image;
    if (!image.Create(width, height, 24))
        return image;
    if (withAlpha)
        image.AlphaCreate();
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t stored = height - 1 - y;
        uint8_t* row = image.GetBits(stored);
        for (uint32_t x = 0; x < width; ++x) {
            const RGBQUAD c = colour(x, y);
            row[3 * x] = c.rgbBlue;
            row[3 * x + 1] = c.rgbGreen;
            row[3 * x + 2] = c.rgbRed;
            if (withAlpha)
                *image.AlphaGetPointer(x, stored) = c.rgbReserved;
        }
    }
    return image;
}

RGBQUAD Pattern(uint32_t x, uint32_t y)
{
    return RGBQUAD{static_cast<uint8_t>(x * 7 + y * 3), static_cast<uint8_t>(x * 13 + 5),
                   static_cast<uint8_t>(y * 11 + 9), static_cast<uint8_t>((x + 2 * y) * 17)};
}

RGBQUAD TopDown(const Vantor::CxImage& image, uint32_t x, uint32_t y)
{
    return image.GetPixelColor(x, image.GetHeight() - 1 - y);
}

::testing::AssertionResult SamePixels(const Vantor::CxImage& a, const Vantor::CxImage& b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetBpp() != b.GetBpp())
        return ::testing::AssertionFailure() << "sizes differ: " << a.GetWidth() << "x" << a.GetHeight() << "x"
                                             << a.GetBpp() << " against " << b.GetWidth() << "x" << b.GetHeight()
                                             << "x" << b.GetBpp();
    if (a.AlphaIsValid() != b.AlphaIsValid())
        return ::testing::AssertionFailure() << "one has an alpha plane, the other not";
    for (uint32_t y = 0; y < a.GetHeight(); ++y)
        for (uint32_t x = 0; x < a.GetWidth(); ++x) {
            const RGBQUAD p = a.GetPixelColor(x, y);
            const RGBQUAD q = b.GetPixelColor(x, y);
            if (p.rgbBlue != q.rgbBlue || p.rgbGreen != q.rgbGreen || p.rgbRed != q.rgbRed ||
                p.rgbReserved != q.rgbReserved)
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " differs";
        }
    return ::testing::AssertionSuccess();
}

namespace {

void Append(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void Flush(png_structp) {}

}  // namespace

std::vector<uint8_t> WritePng(uint32_t width, uint32_t height, PngKind kind,
                              const std::function<RGBQUAD(uint32_t, uint32_t)>& colour)
{
    std::vector<uint8_t> out;
    const bool indexed = kind == PngKind::Palette || kind == PngKind::PaletteWithTrns || kind == PngKind::Palette1;
    const int colorType = kind == PngKind::Rgb    ? PNG_COLOR_TYPE_RGB
                          : kind == PngKind::Gray ? PNG_COLOR_TYPE_GRAY
                          : indexed               ? PNG_COLOR_TYPE_PALETTE
                                                  : PNG_COLOR_TYPE_RGBA;
    const int channels = kind == PngKind::Rgb ? 3 : (kind == PngKind::Gray || indexed) ? 1 : 4;
    const int depth = kind == PngKind::Rgba16 ? 16 : 8;  // in memory; Palette1 is packed to 1 bit when written
    std::vector<std::vector<uint8_t>> rows(height);
    std::vector<png_color> palette;
    std::vector<png_byte> trns;
    for (uint32_t y = 0; y < height; ++y) {
        auto& row = rows[y];
        row.resize(static_cast<size_t>(width) * channels * (depth / 8));
        for (uint32_t x = 0; x < width; ++x) {
            const RGBQUAD c = colour(x, y);
            const uint8_t rgba[4] = {c.rgbRed, c.rgbGreen, c.rgbBlue, c.rgbReserved};
            if (indexed) {
                size_t index = 0;
                for (; index < palette.size(); ++index)
                    if (palette[index].red == rgba[0] && palette[index].green == rgba[1] &&
                        palette[index].blue == rgba[2] && trns[index] == rgba[3])
                        break;
                if (index == palette.size()) {
                    palette.push_back(png_color{rgba[0], rgba[1], rgba[2]});
                    trns.push_back(rgba[3]);
                }
                row[x] = static_cast<uint8_t>(index);
            } else if (kind == PngKind::Gray) {
                row[x] = rgba[0];
            } else {
                for (int k = 0; k < channels; ++k) {
                    if (depth == 16) {
                        row[(x * channels + k) * 2] = rgba[k];
                        row[(x * channels + k) * 2 + 1] = static_cast<uint8_t>(255 - rgba[k]);
                    } else {
                        row[x * channels + k] = rgba[k];
                    }
                }
            }
        }
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, Append, Flush);
    png_set_IHDR(png, info, width, height, kind == PngKind::Palette1 ? 1 : depth, colorType,
                 kind == PngKind::Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) {
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
        if (kind == PngKind::PaletteWithTrns)
            png_set_tRNS(png, info, trns.data(), static_cast<int>(trns.size()), nullptr);
    }
    std::vector<png_bytep> pointers(height);
    for (uint32_t y = 0; y < height; ++y)
        pointers[y] = rows[y].data();
    png_write_info(png, info);
    if (kind == PngKind::Palette1)
        png_set_packing(png);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace testpics
