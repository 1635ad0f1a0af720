// The picture being edited: every edit works on the full-resolution picture as it stands, the
// adjustments go on top of the geometry edits, the history steps one edit at a time, and what
// goes back to the item keeps its transparency. Expected pictures are made with the raster
// image's own operations on an independent copy, step by step.
#include <gtest/gtest.h>

#include "editor/PictureEdit.h"
#include "image/GdiplusBridge.h"
#include "test_pictures.h"

using Vantor::Adjustments;
using Vantor::CxImage;
using Vantor::PictureEdit;
using testpics::Make24;
using testpics::Pattern;
using testpics::SamePixels;
using testpics::TopDown;

namespace {

CxImage Picture(uint32_t width, uint32_t height, bool alpha = true) { return Make24(width, height, Pattern, alpha); }

PictureEdit EditOf(const CxImage& picture)
{
    PictureEdit edit;
    EXPECT_TRUE(edit.SetPicture(std::make_unique<CxImage>(picture)));
    return edit;
}

}  // namespace

TEST(PictureEdit, UntouchedPictureIsReturnedAsItCame)
{
    const CxImage source = Picture(37, 23);
    PictureEdit edit = EditOf(source);
    EXPECT_FALSE(edit.IsChanged());
    EXPECT_TRUE(SamePixels(*edit.Result(), source));
    // Adjustments back at zero are no change either.
    ASSERT_TRUE(edit.SetAdjustments(Adjustments{40, 0, 0}));
    EXPECT_TRUE(edit.IsChanged());
    ASSERT_TRUE(edit.SetAdjustments(Adjustments{}));
    EXPECT_FALSE(edit.IsChanged());
    EXPECT_TRUE(SamePixels(*edit.Result(), source));
}

TEST(PictureEdit, CropKeepsExactlyTheRectangleAsked)
{
    const CxImage source = Picture(160, 90);
    PictureEdit edit = EditOf(source);
    ASSERT_TRUE(edit.Crop(RECT{10, 5, 110, 55}));
    const CxImage& result = *edit.Result();
    ASSERT_EQ(result.GetWidth(), 100u);
    ASSERT_EQ(result.GetHeight(), 50u);
    for (uint32_t y : {0u, 17u, 49u})
        for (uint32_t x : {0u, 33u, 99u}) {
            const RGBQUAD want = TopDown(source, x + 10, y + 5), got = TopDown(result, x, y);
            EXPECT_EQ(std::make_tuple(got.rgbRed, got.rgbGreen, got.rgbBlue, got.rgbReserved),
                      std::make_tuple(want.rgbRed, want.rgbGreen, want.rgbBlue, want.rgbReserved))
                << x << "," << y;
        }
    // An empty rectangle is refused and records no step.
    EXPECT_FALSE(edit.Crop(RECT{20, 20, 20, 40}));
    EXPECT_EQ(edit.Size().cx, 100);
    ASSERT_TRUE(edit.Undo());
    EXPECT_FALSE(edit.CanUndo());
}

TEST(PictureEdit, ResizeGivesTheSizeAskedFromTheTurnedAndCroppedPicture)
{
    const CxImage source = Picture(60, 40);
    PictureEdit edit = EditOf(source);
    ASSERT_TRUE(edit.RotateRight());
    ASSERT_TRUE(edit.Crop(RECT{0, 0, 40, 50}));
    // Enlarging and changing the proportions are both allowed: exactly the size asked.
    ASSERT_TRUE(edit.Resize(97, 31));

    CxImage expected(source);
    ASSERT_TRUE(expected.RotateRight());
    ASSERT_TRUE(expected.Crop(0, 0, 40, 50));
    ASSERT_TRUE(expected.Resample(97, 31, 0));
    EXPECT_TRUE(SamePixels(*edit.Result(), expected));
}

TEST(PictureEdit, AdjustmentsGoTogetherOnTopOfTheGeometry)
{
    const CxImage source = Picture(50, 30, false);
    PictureEdit edit = EditOf(source);
    ASSERT_TRUE(edit.RotateLeft());
    ASSERT_TRUE(edit.SetAdjustments(Adjustments{50, 0, 0}));
    ASSERT_TRUE(edit.SetAdjustments(Adjustments{50, 30, 0}));
    ASSERT_TRUE(edit.SetAdjustments(Adjustments{50, 30, -40}));
    EXPECT_EQ(edit.Size().cx, 30);  // the turn stays

    CxImage expected(source);
    ASSERT_TRUE(expected.RotateLeft());
    ASSERT_TRUE(expected.Light(50, 30));
    ASSERT_TRUE(expected.Saturate(-40, 1));
    EXPECT_TRUE(SamePixels(*edit.Result(), expected));

    // A geometry edit after the adjustments keeps them; the geometry alone stays unadjusted.
    ASSERT_TRUE(edit.Crop(RECT{2, 3, 20, 33}));
    ASSERT_TRUE(expected.Crop(2, 3, 20, 33));
    EXPECT_TRUE(SamePixels(*edit.Result(), expected));
    CxImage geometry(source);
    ASSERT_TRUE(geometry.RotateLeft());
    ASSERT_TRUE(geometry.Crop(2, 3, 20, 33));
    EXPECT_TRUE(SamePixels(*edit.Geometry(), geometry));
    // The unchanged picture is never touched.
    EXPECT_TRUE(SamePixels(*edit.Unchanged(), source));
}

