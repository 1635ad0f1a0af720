// Painting images into device contexts and making DIB sections of them.
#include <gtest/gtest.h>

#include <cstring>

#include "image/CxImage.h"
#include "platform/Handles.h"
#include "test_pictures.h"

using Vantor::CxImage;
using testpics::Make24;
using testpics::Pattern;
using testpics::TopDown;

namespace {

// A memory device context over a top-down 32-bit DIB filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill) : width_(width)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_.reset(CreateCompatibleDC(nullptr));
        bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
        previous_ = SelectObject(dc_.get(), bitmap_.get());
        for (int i = 0; i < width * height; ++i)
            static_cast<uint32_t*>(bits_)[i] = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
    }
    ~Canvas() { SelectObject(dc_.get(), previous_); }
    HDC dc() const { return dc_.get(); }
    RGBQUAD at(int x, int y) const
    {
        GdiFlush();
        const uint32_t v = static_cast<const uint32_t*>(bits_)[y * width_ + x];
        return RGBQUAD{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16), 0};
    }

private:
    int width_;
    Vantor::UniqueMemoryDC dc_;
    Vantor::GdiObject<HBITMAP> bitmap_;
    HGDIOBJ previous_ = nullptr;
    void* bits_ = nullptr;
};

bool SameColour(RGBQUAD a, RGBQUAD b)
{
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

}  // namespace

TEST(CxImageMakeBitmap, GivesABottomUpDibWithTheSamePixels)
{
    const CxImage image = Make24(7, 4, Pattern, true);
    Vantor::GdiObject<HBITMAP> bitmap(image.MakeBitmap());
    ASSERT_TRUE(bitmap);
    DIBSECTION section{};
    ASSERT_EQ(GetObject(bitmap.get(), sizeof(section), &section), int(sizeof(section)));
    EXPECT_EQ(section.dsBmih.biBitCount, 24);
    EXPECT_EQ(section.dsBm.bmWidth, 7);
    EXPECT_EQ(section.dsBmih.biHeight, 4);  // positive: bottom-up
    ASSERT_NE(section.dsBm.bmBits, nullptr);
    EXPECT_EQ(std::memcmp(section.dsBm.bmBits, image.GetBits(0), image.GetEffWidth() * 4), 0);

    // The transparent form carries alpha as a fourth byte.
    Vantor::GdiObject<HBITMAP> withAlpha(image.MakeBitmap(nullptr, true));
    ASSERT_EQ(GetObject(withAlpha.get(), sizeof(section), &section), int(sizeof(section)));
    EXPECT_EQ(section.dsBmih.biBitCount, 32);
    const auto* bytes = static_cast<const uint8_t*>(section.dsBm.bmBits);
    const RGBQUAD p = image.GetPixelColor(3, 2);
    EXPECT_EQ(bytes[(2 * 7 + 3) * 4 + 2], p.rgbRed);
    EXPECT_EQ(bytes[(2 * 7 + 3) * 4 + 3], p.rgbReserved);

    CxImage empty;
    EXPECT_EQ(empty.MakeBitmap(), nullptr);
}

TEST(CxImageDraw, PaintsAnOpaquePictureAtItsSizeAndStretched)
{
    const CxImage image = Make24(6, 5, Pattern);
    Canvas canvas(20, 20, RGB(9, 9, 9));
    ASSERT_TRUE(image.Draw(canvas.dc(), 2, 3));
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 6; ++x)
            ASSERT_TRUE(SameColour(canvas.at(2 + x, 3 + y), Pattern(x, y))) << x << "," << y;
    EXPECT_TRUE(SameColour(canvas.at(1, 3), RGBQUAD{9, 9, 9, 0}));
    EXPECT_TRUE(SameColour(canvas.at(8, 3), RGBQUAD{9, 9, 9, 0}));

    Canvas big(20, 20, RGB(9, 9, 9));
    ASSERT_TRUE(image.Draw(big.dc(), 0, 0, 12, 10));  // every pixel doubled
    for (uint32_t y = 0; y < 10; ++y)
        for (uint32_t x = 0; x < 12; ++x)
            ASSERT_TRUE(SameColour(big.at(x, y), Pattern(x / 2, y / 2))) << x << "," << y;
}

TEST(CxImageDraw, CompositesByTheAlphaPlane)
{
    // Column 0 transparent, column 1 opaque, column 2 half.
    auto colour = [](uint32_t x, uint32_t y) {
        const uint8_t alpha[] = {0, 255, 128};
        return RGBQUAD{200, 100, 40, alpha[x]};
    };
    const CxImage image = Make24(3, 2, colour, true);
    Canvas canvas(8, 8, RGB(10, 20, 30));
    ASSERT_TRUE(image.Draw(canvas.dc(), 1, 1));
    EXPECT_TRUE(SameColour(canvas.at(1, 1), RGBQUAD{30, 20, 10, 0}));
    EXPECT_TRUE(SameColour(canvas.at(2, 1), RGBQUAD{200, 100, 40, 0}));
    // (source * a + destination * (255 - a)) >> 8
    const RGBQUAD half = canvas.at(3, 2);
    EXPECT_EQ(half.rgbBlue, (200 * 128 + 30 * 127) >> 8);
    EXPECT_EQ(half.rgbGreen, (100 * 128 + 20 * 127) >> 8);
    EXPECT_EQ(half.rgbRed, (40 * 128 + 10 * 127) >> 8);
    EXPECT_TRUE(SameColour(canvas.at(0, 1), RGBQUAD{30, 20, 10, 0}));

    // Stretched: nearest source pixel, three times larger.
    Canvas big(12, 12, RGB(10, 20, 30));
    ASSERT_TRUE(image.Draw(big.dc(), 0, 0, 9, 6));
    EXPECT_TRUE(SameColour(big.at(2, 5), RGBQUAD{30, 20, 10, 0}));
    EXPECT_TRUE(SameColour(big.at(3, 0), RGBQUAD{200, 100, 40, 0}));
    EXPECT_TRUE(SameColour(big.at(5, 5), RGBQUAD{200, 100, 40, 0}));

    // Partly outside the canvas: only the visible part is touched, nothing fails.
    Canvas small(4, 4, RGB(10, 20, 30));
    EXPECT_TRUE(image.Draw(small.dc(), 2, -1));
    EXPECT_TRUE(SameColour(small.at(3, 0), RGBQUAD{200, 100, 40, 0}));
    EXPECT_TRUE(image.Draw(small.dc(), 50, 50));
}

TEST(CxImageDraw, PaletteTransparentIndexKeepsTheBackground)
{
    const uint8_t array[] = {3, 5, 3, 0};
    CxImage image;
    ASSERT_TRUE(image.CreateFromArray(array, 3, 1, 8, 4, false));
    image.SetPaletteColor(5, 250, 0, 0);
    image.SetTransIndex(3);
    Canvas canvas(4, 2, RGB(0, 0, 99));
    ASSERT_TRUE(image.Draw(canvas.dc(), 0, 0));
    EXPECT_TRUE(SameColour(canvas.at(0, 0), RGBQUAD{99, 0, 0, 0}));
    EXPECT_TRUE(SameColour(canvas.at(1, 0), RGBQUAD{0, 0, 250, 0}));
    EXPECT_TRUE(SameColour(canvas.at(2, 0), RGBQUAD{99, 0, 0, 0}));
}
