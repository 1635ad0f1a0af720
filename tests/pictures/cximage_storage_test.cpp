// Creating images, building them from arrays and copying them.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/CxImage.h"
#include "test_pictures.h"

using Vantor::CxImage;
using testpics::Make24;
using testpics::Pattern;
using testpics::TopDown;

TEST(CxImageCreate, LaysOutAZeroedDibBlock)
{
    CxImage image;
    ASSERT_TRUE(image.Create(5, 3, 24));
    EXPECT_EQ(image.GetWidth(), 5u);
    EXPECT_EQ(image.GetHeight(), 3u);
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_EQ(image.GetEffWidth(), 16u);  // 15 bytes rounded up to a 4-byte boundary
    const BITMAPINFOHEADER* header = image.GetInfoHeader();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(header->biWidth, 5);
    EXPECT_EQ(header->biHeight, 3);
    EXPECT_EQ(header->biBitCount, 24);
    // Pixels follow the header directly, one stride apart.
    EXPECT_EQ(image.GetBits(0), reinterpret_cast<const uint8_t*>(header) + 40);
    EXPECT_EQ(image.GetBits(1) - image.GetBits(0), 16);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t i = 0; i < 16; ++i)
            EXPECT_EQ(image.GetBits(y)[i], 0);
    EXPECT_EQ(image.GetBits(3), nullptr);
    EXPECT_FALSE(image.AlphaIsValid());
}

TEST(CxImageCreate, MapsDepthsAndSizesPalettes)
{
    const struct {
        uint32_t asked, got, colors, stride;
    } cases[] = {{0, 1, 2, 4}, {1, 1, 2, 4}, {2, 4, 16, 8}, {4, 4, 16, 8}, {5, 8, 256, 12},
                 {8, 8, 256, 12}, {16, 24, 0, 32}, {32, 24, 0, 32}};
    for (const auto& c : cases) {
        CxImage image;
        ASSERT_TRUE(image.Create(10, 2, c.asked)) << c.asked;
        EXPECT_EQ(image.GetBpp(), c.got) << c.asked;
        EXPECT_EQ(image.GetNumColors(), c.colors) << c.asked;
        EXPECT_EQ(image.GetEffWidth(), c.stride) << c.asked;
        EXPECT_EQ(image.GetBits(0) - reinterpret_cast<const uint8_t*>(image.GetInfoHeader()), 40 + 4 * int(c.colors));
    }
}

TEST(CxImageCreate, RefusesZeroSizesAndTheMemoryCeiling)
{
    CxImage image;
    EXPECT_FALSE(image.Create(0, 10, 24));
    EXPECT_STREQ(image.GetLastError(), "CxImage::Create : width and height must be greater than zero");
    EXPECT_FALSE(image.Create(10, 0, 24));
    EXPECT_FALSE(image.IsValid());

    EXPECT_FALSE(image.Create(20000, 20000, 24));
    EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");
    EXPECT_FALSE(image.IsValid());
    // Just over the ceiling, at 8 and at 24 bits.
    EXPECT_FALSE(image.Create(16384, 16385, 8));
    EXPECT_FALSE(image.Create(10000, 9000, 24));
}

TEST(CxImageCreate, ChecksWhatItReallyAllocatesIn64Bits)
{
    // Two 1-bit pixels take a 4-byte row: 2^30 rows are 4 GiB, which wrapped to 0 in 32 bits
    // and passed as 48 bytes, while width x height x depth said 256 MiB.
    CxImage image;
    EXPECT_FALSE(image.Create(2, 1u << 30, 1));
    EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");
    EXPECT_FALSE(image.IsValid());
    EXPECT_FALSE(image.Create(0xFFFFFFFFu, 1, 24));  // the row length itself wraps in 32 bits
    EXPECT_FALSE(image.Create(1u << 31, 2, 1));
    EXPECT_FALSE(image.Create(1, 1u << 28, 24));     // 4 bytes a row for one pixel

    // An existing alpha plane counts too: 1 bit a pixel is small, a byte a pixel is not.
    CxImage withAlpha = Make24(2, 2, Pattern, true);
    EXPECT_FALSE(withAlpha.Create(32768, 16384, 1));
    EXPECT_TRUE(withAlpha.IsValid());  // a refused Create leaves the image as it was
    EXPECT_EQ(withAlpha.GetWidth(), 2u);

    // What does pass is really there: the last row can be written end to end.
    ASSERT_TRUE(image.Create(1u << 20, 64, 1));
    EXPECT_EQ(image.GetEffWidth(), (1u << 20) / 8);
    EXPECT_EQ(image.GetInfoHeader()->biSizeImage, (1u << 17) * 64);
    std::memset(image.GetBits(63), 0xFF, image.GetEffWidth());
}

TEST(CxImageCreate, ReCreatesAnExistingAlphaPlaneAtTheNewSize)
{
    CxImage image = Make24(4, 4, Pattern, true);
    ASSERT_TRUE(image.Create(7, 2, 24));
    ASSERT_TRUE(image.AlphaIsValid());
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 7; ++x)
            EXPECT_EQ(*image.AlphaGetPointer(x, y), 255);
}

