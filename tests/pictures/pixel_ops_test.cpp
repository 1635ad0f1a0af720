// Placement of stored pixels as seen, the Lanczos shrink and the fit to the page's limits.
#include <gtest/gtest.h>

#include <cmath>

#include "image/PixelOps.h"

using namespace Vantor;

namespace {

// A picture of distinct one-channel pixels, value(x, y) = 10 * y + x + 1.
Pixels Numbered(uint32_t width, uint32_t height)
{
    Pixels p;
    p.width = width;
    p.height = height;
    p.channels = 1;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            p.data.push_back(static_cast<uint8_t>(10 * y + x + 1));
    return p;
}

uint8_t At(const Pixels& p, uint32_t x, uint32_t y)
{
    return p.row(y)[x * p.channels];
}

// How a camera stores an upright W x H picture U for each EXIF orientation, written from the
// standard's own words ("the 0th row is the visual ..., the 0th column is the visual ...").
Pixels StoredFor(int orientation, const Pixels& upright)
{
    const uint32_t W = upright.width, H = upright.height;
    const bool swaps = orientation >= 5;
    Pixels s;
    s.width = swaps ? H : W;
    s.height = swaps ? W : H;
    s.channels = 1;
    s.data.resize(size_t(s.width) * s.height);
    for (uint32_t b = 0; b < s.height; ++b)
        for (uint32_t a = 0; a < s.width; ++a) {
            uint32_t x = a, y = b;  // the upright pixel stored at (a, b)
            switch (orientation) {
            case 2: x = W - 1 - a; break;                  // row 0 top, column 0 right
            case 3: x = W - 1 - a, y = H - 1 - b; break;   // row 0 bottom, column 0 right
            case 4: y = H - 1 - b; break;                  // row 0 bottom, column 0 left
            case 5: x = b, y = a; break;                   // row 0 left, column 0 top
            case 6: x = W - 1 - b, y = a; break;           // row 0 right, column 0 top
            case 7: x = W - 1 - b, y = H - 1 - a; break;   // row 0 right, column 0 bottom
            case 8: x = b, y = H - 1 - a; break;           // row 0 left, column 0 bottom
            default: break;
            }
            s.data[size_t(b) * s.width + a] = At(upright, x, y);
        }
    return s;
}

}  // namespace

TEST(PlacePixels, EveryOrientationComesOutUpright)
{
    const Pixels upright = Numbered(4, 3);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const Pixels stored = StoredFor(orientation, upright);
        Pixels placed;
        ASSERT_TRUE(PlacePixels(stored, Exif::PlacementOf(orientation), placed));
        EXPECT_EQ(placed.width, 4u) << orientation;
        EXPECT_EQ(placed.height, 3u) << orientation;
        EXPECT_EQ(placed.data, upright.data) << orientation;
    }
}

TEST(PlacePixels, TheUsersTurnsComeOnTopOfTheOrientation)
{
    const Pixels upright = Numbered(4, 3);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const Pixels stored = StoredFor(orientation, upright);
        Pixels once, twice;
        ASSERT_TRUE(PlacePixels(stored, Exif::PlacementOf(orientation).Turned(1), once));
        ASSERT_TRUE(PlacePixels(stored, Exif::PlacementOf(orientation).Turned(-2), twice));
        // One clockwise turn of the upright picture: its bottom-left corner comes to the top left.
        ASSERT_EQ(once.width, 3u);
        EXPECT_EQ(At(once, 0, 0), At(upright, 0, 2)) << orientation;
        EXPECT_EQ(At(once, 2, 0), At(upright, 0, 0)) << orientation;
        EXPECT_EQ(At(once, 0, 3), At(upright, 3, 2)) << orientation;
        // Half a turn: upside down.
        ASSERT_EQ(twice.width, 4u);
        EXPECT_EQ(At(twice, 0, 0), At(upright, 3, 2)) << orientation;
        EXPECT_EQ(At(twice, 3, 0), At(upright, 0, 2)) << orientation;
    }
}

TEST(ResizePixels, FlatStaysFlatAndFineDetailAveragesOut)
{
    Pixels flat;
    flat.width = 97;
    flat.height = 61;
    flat.channels = 3;
    for (size_t i = 0; i < size_t(97) * 61; ++i)
        flat.data.insert(flat.data.end(), {200, 13, 77});
    Pixels small;
    ASSERT_TRUE(ResizePixels(flat, 30, 19, small));
    ASSERT_EQ(small.data.size(), size_t(30) * 19 * 3);
    for (size_t i = 0; i < small.data.size(); i += 3)
        ASSERT_TRUE(small.data[i] == 200 && small.data[i + 1] == 13 && small.data[i + 2] == 77) << i;

    // A one-pixel checkerboard shrunk by an odd factor: a point sampler shows stripes, a
    // filter widened by the factor shows even grey.
    Pixels board;
    board.width = 330;
    board.height = 330;
    board.channels = 1;
    for (uint32_t y = 0; y < 330; ++y)
        for (uint32_t x = 0; x < 330; ++x)
            board.data.push_back((x + y) % 2 ? 255 : 0);
    ASSERT_TRUE(ResizePixels(board, 100, 100, small));
    double sum = 0, squares = 0;
    for (uint8_t v : small.data) {
        sum += v;
        squares += double(v) * v;
    }
    const double mean = sum / small.data.size();
    EXPECT_NEAR(mean, 127.5, 2.0);
    EXPECT_LT(std::sqrt(squares / small.data.size() - mean * mean), 4.0);
}

