// The preview over a real list window with real picture files: it steps by item id through
// the list as it stands, survives items leaving while it is open, and fits large pictures on
// both sides into the screen. And the edit window opens only on an item whose picture decoded.
#include <gtest/gtest.h>

#include <algorithm>

#include "Biz/ImageData.h"
#include "ListFixture.h"
#include "editor/ImageEditForm.h"
#include "editor/ImageViewForm.h"

using Vantor::ImageData;
using Vantor::ImageViewForm;
using Vantor::ListViewItem;
using Vantor::ListViewPostItem;
using listtest::PumpUntil;

TEST(PreviewSize, FitsBothSidesUnderTheCaptionAndKeepsTheMinimum)
{
    const SIZE area{1920, 1040};
    const int band = ImageViewForm::kCaptionHeight;
    const SIZE large = ImageViewForm::WindowSizeFor(SIZE{4000, 3000}, area);
    EXPECT_EQ(large.cy, 1040);
    EXPECT_EQ(large.cx, (1040 - band) * 4 / 3);
    const SIZE wide = ImageViewForm::WindowSizeFor(SIZE{4000, 1000}, area);
    EXPECT_EQ(wide.cx, 1920);
    EXPECT_EQ(wide.cy, 480 + band);
    const SIZE small = ImageViewForm::WindowSizeFor(SIZE{400, 300}, area);
    EXPECT_EQ(small.cx, ImageViewForm::kMinWidth);
    EXPECT_EQ(small.cy, ImageViewForm::kMinHeight);
    // A nearly square picture on a short screen is held to the screen's height, and the
    // minimum never makes the window larger than the area.
    const SIZE square = ImageViewForm::WindowSizeFor(SIZE{1000, 990}, SIZE{1440, 900});
    EXPECT_EQ(square.cy, 900);
    const SIZE tiny = ImageViewForm::WindowSizeFor(SIZE{400, 300}, SIZE{500, 380});
    EXPECT_EQ(tiny.cx, 500);
    EXPECT_EQ(tiny.cy, 380);
}

TEST(PreviewSize, PlacedWhereWantedInsideTheArea)
{
    const RECT area{0, 0, 1024, 738};
    const POINT centred = ImageViewForm::PlaceIn(SIZE{624, 438}, area, nullptr);
    EXPECT_EQ(centred.x, 200);
    EXPECT_EQ(centred.y, 150);
    const POINT wanted{900, -20};
    const POINT pushed = ImageViewForm::PlaceIn(SIZE{624, 438}, area, &wanted);
    EXPECT_EQ(pushed.x, 1024 - 624);
    EXPECT_EQ(pushed.y, 0);
}

class PreviewTest : public listtest::ListFixture {};

TEST_F(PreviewTest, StepsByIdThroughTheListAsItStands)
{
    const std::vector<int32_t> ids = AddPictures(5);
    ASSERT_EQ(ids.size(), 5u);
    ImageViewForm* view = ImageViewForm::Open(*list_, ids[1]);
    ASSERT_NE(view, nullptr);
    const HWND window = view->hwnd();
    EXPECT_EQ(view->ShownId(), ids[1]);
    EXPECT_TRUE(view->Step(1));
    EXPECT_EQ(view->ShownId(), ids[2]);
    EXPECT_TRUE(view->Step(-1));
    EXPECT_TRUE(view->Step(-1));
    EXPECT_EQ(view->ShownId(), ids[0]);
    EXPECT_FALSE(view->Step(-1));  // the first has no previous
    EXPECT_EQ(view->ShownId(), ids[0]);

    // The shown item leaves (an upload's end): the next is the one now in its place.
    ASSERT_TRUE(view->Step(1));
    list_->RemoveItem(ids[1]);
    EXPECT_TRUE(view->Step(1));
    EXPECT_EQ(view->ShownId(), ids[2]);
    // Items after it leave: it is the last now.
    list_->RemoveItem(ids[3]);
    list_->RemoveItem(ids[4]);
    EXPECT_FALSE(view->Step(1));
    EXPECT_TRUE(view->Step(-1));
    EXPECT_EQ(view->ShownId(), ids[0]);
    // Everything leaves: a step closes the window.
    list_->RemoveItem(ids[0]);
    list_->RemoveItem(ids[2]);
    EXPECT_FALSE(view->Step(1));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }, 5000));
}