TEST(CxImageFromArray, ThirtyTwoBitsFlippedShowsTheFirstRowAtTheTop)
{
    // 3 x 2 pixels, BGRA, first row first.
    const uint8_t array[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12,  //
                             21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
    CxImage image;
    ASSERT_TRUE(image.CreateFromArray(array, 3, 2, 32, 12, true));
    EXPECT_EQ(image.GetBpp(), 24u);
    ASSERT_TRUE(image.AlphaIsValid());
    RGBQUAD top = TopDown(image, 1, 0);
    EXPECT_EQ(top.rgbBlue, 5);
    EXPECT_EQ(top.rgbGreen, 6);
    EXPECT_EQ(top.rgbRed, 7);
    EXPECT_EQ(top.rgbReserved, 8);
    RGBQUAD bottom = TopDown(image, 2, 1);
    EXPECT_EQ(bottom.rgbBlue, 29);
    EXPECT_EQ(bottom.rgbReserved, 32);

    // Without flip the first array row is the first stored row, the bottom.
    ASSERT_TRUE(image.CreateFromArray(array, 3, 2, 32, 12, false));
    EXPECT_EQ(image.GetPixelColor(0, 0).rgbBlue, 1);
    EXPECT_EQ(image.GetPixelColor(0, 1).rgbBlue, 21);
}

TEST(CxImageFromArray, LowDepthsGetAGreyPaletteAndRowsCopiedByteForByte)
{
    const uint8_t array[] = {0, 85, 170, 255, 9, 9,  //
                             1, 2, 3, 4, 9, 9};
    CxImage image;
    ASSERT_TRUE(image.CreateFromArray(array, 4, 2, 8, 6, false));
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(image.GetPalette()[200].rgbGreen, 200);
    EXPECT_EQ(image.GetPixelIndex(2, 0), 170);
    EXPECT_EQ(image.GetPixelIndex(3, 1), 4);
    EXPECT_FALSE(image.AlphaIsValid());

    CxImage mono;
    const uint8_t bits[] = {0xA0, 0, 0, 0};
    ASSERT_TRUE(mono.CreateFromArray(bits, 3, 1, 1, 4, false));
    EXPECT_EQ(mono.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(mono.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(mono.GetPixelIndex(2, 0), 1);
    EXPECT_EQ(mono.GetPalette()[1].rgbRed, 255);

    EXPECT_FALSE(image.CreateFromArray(array, 2, 2, 16, 6, false));
    EXPECT_EQ(image.GetWidth(), 4u);  // unchanged by the failure
}

TEST(CxImageCopy, IsDeepAndCarriesAlphaPaletteAndBackground)
{
    CxImage source = Make24(9, 5, Pattern, true);
    source.SetBkColor(RGBQUAD{1, 2, 3, 4});
    CxImage copy;
    ASSERT_TRUE(copy.Copy(source));
    EXPECT_TRUE(testpics::SamePixels(copy, source));
    EXPECT_EQ(copy.GetBkColor().rgbRed, 3);
    source.GetBits(0)[0] ^= 0xFF;
    *source.AlphaGetPointer(0, 0) ^= 0xFF;
    EXPECT_FALSE(testpics::SamePixels(copy, source));

    // A source without alpha discards the copy's plane.
    CxImage opaque = Make24(2, 2, Pattern);
    ASSERT_TRUE(copy.Copy(opaque));
    EXPECT_FALSE(copy.AlphaIsValid());

    CxImage grey;
    const uint8_t array[] = {7, 8, 0, 0};
    ASSERT_TRUE(grey.CreateFromArray(array, 2, 1, 8, 4, false));
    grey.SetTransIndex(8);
    grey.SetPaletteColor(8, 200, 100, 50);
    CxImage greyCopy(grey);
    EXPECT_EQ(greyCopy.GetBpp(), 8u);
    EXPECT_EQ(greyCopy.GetPixelIndex(1, 0), 8);
    EXPECT_EQ(greyCopy.GetTransIndex(), 8);
    EXPECT_EQ(greyCopy.GetTransColor().rgbRed, 200);
    EXPECT_EQ(greyCopy.GetTransColor().rgbBlue, 50);

    CxImage empty;
    EXPECT_FALSE(copy.Copy(empty));
    EXPECT_TRUE(copy.IsValid());
}

TEST(CxImageTransColor, IsTheBackgroundUnlessAPaletteIndexIsSet)
{
    CxImage image = Make24(2, 2, Pattern);
    const RGBQUAD fresh = image.GetTransColor();
    EXPECT_EQ(fresh.rgbBlue | fresh.rgbGreen | fresh.rgbRed | fresh.rgbReserved, 0);
    image.SetBkColor(RGBQUAD{255, 0, 255, 0});
    image.SetTransIndex(3);  // ignored at 24 bits
    EXPECT_EQ(image.GetTransColor().rgbBlue, 255);
    EXPECT_EQ(image.GetTransColor().rgbGreen, 0);
}
