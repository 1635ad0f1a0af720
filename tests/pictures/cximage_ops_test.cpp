// The pixel operations, checked pixel by pixel on small pictures with known bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/CxImage.h"
#include "test_pictures.h"

using Vantor::CxImage;
using testpics::Make24;
using testpics::Pattern;
using testpics::SamePixels;
using testpics::TopDown;

namespace {

RGBQUAD Grey(uint8_t v, uint8_t a = 255)
{
    return RGBQUAD{v, v, v, a};
}

// Every byte value 0..255 once in the blue, green and red of a 256 x 1 picture.
CxImage Ramp()
{
    return Make24(256, 1, [](uint32_t x, uint32_t) { return Grey(static_cast<uint8_t>(x)); }, true);
}

bool Same(RGBQUAD a, RGBQUAD b)
{
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue &&
           a.rgbReserved == b.rgbReserved;
}

}  // namespace

// --- Light ---

TEST(CxImageLight, FollowsTheBrightnessAndContrastTable)
{
    CxImage image = Ramp();
    const CxImage original = image;
    ASSERT_TRUE(image.Light(0, 0));
    EXPECT_TRUE(SamePixels(image, original));

    image = Ramp();
    ASSERT_TRUE(image.Light(100, 0));
    EXPECT_EQ(image.GetPixelColor(0, 0).rgbRed, 100);
    EXPECT_EQ(image.GetPixelColor(154, 0).rgbGreen, 254);
    EXPECT_EQ(image.GetPixelColor(155, 0).rgbBlue, 255);
    EXPECT_EQ(image.GetPixelColor(255, 0).rgbBlue, 255);

    image = Ramp();
    ASSERT_TRUE(image.Light(0, 100));
    EXPECT_EQ(image.GetPixelColor(64, 0).rgbRed, 0);
    EXPECT_EQ(image.GetPixelColor(128, 0).rgbRed, 128);
    EXPECT_EQ(image.GetPixelColor(191, 0).rgbRed, 254);
    EXPECT_EQ(image.GetPixelColor(192, 0).rgbRed, 255);

    image = Ramp();
    ASSERT_TRUE(image.Light(-40, 0));
    EXPECT_EQ(image.GetPixelColor(10, 0).rgbRed, 0);
    EXPECT_EQ(image.GetPixelColor(200, 0).rgbRed, 160);

    image = Ramp();
    ASSERT_TRUE(image.Light(0, -100));
    for (uint32_t x = 0; x < 256; ++x)
        ASSERT_EQ(image.GetPixelColor(x, 0).rgbGreen, 128) << x;
    // The alpha plane is not touched.
    for (uint32_t x = 0; x < 256; ++x)
        ASSERT_EQ(image.GetPixelColor(x, 0).rgbReserved, 255);
}

TEST(CxImageLight, PaletteImagesChangeTheirEntriesAndGreyStaysGrey)
{
    CxImage image = Make24(4, 2, Pattern);
    ASSERT_TRUE(image.GrayScale());
    const uint8_t before = image.GetPixelIndex(1, 1);
    ASSERT_TRUE(image.Light(10, 0));
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(image.GetPalette()[77].rgbRed, 77);  // still the identity grey palette
    EXPECT_EQ(image.GetPixelIndex(1, 1), before + 10);

    CxImage empty;
    EXPECT_FALSE(empty.Light(10, 10));
}

// --- Saturate and the HSL conversions ---

