// The preview over a real list window with real picture files: it steps by item id through
// the list as it stands, survives items leaving while it is open, and fits large pictures on
// both sides into the screen. And the edit window opens only on an item whose picture decoded.
#include <gtest/gtest.h>

#include "Biz/ImageData.h"
#include "ListFixture.h"
#include "editor/ImageEditForm.h"
#include "editor/ImageViewForm.h"

using Vantor::ImageData;
using Vantor::ImageViewForm;
using Vantor::ListViewItem;
using Vantor::ListViewPostItem;
using listtest::PumpUntil;

TEST(PreviewSize, FitsBothSidesAndKeepsTheMinimum)
{
    const SIZE screen{1920, 1040};
    const SIZE large = ImageViewForm::WindowSizeFor(SIZE{4000, 3000}, screen);
    EXPECT_LE(large.cx, 1920);
    EXPECT_EQ(large.cy, 1040);
    EXPECT_EQ(large.cx, 1387);
    const SIZE wide = ImageViewForm::WindowSizeFor(SIZE{4000, 1000}, screen);
    EXPECT_EQ(wide.cx, 1920);
    EXPECT_EQ(wide.cy, 480);
    const SIZE small = ImageViewForm::WindowSizeFor(SIZE{400, 300}, screen);
    EXPECT_EQ(small.cx, ImageViewForm::kMinWidth);
    EXPECT_EQ(small.cy, ImageViewForm::kMinHeight);
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
    EXPECT_LE(r.right - r.left, GetSystemMetrics(SM_CXFULLSCREEN));
    EXPECT_LE(r.bottom - r.top, GetSystemMetrics(SM_CYFULLSCREEN));
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
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
    const SIZE expected = ImageViewForm::WindowSizeFor(SIZE{1600, 1200}, SIZE{GetSystemMetrics(SM_CXFULLSCREEN),
                                                                               GetSystemMetrics(SM_CYFULLSCREEN)});
    RECT r{};
    GetClientRect(window, &r);
    EXPECT_EQ(r.right, expected.cx);
    EXPECT_EQ(r.bottom, expected.cy);
    const SIZE image = view->ShownImageSize();
    EXPECT_GE(image.cx, r.right - 2);
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