TEST(ResizePixels, KeepsEdgesWhereTheyAreAndRefusesNothingSizes)
{
    // Left half black, right half white, four channels: the edge stays in the middle.
    Pixels half;
    half.width = 400;
    half.height = 10;
    half.channels = 4;
    for (uint32_t y = 0; y < 10; ++y)
        for (uint32_t x = 0; x < 400; ++x)
            for (int c = 0; c < 4; ++c)
                half.data.push_back(x < 200 ? 0 : 255);
    Pixels small;
    ASSERT_TRUE(ResizePixels(half, 100, 5, small));
    EXPECT_EQ(small.row(2)[0], 0);
    EXPECT_EQ(small.row(2)[4 * 99 + 3], 255);
    EXPECT_LT(small.row(2)[4 * 47], 10);
    EXPECT_GT(small.row(2)[4 * 52], 245);
    EXPECT_NEAR(small.row(2)[4 * 49] + small.row(2)[4 * 50], 255, 40);

    EXPECT_FALSE(ResizePixels(half, 0, 5, small));
    EXPECT_FALSE(ResizePixels(half, 5, 0, small));
    EXPECT_FALSE(ResizePixels(Pixels{}, 5, 5, small));
    ASSERT_TRUE(ResizePixels(half, 400, 10, small));
    EXPECT_EQ(small.data, half.data);
    // Down to a single pixel: the mean.
    ASSERT_TRUE(ResizePixels(half, 1, 1, small));
    EXPECT_NEAR(small.data[0], 127.5, 2);
}

TEST(ResizePixels, ThreeAndFourChannelPassesAgreeByteForByte)
{
    // Three-channel pictures take the fast passes where the processor has them, other channel
    // counts the plain ones: the same picture must come out the same through both.
    Pixels rgb, rgba;
    rgb.width = rgba.width = 173;
    rgb.height = rgba.height = 131;
    rgb.channels = 3;
    rgba.channels = 4;
    uint32_t seed = 12345;
    for (uint32_t i = 0; i < 173u * 131u; ++i) {
        uint8_t c[3];
        for (uint8_t& v : c) {
            seed = seed * 1103515245u + 12345u;
            v = static_cast<uint8_t>(seed >> 16);
        }
        rgb.data.insert(rgb.data.end(), c, c + 3);
        rgba.data.insert(rgba.data.end(), {c[0], c[1], c[2], 255});
    }
    for (auto size : {std::make_pair(60u, 50u), std::make_pair(100u, 20u), std::make_pair(20u, 100u),
                      std::make_pair(172u, 131u), std::make_pair(300u, 200u), std::make_pair(3u, 1u)}) {
        Pixels a, b;
        ASSERT_TRUE(ResizePixels(rgb, size.first, size.second, a));
        ASSERT_TRUE(ResizePixels(rgba, size.first, size.second, b));
        ASSERT_EQ(a.width * a.height * 3, a.data.size());
        for (size_t i = 0; i < size_t(a.width) * a.height; ++i)
            ASSERT_TRUE(a.data[3 * i] == b.data[4 * i] && a.data[3 * i + 1] == b.data[4 * i + 1] &&
                        a.data[3 * i + 2] == b.data[4 * i + 2])
                << size.first << "x" << size.second << " pixel " << i;
    }
}

TEST(FitLimits, ShrinksToFitBothKeepingTheAspect)
{
    auto fit = [](uint32_t w, uint32_t h, uint32_t mw, uint32_t mh) {
        const LimitedSize s = FitLimits(w, h, mw, mh);
        return std::make_tuple(s.width, s.height, s.shrunk);
    };
    EXPECT_EQ(fit(4000, 3000, 0, 0), std::make_tuple(4000u, 3000u, false));
    EXPECT_EQ(fit(4000, 3000, 2048, 2048), std::make_tuple(2048u, 1536u, true));
    EXPECT_EQ(fit(3000, 4000, 2048, 2048), std::make_tuple(1536u, 2048u, true));
    EXPECT_EQ(fit(4000, 3000, 2048, 0), std::make_tuple(2048u, 1536u, true));
    EXPECT_EQ(fit(4000, 3000, 0, 1000), std::make_tuple(1333u, 1000u, true));
    EXPECT_EQ(fit(4000, 3000, 1000, 1000), std::make_tuple(1000u, 750u, true));
    EXPECT_EQ(fit(4000, 3000, 3000, 1000), std::make_tuple(1333u, 1000u, true));  // height limits more
    EXPECT_EQ(fit(4000, 3000, 4000, 3000), std::make_tuple(4000u, 3000u, false));  // exactly the limit
    EXPECT_EQ(fit(640, 480, 2048, 2048), std::make_tuple(640u, 480u, false));      // never enlarged
    EXPECT_EQ(fit(5000, 1, 100, 100), std::make_tuple(100u, 1u, true));             // at least one pixel
    EXPECT_EQ(fit(1001, 1000, 500, 0), std::make_tuple(500u, 500u, true));          // rounded, 499.5
    EXPECT_EQ(fit(0xFFFFFFFFu, 0xFFFFFFFFu, 3, 2), std::make_tuple(2u, 2u, true));  // no overflow
}