TEST(CxImageSaturate, ConvertsThroughHsl)
{
    RGBQUAD hsl = CxImage::RGBtoHSL(RGBQUAD{0, 0, 255, 0});  // red
    EXPECT_EQ(hsl.rgbRed, 0);      // H
    EXPECT_EQ(hsl.rgbGreen, 255);  // S
    EXPECT_EQ(hsl.rgbBlue, 128);   // L
    hsl = CxImage::RGBtoHSL(RGBQUAD{0, 255, 0, 0});
    EXPECT_EQ(hsl.rgbRed, 85);
    hsl = CxImage::RGBtoHSL(RGBQUAD{255, 0, 0, 0});
    EXPECT_EQ(hsl.rgbRed, 170);
    hsl = CxImage::RGBtoHSL(Grey(100));
    EXPECT_EQ(hsl.rgbRed, 170);
    EXPECT_EQ(hsl.rgbGreen, 0);
    EXPECT_EQ(hsl.rgbBlue, 100);
    // Magenta-ish: blue is the maximum, H = 170 + Gdelta - Rdelta, kept to its low byte.
    hsl = CxImage::RGBtoHSL(RGBQUAD{200, 10, 100, 0});
    const int d = 190;
    const int gDelta = ((200 - 10) * 42 + d / 2) / d;
    const int rDelta = ((200 - 100) * 42 + d / 2) / d;
    EXPECT_EQ(hsl.rgbRed, (170 + gDelta - rDelta) & 0xFF);

    // Round trips land near the start; hue in 42 steps per sixth of the circle costs up to ~4%.
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 51)
            for (int b = 0; b < 256; b += 85) {
                const RGBQUAD c{static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
                const RGBQUAD back = CxImage::HSLtoRGB(CxImage::RGBtoHSL(c));
                ASSERT_LE(std::abs(back.rgbRed - r), 12) << r << "," << g << "," << b;
                ASSERT_LE(std::abs(back.rgbGreen - g), 12) << r << "," << g << "," << b;
                ASSERT_LE(std::abs(back.rgbBlue - b), 12) << r << "," << g << "," << b;
            }
}

TEST(CxImageSaturate, GreyStaysGreyAndMinimumSaturationRemovesColour)
{
    CxImage grey = Make24(16, 1, [](uint32_t x, uint32_t) { return Grey(static_cast<uint8_t>(x * 16 + 3)); });
    ASSERT_TRUE(grey.Saturate(0, 1));
    for (uint32_t x = 0; x < 16; ++x) {
        const RGBQUAD c = grey.GetPixelColor(x, 0);
        EXPECT_EQ(c.rgbRed, c.rgbGreen);
        EXPECT_EQ(c.rgbGreen, c.rgbBlue);
        EXPECT_LE(std::abs(int(c.rgbRed) - int(x * 16 + 3)), 1);
    }

    CxImage colour = Make24(9, 7, Pattern, true);
    const CxImage original = colour;
    ASSERT_TRUE(colour.Saturate(-255, 1));
    for (uint32_t y = 0; y < 7; ++y)
        for (uint32_t x = 0; x < 9; ++x) {
            const RGBQUAD c = colour.GetPixelColor(x, y);
            ASSERT_EQ(c.rgbRed, c.rgbGreen);
            ASSERT_EQ(c.rgbGreen, c.rgbBlue);
            ASSERT_EQ(c.rgbReserved, original.GetPixelColor(x, y).rgbReserved);
        }

    // More saturation spreads the channels apart.
    CxImage dull = Make24(1, 1, [](uint32_t, uint32_t) { return RGBQUAD{100, 120, 140, 255}; });
    ASSERT_TRUE(dull.Saturate(100, 1));
    const RGBQUAD c = dull.GetPixelColor(0, 0);
    EXPECT_GT(c.rgbRed - c.rgbBlue, 40);
}

TEST(CxImageSaturate, EveryColourMakesTheRoundTripOfTheHslFunctions)
{
    // All 2^24 colours would be slow; every third value of each channel covers all paths.
    const uint32_t side = 86;
    CxImage image = Make24(side * side, side, [](uint32_t x, uint32_t y) {
        return RGBQUAD{static_cast<uint8_t>(3 * (x % 86)), static_cast<uint8_t>(3 * (x / 86)),
                       static_cast<uint8_t>(3 * y), 255};
    });
    for (int saturation : {0, 40, -70}) {
        CxImage saturated = image;
        ASSERT_TRUE(saturated.Saturate(saturation, 1));
        for (uint32_t y = 0; y < image.GetHeight(); ++y)
            for (uint32_t x = 0; x < image.GetWidth(); ++x) {
                RGBQUAD hsl = CxImage::RGBtoHSL(image.GetPixelColor(x, y));
                hsl.rgbGreen = static_cast<uint8_t>(std::clamp(hsl.rgbGreen + saturation, 0, 255));
                const RGBQUAD want = CxImage::HSLtoRGB(hsl);
                const RGBQUAD got = saturated.GetPixelColor(x, y);
                ASSERT_LE(std::abs(got.rgbRed - want.rgbRed), 1) << x << "," << y << " s " << saturation;
                ASSERT_LE(std::abs(got.rgbGreen - want.rgbGreen), 1) << x << "," << y << " s " << saturation;
                ASSERT_LE(std::abs(got.rgbBlue - want.rgbBlue), 1) << x << "," << y << " s " << saturation;
            }
    }
}