TEST(PictureEdit, UndoAndRedoStepOneEditAtATime)
{
    const CxImage source = Picture(40, 20);
    PictureEdit edit = EditOf(source);
    ASSERT_TRUE(edit.RotateLeft());                         // 20 x 40
    ASSERT_TRUE(edit.Crop(RECT{0, 0, 10, 30}));             // 10 x 30
    ASSERT_TRUE(edit.SetAdjustments(Adjustments{0, 50, 0}));
    ASSERT_TRUE(edit.Revert());                             // back to the start, as a step
    EXPECT_TRUE(SamePixels(*edit.Result(), source));
    EXPECT_FALSE(edit.IsChanged());

    ASSERT_TRUE(edit.Undo());  // the revert undone
    CxImage adjusted(source);
    ASSERT_TRUE(adjusted.RotateLeft());
    ASSERT_TRUE(adjusted.Crop(0, 0, 10, 30));
    CxImage cropped(adjusted);
    ASSERT_TRUE(adjusted.Light(0, 50));
    EXPECT_TRUE(SamePixels(*edit.Result(), adjusted));
    ASSERT_TRUE(edit.Undo());
    EXPECT_TRUE(SamePixels(*edit.Result(), cropped));
    EXPECT_EQ(edit.CurrentAdjustments(), Adjustments{});
    ASSERT_TRUE(edit.Undo());
    EXPECT_EQ(edit.Size().cx, 20);
    EXPECT_EQ(edit.Size().cy, 40);
    ASSERT_TRUE(edit.Undo());
    EXPECT_TRUE(SamePixels(*edit.Result(), source));
    EXPECT_FALSE(edit.Undo());

    ASSERT_TRUE(edit.Redo());
    ASSERT_TRUE(edit.Redo());
    EXPECT_TRUE(SamePixels(*edit.Result(), cropped));
    // A new edit drops what could have been redone.
    ASSERT_TRUE(edit.RotateRight());
    EXPECT_FALSE(edit.CanRedo());
    EXPECT_EQ(edit.Size().cx, 30);
    EXPECT_EQ(edit.Size().cy, 10);
}

TEST(PictureEdit, TransparencyTravelsThroughEditsAndBackToTheItem)
{
    const CxImage source = Picture(24, 16);  // alpha varies over the picture
    PictureEdit edit = EditOf(source);
    ASSERT_TRUE(edit.RotateRight());
    ASSERT_TRUE(edit.SetAdjustments(Adjustments{20, 0, 0}));
    const CxImage& result = *edit.Result();
    ASSERT_TRUE(result.AlphaIsValid());

    const std::unique_ptr<Gdiplus::Bitmap> bitmap = Vantor::BitmapKeepingAlpha(result);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->GetPixelFormat(), PixelFormat32bppARGB);
    ASSERT_EQ(bitmap->GetWidth(), 16u);
    ASSERT_EQ(bitmap->GetHeight(), 24u);
    for (UINT y : {0u, 5u, 23u})
        for (UINT x : {0u, 9u, 15u}) {
            Gdiplus::Color colour;
            ASSERT_EQ(bitmap->GetPixel(static_cast<INT>(x), static_cast<INT>(y), &colour), Gdiplus::Ok);
            const RGBQUAD want = TopDown(result, x, y);
            EXPECT_EQ(colour.GetA(), want.rgbReserved) << x << "," << y;
            if (want.rgbReserved == 255) {
                EXPECT_EQ(colour.GetR(), want.rgbRed) << x << "," << y;
            }
        }

    // An opaque picture goes back as plain 24-bit colour.
    const CxImage opaque = Make24(8, 8, [](uint32_t x, uint32_t y) { return RGBQUAD{1, 2, 3, 255}; }, true);
    const std::unique_ptr<Gdiplus::Bitmap> plain = Vantor::BitmapKeepingAlpha(opaque);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->GetPixelFormat() & PixelFormatAlpha, 0);
}
