#pragma once
// Small pictures with known bytes for the image tests.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/CxImage.h"

namespace testpics {

// A 24-bit image whose pixel (x, y) (y from the top) is colour(x, y), with an alpha plane
// when withAlpha is set (alpha from the colour's rgbReserved).
Vantor::CxImage Make24(uint32_t width, uint32_t height, const std::function<RGBQUAD(uint32_t, uint32_t)>& colour,
                       bool withAlpha = false);
// A distinct colour for every position, alpha varying too.
RGBQUAD Pattern(uint32_t x, uint32_t y);
// Pixel (x, y) counted from the top.
RGBQUAD TopDown(const Vantor::CxImage& image, uint32_t x, uint32_t y);
// True when both images have the same size, depth, pixels and alpha.
::testing::AssertionResult SamePixels(const Vantor::CxImage& a, const Vantor::CxImage& b);

// A PNG file in memory written with libpng from RGBA rows (top-down).
// Palette1: at most two colours, 1 bit per pixel (what ImageMagick writes for a plain colour).
enum class PngKind { Rgba, Rgb, Gray, Palette, PaletteWithTrns, Rgba16, Interlaced, Palette1 };
std::vector<uint8_t> WritePng(uint32_t width, uint32_t height, PngKind kind,
                              const std::function<RGBQUAD(uint32_t, uint32_t)>& colour);

}  // namespace testpics