TEST(CxImageSaturate, RefusesAnUnknownColourSpace)
{
    CxImage image = Make24(3, 3, Pattern);
    const CxImage original = image;
    EXPECT_FALSE(image.Saturate(10, 3));
    EXPECT_STREQ(image.GetLastError(), "Saturate: wrong colorspace");
    EXPECT_TRUE(SamePixels(image, original));
}

// --- GrayScale ---

TEST(CxImageGrayScale, MakesEightBitGreyAndKeepsAlpha)
{
    CxImage image = Make24(5, 4, Pattern, true);
    const CxImage original = image;
    ASSERT_TRUE(image.GrayScale());
    EXPECT_EQ(image.GetBpp(), 8u);
    ASSERT_TRUE(image.AlphaIsValid());
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 5; ++x) {
            const RGBQUAD c = original.GetPixelColor(x, y);
            const int grey = (c.rgbRed * 306 + c.rgbGreen * 601 + c.rgbBlue * 117) >> 10;
            const RGBQUAD g = image.GetPixelColor(x, y);
            ASSERT_EQ(image.GetPixelIndex(x, y), grey);
            ASSERT_EQ(g.rgbRed, grey);
            ASSERT_EQ(g.rgbReserved, c.rgbReserved);
        }
}

// --- Resample ---

TEST(CxImageResample, SameSizeLeavesThePictureAndBadSizesFail)
{
    CxImage image = Make24(6, 4, Pattern, true);
    const CxImage original = image;
    EXPECT_TRUE(image.Resample(6, 4, 0));
    EXPECT_TRUE(SamePixels(image, original));
    CxImage copy;
    EXPECT_TRUE(image.Resample(6, 4, 1, &copy));
    EXPECT_TRUE(SamePixels(copy, original));
    EXPECT_FALSE(image.Resample(0, 4, 0));
    EXPECT_FALSE(image.Resample(6, -1, 1));
    EXPECT_TRUE(SamePixels(image, original));
}

TEST(CxImageResample, NearestPixelRepeatsAndPicks)
{
    CxImage image = Make24(3, 2, Pattern, true);
    CxImage doubled;
    ASSERT_TRUE(image.Resample(6, 4, 1, &doubled));
    ASSERT_EQ(doubled.GetWidth(), 6u);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 6; ++x)
            ASSERT_TRUE(Same(doubled.GetPixelColor(x, y), image.GetPixelColor(x / 2, y / 2))) << x << "," << y;

    CxImage source = Make24(7, 5, Pattern, true);
    CxImage small;
    ASSERT_TRUE(source.Resample(3, 2, 1, &small));
    const float xs = 7.0f / 3.0f, ys = 5.0f / 2.0f;
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            ASSERT_TRUE(Same(small.GetPixelColor(x, y), source.GetPixelColor(uint32_t(x * xs), uint32_t(y * ys))));
}

