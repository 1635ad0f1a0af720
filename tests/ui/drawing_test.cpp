// The GDI helpers, checked pixel by pixel on a 32-bit DIB section.
#include <gtest/gtest.h>

#include "Canvas.h"
#include "ui/Drawing.h"
#include "ui/Theme.h"

namespace {

TEST(Drawing, BoxesAndFramesLieInsideTheirRectangle)
{
    Canvas c(40, 40);
    DrawBox(c.dc(), RGB(230, 242, 253), RGB(166, 197, 225), RECT{0, 0, 20, 10});
    EXPECT_EQ(c.At(0, 0), RGB(166, 197, 225));
    EXPECT_EQ(c.At(19, 9), RGB(166, 197, 225));
    EXPECT_EQ(c.At(5, 5), RGB(230, 242, 253));
    EXPECT_EQ(c.At(20, 10), RGB(0, 0, 0));

    // Width 2 frames the rectangle and the ring just inside it.
    FrameDouble(c.dc(), RECT{20, 20, 40, 40}, 2, RGB(216, 216, 216));
    EXPECT_EQ(c.At(20, 20), RGB(216, 216, 216));
    EXPECT_EQ(c.At(21, 21), RGB(216, 216, 216));
    EXPECT_EQ(c.At(22, 22), RGB(0, 0, 0));
    EXPECT_EQ(c.At(39, 30), RGB(216, 216, 216));
    EXPECT_EQ(c.At(38, 30), RGB(216, 216, 216));
    // Width 1 frames once.
    FrameDouble(c.dc(), RECT{0, 20, 10, 30}, 1, RGB(1, 2, 3));
    EXPECT_EQ(c.At(0, 25), RGB(1, 2, 3));
    EXPECT_EQ(c.At(1, 25), RGB(0, 0, 0));

    DrawLine(c.dc(), RGB(255, 0, 0), POINT{0, 35}, POINT{10, 35});
    EXPECT_EQ(c.At(0, 35), RGB(255, 0, 0));
    EXPECT_EQ(c.At(9, 35), RGB(255, 0, 0));
    EXPECT_EQ(c.At(10, 35), RGB(0, 0, 0));  // LineTo leaves out the end point
}

TEST(Drawing, GradientRunsFromTopToBottom)
{
    Canvas c(10, 100);
    GradientBox(c.dc(), RECT{0, 0, 10, 100}, RGB(255, 255, 255), RGB(0, 0, 200));
    const COLORREF top = c.At(5, 0);
    const COLORREF bottom = c.At(5, 99);
    EXPECT_GE(GetRValue(top), 250);
    EXPECT_LE(GetRValue(bottom), 5);
    EXPECT_GE(GetBValue(bottom), 195);
    // Rows, not columns, change.
    EXPECT_EQ(c.At(0, 50), c.At(9, 50));
}

TEST(Drawing, TextHelpersRestoreTheContext)
{
    Canvas c(200, 40);
    HFONT font = Theme::Instance().NormalFont();
    ASSERT_TRUE(font);
    const HGDIOBJ before = GetCurrentObject(c.dc(), OBJ_FONT);
    SetTextColor(c.dc(), RGB(9, 9, 9));
    SetBkMode(c.dc(), OPAQUE);
    DrawTextIn(c.dc(), RECT{0, 0, 200, 40}, L"Fotoloft \u6DFB\u52A0", RGB(255, 255, 255), font,
               DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_FONT), before);
    EXPECT_EQ(GetTextColor(c.dc()), RGB(9, 9, 9));
    EXPECT_EQ(GetBkMode(c.dc()), OPAQUE);
    int lit = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x)
            lit += c.At(x, y) != RGB(0, 0, 0);
    EXPECT_GT(lit, 20) << "the caption drew nothing";
    // A transparent background: the corners keep the canvas colour.
    EXPECT_EQ(c.At(0, 0), RGB(0, 0, 0));

    const SIZE withFont = MeasureText(c.dc(), L"\u5168\u9009", font);
    EXPECT_GT(withFont.cx, 0);
    EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_FONT), before);
    EXPECT_EQ(MeasureText(c.dc(), L"", font).cx, 0);
    EXPECT_EQ(MeasureText(c.dc(), nullptr, 3, font).cx, 0);
}

TEST(Theme, FontsAndColours)
{
    Theme& theme = Theme::Instance();
    EXPECT_EQ(&theme, &Theme::Instance());
    LOGFONTW normal{}, bold{};
    ASSERT_TRUE(GetObjectW(theme.NormalFont(), sizeof(normal), &normal));
    ASSERT_TRUE(GetObjectW(theme.BoldFont(), sizeof(bold), &bold));
    EXPECT_EQ(normal.lfHeight, 12);
    EXPECT_EQ(normal.lfWeight, 400);
    EXPECT_EQ(bold.lfWeight, 700);
    EXPECT_STREQ(normal.lfFaceName, L"\u65B0\u5B8B\u4F53");
    EXPECT_EQ(normal.lfPitchAndFamily, FF_SWISS);
    EXPECT_EQ(theme.DisabledTextColor(), RGB(193, 193, 193));
    EXPECT_EQ(theme.NormalTextColor(), RGB(51, 51, 51));
}

}  // namespace