namespace {

RECT WorkArea()
{
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

// Whether the caption band of the window's last frame holds dark (text) pixels left of x.
bool BandHasText(ImageViewForm& view, int right)
{
    const HDC screen = GetDC(nullptr);
    const HDC dc = CreateCompatibleDC(screen);
    const HGDIOBJ old = SelectObject(dc, view.GetBackBuffer());
    int dark = 0;
    for (int y = 2; y < ImageViewForm::kCaptionHeight - 2; ++y)
        for (int x = 2; x < right; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            dark += GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128;
        }
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return dark > 10;
}

}  // namespace

TEST_F(PreviewTest, FitsTheWorkAreaKeepsItsPlaceAndNamesTheFile)
{
    list_->AddFiles({Picture(L"first.png", 64, 48), Picture(L"tall.png", 300, 1800), Picture(L"wide.png", 900, 200)});
    ASSERT_TRUE(WaitForThumbnails());
    ASSERT_EQ(list_->Count(), 3);
    ImageViewForm* view = ImageViewForm::Open(*list_, list_->Items()[1]->Id());
    ASSERT_NE(view, nullptr);
    const HWND window = view->hwnd();
    const RECT work = WorkArea();
    RECT opened{};
    GetWindowRect(window, &opened);
    EXPECT_GE(opened.top, work.top);
    EXPECT_LE(opened.bottom, work.bottom);
    EXPECT_GE(opened.left, work.left);
    EXPECT_LE(opened.right, work.right);
    EXPECT_EQ(view->CaptionText(), L"tall.png    2/3");
    UpdateWindow(window);
    EXPECT_TRUE(BandHasText(*view, 60));

    // Stepping keeps the window where it is, at its size.
    ASSERT_TRUE(view->Step(1));
    EXPECT_EQ(view->CaptionText(), L"wide.png    3/3");
    RECT stepped{};
    GetWindowRect(window, &stepped);
    EXPECT_TRUE(EqualRect(&stepped, &opened));

    // Dragged by the caption band: the next preview opens where it was put.
    const POINT grab{200, 12};
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(grab.x, grab.y));
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(grab.x - 37, grab.y + 21));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(grab.x - 37, grab.y + 21));
    RECT moved{};
    GetWindowRect(window, &moved);
    EXPECT_EQ(moved.left, std::max<LONG>(work.left, opened.left - 37));
    SendMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(window); }, 5000));

    ImageViewForm* again = ImageViewForm::Open(*list_, list_->Items()[0]->Id());
    ASSERT_NE(again, nullptr);
    const HWND second = again->hwnd();
    RECT reopened{};
    GetWindowRect(second, &reopened);
    EXPECT_EQ(reopened.left, moved.left);
    EXPECT_EQ(reopened.top, moved.top);
    EXPECT_EQ(again->CaptionText(), L"first.png    1/3");
    SendMessageW(second, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(second); }, 5000));
}

TEST_F(PreviewTest, LargePictureIsFittedOnTheScreen)
{
    const std::wstring path = Picture(L"large.png", 3000, 2000);
    list_->AddFiles({path});
    ASSERT_TRUE(WaitForThumbnails());
    const int32_t id = list_->Items().front()->Id();
    ImageViewForm* view = ImageViewForm::Open(*list_, id);
    ASSERT_NE(view, nullptr);
    const HWND window = view->hwnd();
    RECT r{};
    GetWindowRect(window, &r);
    const RECT work = WorkArea();
    EXPECT_LE(r.right, work.right);
    EXPECT_LE(r.bottom, work.bottom);
    EXPECT_GE(r.left, work.left);
    EXPECT_GE(r.top, work.top);
    // The whole picture arrives from its thread (its full size is known from the record).
    EXPECT_EQ(view->ShownPictureSize().cx, 3000);
    EXPECT_EQ(view->ShownPictureSize().cy, 2000);
    SendMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }, 5000));
}

TEST_F(PreviewTest, APictureNotMeasuredYetIsFittedOnceDecoded)
{
    // The item is in the list before its thumbnail (and so its size) is known.
    const std::wstring path = Picture(L"unmeasured.png", 1600, 1200);
    ListViewItem* item = list_->AddItem(ListViewPostItem::Make(ImageData::CreateUnloaded(path)));
    ASSERT_TRUE(item);
    ASSERT_EQ(item->Record()->width(), 0u);
    ImageViewForm* view = ImageViewForm::Open(*list_, item->Id());
    ASSERT_NE(view, nullptr);
    const HWND window = view->hwnd();
    ASSERT_TRUE(PumpUntil([&] { return view->ShownPictureSize().cx == 1600; }, 20000));
    EXPECT_EQ(view->ShownPictureSize().cy, 1200);

    // The window and the image drawn have the picture's proportions, not a 1 x 1 stretch.
    const RECT work = WorkArea();
    const SIZE expected =
        ImageViewForm::WindowSizeFor(SIZE{1600, 1200}, SIZE{work.right - work.left, work.bottom - work.top});
    RECT r{};
    GetClientRect(window, &r);
    EXPECT_EQ(r.right, expected.cx);
    EXPECT_EQ(r.bottom, expected.cy);
    const SIZE image = view->ShownImageSize();
    EXPECT_GE(image.cy, r.bottom - ImageViewForm::kCaptionHeight - 2);
    EXPECT_NEAR(image.cx * 3, image.cy * 4, 8) << image.cx << " x " << image.cy;
    SendMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }, 5000));
}

TEST_F(PreviewTest, OnlyADecodedPictureMayBeEdited)
{
    // The flag comes with the decoded thumbnail; a file that does not decode never gets it,
    // and the edit window refuses that item without opening.
    const std::wstring good = Picture(L"good.png", 64, 48);
    const std::wstring bad = folder_.file(L"bad.png");
    ASSERT_TRUE(testpics::WriteBytes(bad, std::vector<uint8_t>(300, 0x42)));
    list_->AddFiles({good, bad});
    ASSERT_TRUE(WaitForThumbnails());
    ASSERT_EQ(list_->Count(), 2);
    Vantor::ListViewItem& goodItem = *list_->Items()[0];
    Vantor::ListViewItem& badItem = *list_->Items()[1];
    EXPECT_TRUE(goodItem.editReady);
    EXPECT_FALSE(badItem.editReady);
    EXPECT_FALSE(Vantor::EditListItem(*list_, badItem.Id(), host_->get()));
    EXPECT_FALSE(Vantor::EditListItem(*list_, 9999, host_->get()));
}