TEST(CxImageResample, BilinearForEnlargementsAndOneWayShrinks)
{
    CxImage line = Make24(2, 1, [](uint32_t x, uint32_t) { return Grey(x ? 100 : 0); });
    ASSERT_TRUE(line.Resample(4, 1, 0));
    EXPECT_EQ(line.GetPixelColor(0, 0).rgbRed, 0);
    EXPECT_EQ(line.GetPixelColor(1, 0).rgbRed, 50);
    EXPECT_EQ(line.GetPixelColor(2, 0).rgbRed, 100);
    EXPECT_EQ(line.GetPixelColor(3, 0).rgbRed, 100);

    // Narrower but taller: still bilinear (the area path needs a shrink both ways).
    CxImage block = Make24(4, 2, [](uint32_t x, uint32_t y) { return Grey(static_cast<uint8_t>(x * 40 + y * 10)); });
    ASSERT_TRUE(block.Resample(2, 4, 0));
    // New (1, 1) from the bottom: fx = 2, fy = 0.5 between stored rows 0 and 1.
    const float a = block.GetBpp() == 24 ? 0.0f : 0.0f;
    (void)a;
    const int bottom = 2 * 40 + 10;  // stored row 0 is the top-down row 1
    const int top = 2 * 40;
    EXPECT_EQ(block.GetPixelColor(1, 1).rgbRed, static_cast<uint8_t>(bottom + (top - bottom) * 0.5f));
}

namespace {

// The exact area average of the source cell of destination pixel (x, y), stored rows.
double AreaAverage(const CxImage& source, uint32_t newW, uint32_t newH, uint32_t x, uint32_t y, int channel)
{
    const double xs = double(source.GetWidth()) / newW, ys = double(source.GetHeight()) / newH;
    double sum = 0, weight = 0;
    for (uint32_t sy = 0; sy < source.GetHeight(); ++sy)
        for (uint32_t sx = 0; sx < source.GetWidth(); ++sx) {
            const double ox = std::max(0.0, std::min(sx + 1.0, (x + 1) * xs) - std::max(double(sx), x * xs));
            const double oy = std::max(0.0, std::min(sy + 1.0, (y + 1) * ys) - std::max(double(sy), y * ys));
            if (ox * oy <= 0)
                continue;
            const RGBQUAD c = source.GetPixelColor(sx, sy);
            const uint8_t v = channel == 0 ? c.rgbBlue : channel == 1 ? c.rgbGreen : c.rgbRed;
            sum += v * ox * oy;
            weight += ox * oy;
        }
    return sum / weight;
}

}  // namespace

TEST(CxImageResample, AreaAveragingShrinksBothWays)
{
    // Whole 2 x 2 cells: the truncated mean of four pixels.
    CxImage source = Make24(4, 4, Pattern);
    CxImage half;
    ASSERT_TRUE(source.Resample(2, 2, 0, &half));
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 2; ++x) {
            int sum = 0;
            for (uint32_t k = 0; k < 4; ++k)
                sum += source.GetPixelColor(2 * x + k % 2, 2 * y + k / 2).rgbRed;
            EXPECT_EQ(half.GetPixelColor(x, y).rgbRed, sum / 4) << x << "," << y;
        }

    // Cells that split pixels: within one unit of the exact area average.
    const struct {
        uint32_t w, h, newW, newH;
    } cases[] = {{3, 3, 2, 2}, {10, 7, 4, 3}, {37, 23, 5, 4}, {100, 75, 12, 9}, {64, 48, 63, 47}};
    for (const auto& c : cases) {
        CxImage picture = Make24(c.w, c.h, Pattern);
        CxImage small;
        ASSERT_TRUE(picture.Resample(c.newW, c.newH, 0, &small));
        ASSERT_EQ(small.GetWidth(), c.newW);
        ASSERT_EQ(small.GetHeight(), c.newH);
        for (uint32_t y = 0; y < c.newH; ++y)
            for (uint32_t x = 0; x < c.newW; ++x)
                for (int ch = 0; ch < 3; ++ch) {
                    const RGBQUAD got = small.GetPixelColor(x, y);
                    const int value = ch == 0 ? got.rgbBlue : ch == 1 ? got.rgbGreen : got.rgbRed;
                    ASSERT_NEAR(value, AreaAverage(picture, c.newW, c.newH, x, y, ch), 1.5)
                        << c.w << "x" << c.h << " to " << c.newW << "x" << c.newH << " at " << x << "," << y;
                }
    }

    // A large shrink of a white picture stays white (no overflow of the sums).
    CxImage white = Make24(3000, 2000, [](uint32_t, uint32_t) { return Grey(255); });
    ASSERT_TRUE(white.Resample(3, 2, 0));
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            EXPECT_EQ(white.GetPixelColor(x, y).rgbGreen, 255);
}

