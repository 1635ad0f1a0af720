// Decoding PNG files from memory, as the skin store does with its resources.
#include <gtest/gtest.h>

#include <zlib.h>

#include "image/CxImage.h"
#include "test_pictures.h"

using Vantor::CxImage;
using testpics::PngKind;
using testpics::TopDown;
using testpics::WritePng;

namespace {

RGBQUAD Opaque(uint32_t x, uint32_t y)
{
    RGBQUAD c = testpics::Pattern(x, y);
    c.rgbReserved = 255;
    return c;
}

RGBQUAD FewColours(uint32_t x, uint32_t y)
{
    static const RGBQUAD colours[] = {{0, 0, 255, 255}, {0, 255, 0, 128}, {255, 0, 0, 0}, {10, 20, 30, 255}};
    return colours[(x + y) % 4];
}

RGBQUAD OpaqueFew(uint32_t x, uint32_t y)
{
    RGBQUAD c = FewColours(x, y);
    c.rgbReserved = 255;
    return c;
}

void ExpectPixels(const CxImage& image, uint32_t width, uint32_t height, bool alpha,
                  RGBQUAD (*colour)(uint32_t, uint32_t))
{
    ASSERT_TRUE(image.IsValid());
    ASSERT_EQ(image.GetWidth(), width);
    ASSERT_EQ(image.GetHeight(), height);
    EXPECT_EQ(image.GetBpp(), 24u);
    ASSERT_EQ(image.AlphaIsValid(), alpha);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const RGBQUAD want = colour(x, y);
            const RGBQUAD got = TopDown(image, x, y);
            ASSERT_EQ(got.rgbRed, want.rgbRed) << x << "," << y;
            ASSERT_EQ(got.rgbGreen, want.rgbGreen) << x << "," << y;
            ASSERT_EQ(got.rgbBlue, want.rgbBlue) << x << "," << y;
            if (alpha) {
                ASSERT_EQ(got.rgbReserved, want.rgbReserved) << x << "," << y;
            }
        }
}

}  // namespace

TEST(CxImagePng, DecodesRgbaIntoPixelsAndAnAlphaPlane)
{
    const auto png = WritePng(13, 7, PngKind::Rgba, testpics::Pattern);
    CxImage image;
    ASSERT_TRUE(image.DecodePng(png.data(), png.size())) << image.GetLastError();
    ExpectPixels(image, 13, 7, true, testpics::Pattern);
}

TEST(CxImagePng, DecodesOpaqueKindsWithoutAlphaPlane)
{
    for (PngKind kind : {PngKind::Rgb, PngKind::Palette}) {
        const auto png = WritePng(6, 5, kind, kind == PngKind::Rgb ? Opaque : OpaqueFew);
        CxImage image;
        ASSERT_TRUE(image.DecodePng(png.data(), png.size())) << image.GetLastError();
        EXPECT_FALSE(image.AlphaIsValid());
    }
    const auto png = WritePng(6, 5, PngKind::Rgb, Opaque);
    CxImage image;
    ASSERT_TRUE(image.DecodePng(png.data(), png.size()));
    ExpectPixels(image, 6, 5, false, Opaque);
}

TEST(CxImagePng, PaletteTransparencyBecomesAlpha)
{
    const auto png = WritePng(5, 4, PngKind::PaletteWithTrns, FewColours);
    CxImage image;
    ASSERT_TRUE(image.DecodePng(png.data(), png.size())) << image.GetLastError();
    ExpectPixels(image, 5, 4, true, FewColours);
}

TEST(CxImagePng, GreySixteenBitAndInterlacedDecode)
{
    auto grey = [](uint32_t x, uint32_t y) {
        const auto v = static_cast<uint8_t>(x * 20 + y);
        return RGBQUAD{v, v, v, 255};
    };
    {
        const auto png = WritePng(9, 3, PngKind::Gray, grey);
        CxImage image;
        ASSERT_TRUE(image.DecodePng(png.data(), png.size()));
        ExpectPixels(image, 9, 3, false, grey);
    }
    {
        const auto png = WritePng(9, 3, PngKind::Rgba16, testpics::Pattern);  // high bytes carry the pattern
        CxImage image;
        ASSERT_TRUE(image.DecodePng(png.data(), png.size()));
        ExpectPixels(image, 9, 3, true, testpics::Pattern);
    }
    {
        const auto png = WritePng(17, 11, PngKind::Interlaced, testpics::Pattern);
        CxImage image;
        ASSERT_TRUE(image.DecodePng(png.data(), png.size()));
        ExpectPixels(image, 17, 11, true, testpics::Pattern);
    }
}

TEST(CxImagePng, DamagedDataFailsCleanlyAndKeepsThePicture)
{
    const auto png = WritePng(40, 30, PngKind::Rgba, testpics::Pattern);
    CxImage image = testpics::Make24(3, 3, testpics::Pattern);

    EXPECT_FALSE(image.DecodePng(nullptr, 0));
    EXPECT_FALSE(image.DecodePng(png.data(), 7));
    for (size_t cut : {size_t(8), size_t(20), size_t(40), png.size() / 2, png.size() - 13}) {
        EXPECT_FALSE(image.DecodePng(png.data(), cut)) << cut;
        EXPECT_STRNE(image.GetLastError(), "");
    }
    auto corrupt = png;
    for (size_t i = 60; i < corrupt.size() - 20; i += 7)
        corrupt[i] ^= 0x5A;
    EXPECT_FALSE(image.DecodePng(corrupt.data(), corrupt.size()));

    // A header that claims a picture above the memory ceiling is refused before decoding.
    auto huge = WritePng(1, 1, PngKind::Rgb, Opaque);
    // IHDR width and height at bytes 16..23, followed by the chunk's CRC which libpng checks:
    // rewrite the chunk and its CRC.
    const uint8_t size[8] = {0, 0, 0x75, 0x30, 0, 0, 0x75, 0x30};  // 30000 x 30000
    std::copy(size, size + 8, huge.begin() + 16);
    uLong crc = crc32(0, huge.data() + 12, 17);
    huge[29] = static_cast<uint8_t>(crc >> 24);
    huge[30] = static_cast<uint8_t>(crc >> 16);
    huge[31] = static_cast<uint8_t>(crc >> 8);
    huge[32] = static_cast<uint8_t>(crc);
    EXPECT_FALSE(image.DecodePng(huge.data(), huge.size()));
    EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");

    EXPECT_EQ(image.GetWidth(), 3u);
    EXPECT_TRUE(image.IsValid());
}