TEST(CxImageResample, AlphaFollowsByNearestSampling)
{
    CxImage image = Make24(8, 6, Pattern, true);
    CxImage small;
    ASSERT_TRUE(image.Resample(3, 2, 0, &small));
    ASSERT_TRUE(small.AlphaIsValid());
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            EXPECT_EQ(*small.AlphaGetPointer(x, y),
                      *image.AlphaGetPointer(uint32_t(x * (8.0f / 3.0f)), uint32_t(y * 3.0f)));
}

// --- Thumbnail and Expand ---

TEST(CxImageThumbnail, PadsWithoutEnlargingAndCentres)
{
    CxImage image = Make24(400, 300, Pattern, true);
    CxImage thumb;
    ASSERT_TRUE(image.Thumbnail(800, 600, RGBQUAD{0, 0, 0, 0}, &thumb));
    ASSERT_EQ(thumb.GetWidth(), 800u);
    ASSERT_EQ(thumb.GetHeight(), 600u);
    EXPECT_TRUE(Same(TopDown(thumb, 200, 150), TopDown(image, 0, 0)));
    EXPECT_TRUE(Same(TopDown(thumb, 599, 449), TopDown(image, 399, 299)));
    EXPECT_TRUE(Same(TopDown(thumb, 199, 150), RGBQUAD{0, 0, 0, 0}));
    EXPECT_TRUE(Same(TopDown(thumb, 200, 149), RGBQUAD{0, 0, 0, 0}));
    EXPECT_TRUE(Same(TopDown(thumb, 600, 450), RGBQUAD{0, 0, 0, 0}));
}

TEST(CxImageThumbnail, ScalesIntoTheBoxAndPadsTheOtherSide)
{
    CxImage image = Make24(400, 200, [](uint32_t, uint32_t) { return RGBQUAD{10, 20, 30, 255}; }, true);
    ASSERT_TRUE(image.Thumbnail(100, 100, RGBQUAD{0, 0, 0, 0}));
    ASSERT_EQ(image.GetWidth(), 100u);
    ASSERT_EQ(image.GetHeight(), 100u);
    for (uint32_t y = 0; y < 100; ++y) {
        const bool inside = y >= 25 && y < 75;
        const RGBQUAD c = TopDown(image, 50, y);
        ASSERT_EQ(c.rgbReserved, inside ? 255 : 0) << y;
        ASSERT_EQ(c.rgbRed, inside ? 30 : 0) << y;
    }
    EXPECT_FALSE(image.Thumbnail(0, 10, RGBQUAD{}));
    EXPECT_EQ(image.GetWidth(), 100u);
}

TEST(CxImageExpand, PutsTheOddMarginRightAndBelow)
{
    CxImage image = Make24(4, 3, Pattern, true);
    CxImage wider;
    ASSERT_TRUE(image.Expand(5, 3, RGBQUAD{1, 2, 3, 4}, &wider));
    EXPECT_TRUE(Same(TopDown(wider, 0, 0), TopDown(image, 0, 0)));
    EXPECT_TRUE(Same(TopDown(wider, 4, 1), RGBQUAD{1, 2, 3, 4}));
    CxImage taller;
    ASSERT_TRUE(image.Expand(4, 4, RGBQUAD{1, 2, 3, 4}, &taller));
    EXPECT_TRUE(Same(TopDown(taller, 2, 0), TopDown(image, 2, 0)));
    EXPECT_TRUE(Same(TopDown(taller, 2, 3), RGBQUAD{1, 2, 3, 4}));
    CxImage both;
    ASSERT_TRUE(image.Expand(8, 9, RGBQUAD{1, 2, 3, 4}, &both));  // left 2, top 3
    EXPECT_TRUE(Same(TopDown(both, 2, 3), TopDown(image, 0, 0)));
    EXPECT_TRUE(Same(TopDown(both, 5, 5), TopDown(image, 3, 2)));
    EXPECT_TRUE(Same(TopDown(both, 6, 5), RGBQUAD{1, 2, 3, 4}));

    CxImage copy = image;
    EXPECT_FALSE(copy.Expand(3, 3, RGBQUAD{}));
    EXPECT_TRUE(SamePixels(copy, image));
}

// --- Rotation ---

TEST(CxImageRotate, TurnsAQuarterAsSeen)
{
    CxImage image = Make24(5, 3, Pattern, true);
    CxImage left;
    ASSERT_TRUE(image.RotateLeft(&left));
    ASSERT_EQ(left.GetWidth(), 3u);
    ASSERT_EQ(left.GetHeight(), 5u);
    CxImage right;
    ASSERT_TRUE(image.RotateRight(&right));
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 3; ++x) {
            // Counter-clockwise: the old right column becomes the top row.
            ASSERT_TRUE(Same(TopDown(left, x, y), TopDown(image, 4 - y, x))) << x << "," << y;
            // Clockwise: the old left column becomes the top row, bottom first.
            ASSERT_TRUE(Same(TopDown(right, x, y), TopDown(image, y, 2 - x))) << x << "," << y;
        }
}

TEST(CxImageRotate, RoundTripsAreExactIncludingLargeTiledPictures)
{
    for (auto size : {std::pair<uint32_t, uint32_t>{5, 3}, {130, 67}, {64, 129}}) {
        CxImage image = Make24(size.first, size.second, Pattern, true);
        CxImage turned = image;
        ASSERT_TRUE(turned.RotateLeft());
        ASSERT_TRUE(turned.RotateRight());
        EXPECT_TRUE(SamePixels(turned, image));
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(turned.RotateLeft());
        EXPECT_TRUE(SamePixels(turned, image));
        CxImage twice = image;
        ASSERT_TRUE(twice.RotateRight());
        ASSERT_TRUE(twice.RotateRight());
        for (uint32_t y = 0; y < size.second; ++y)
            for (uint32_t x = 0; x < size.first; ++x)
                ASSERT_TRUE(Same(TopDown(twice, x, y), TopDown(image, size.first - 1 - x, size.second - 1 - y)));
    }
}

TEST(CxImageRotate, PaletteImagesTurnToo)
{
    CxImage image = Make24(6, 4, Pattern);
    ASSERT_TRUE(image.GrayScale());
    CxImage turned;
    ASSERT_TRUE(image.RotateRight(&turned));
    EXPECT_EQ(turned.GetBpp(), 8u);
    for (uint32_t y = 0; y < 6; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            ASSERT_TRUE(Same(TopDown(turned, x, y), TopDown(image, y, 3 - x)));
    CxImage empty;
    EXPECT_FALSE(empty.RotateLeft());
}

// --- Crop ---

TEST(CxImageCrop, KeepsTheRectangleWithClampingAndSwapping)
{
    CxImage image = Make24(40, 30, Pattern, true);
    CxImage whole;
    ASSERT_TRUE(image.Crop(-10, -10, 50, 50, &whole));
    EXPECT_TRUE(SamePixels(whole, image));

    CxImage part;
    ASSERT_TRUE(image.Crop(5, 3, 15, 13, &part));
    ASSERT_EQ(part.GetWidth(), 10u);
    ASSERT_EQ(part.GetHeight(), 10u);
    for (uint32_t y = 0; y < 10; ++y)
        for (uint32_t x = 0; x < 10; ++x)
            ASSERT_TRUE(Same(TopDown(part, x, y), TopDown(image, 5 + x, 3 + y)));
    CxImage reversed;
    ASSERT_TRUE(image.Crop(15, 13, 5, 3, &reversed));
    EXPECT_TRUE(SamePixels(reversed, part));

    CxImage copy = image;
    EXPECT_FALSE(copy.Crop(10, 10, 10, 20));
    EXPECT_FALSE(copy.Crop(50, 0, 60, 10));  // clamped to an empty strip at the right edge
    EXPECT_TRUE(SamePixels(copy, image));
}
