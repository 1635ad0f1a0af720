// Undoing the user's last removal: the items come back where they were, with what the user
// did to them; only the user's own removals come back, and only the last one.
#include "ListFixture.h"

#include "Biz/ImageData.h"
#include "test_pictures.h"

using namespace listtest;
using Ids = std::vector<int32_t>;

TEST_F(ListFixture, CtrlZBringsBackTheWholeListWithItsNamesTurnsAndEdits)
{
    const Ids ids = AddPictures(6);
    const Ids order = Order();
    list_->FindById(ids[1])->Record()->setRemark(L"\u6D77\u8FB9");  // renamed
    list_->FindById(ids[3])->RotateImageRight();                     // turned
    ASSERT_TRUE(WaitForThumbnails());
    {
        Gdiplus::Bitmap bitmap(30, 20, PixelFormat24bppRGB);
        list_->FindById(ids[4])->SetEditedImage(&bitmap);  // edited
    }
    ASSERT_TRUE(WaitForThumbnails());
    ASSERT_TRUE(list_->FindById(ids[4])->Record()->isEdited());
    const auto turnedRecord = list_->FindById(ids[3])->Record();

    std::vector<int> undoable, undone;
    list_->RemovalUndoable.connect([&](int n) { undoable.push_back(n); });
    list_->RemovalUndone.connect([&](int n) { undone.push_back(n); });

    KeyUp('A', true);
    KeyUp(VK_DELETE);
    ASSERT_TRUE(list_->IsEmpty());
    EXPECT_EQ(undoable, (std::vector<int>{6}));
    EXPECT_EQ(list_->UndoableCount(), 6);

    KeyUp('Z', true);
    EXPECT_EQ(Order(), order);
    EXPECT_EQ(undone, (std::vector<int>{6}));
    EXPECT_EQ(list_->UndoableCount(), 0);
    EXPECT_EQ(list_->FindById(ids[1])->Record()->remark(), L"\u6D77\u8FB9");
    EXPECT_EQ(list_->FindById(ids[3])->Record(), turnedRecord);
    EXPECT_EQ(list_->FindById(ids[3])->Record()->quarterTurns(), 1);
    EXPECT_TRUE(list_->FindById(ids[4])->Record()->isEdited());
    // They come back chosen, and laid out in their cells again: a click hits the right one.
    EXPECT_EQ(Selected().size(), 6u);
    ClickItem(ids[5]);
    EXPECT_EQ(Selected(), (Ids{ids[5]}));
    // A second Ctrl+Z has nothing left to bring back.
    KeyUp('Z', true);
    EXPECT_EQ(list_->Count(), 6);
    // Z alone is no undo.
    KeyUp(VK_DELETE);
    KeyUp('Z', false);
    EXPECT_EQ(list_->Count(), 5);
}

TEST_F(ListFixture, ScatteredItemsReturnToTheirOwnPlaces)
{
    const Ids ids = AddPictures(8);
    ClickItem(ids[6]);
    ClickItem(ids[1], MK_CONTROL);
    ClickItem(ids[2], MK_CONTROL);
    KeyUp(VK_DELETE);
    EXPECT_EQ(Order(), (Ids{ids[0], ids[3], ids[4], ids[5], ids[7]}));
    // Only the last removal comes back: the item's own button now removes another.
    ClickItem(ids[4]);
    Click(ButtonPoint(ids[4], Vantor::ListViewPostItem::Del));
    ASSERT_TRUE(PumpUntil([&] { return list_->FindById(ids[4]) == nullptr; }, 5000));
    EXPECT_EQ(list_->UndoableCount(), 1);
    EXPECT_TRUE(list_->UndoRemoval());
    EXPECT_EQ(Order(), (Ids{ids[0], ids[3], ids[4], ids[5], ids[7]}));
    EXPECT_EQ(list_->FocusId(), ids[4]);
    EXPECT_FALSE(list_->UndoRemoval());

    // Back in their places among the others, also when the list was sorted meanwhile.
    ClickItem(ids[0]);
    ClickItem(ids[5], MK_CONTROL);
    list_->RemoveSelected();
    EXPECT_EQ(Order(), (Ids{ids[3], ids[4], ids[7]}));
    EXPECT_TRUE(list_->UndoRemoval());
    EXPECT_EQ(Order(), (Ids{ids[0], ids[3], ids[4], ids[5], ids[7]}));
}

TEST_F(ListFixture, RemovalsThatAreNotTheUsersAndChangesAfterwardsCannotBeUndone)
{
    const Ids ids = AddPictures(4);
    // What an upload takes out (the list's plain removal) stays out.
    list_->RemoveItem(ids[0]);
    EXPECT_EQ(list_->UndoableCount(), 0);
    EXPECT_FALSE(list_->UndoRemoval());

    // Files added after a removal end the chance to undo it.
    ClickItem(ids[1]);
    KeyUp(VK_DELETE);
    EXPECT_EQ(list_->UndoableCount(), 1);
    std::vector<int> undone;
    list_->RemovalUndone.connect([&](int n) { undone.push_back(n); });
    list_->AddFiles({Picture(L"later.png")});
    EXPECT_EQ(list_->UndoableCount(), 0);
    EXPECT_EQ(undone, (std::vector<int>{0}));
    KeyUp('Z', true);
    EXPECT_EQ(list_->FindById(ids[1]), nullptr);

    // So does an upload starting; and while it runs nothing comes back.
    ClickItem(ids[2]);
    KeyUp(VK_DELETE);
    EXPECT_EQ(list_->UndoableCount(), 1);
    SetUploading(true);
    EXPECT_EQ(list_->UndoableCount(), 0);
    KeyUp('Z', true);
    EXPECT_EQ(list_->FindById(ids[2]), nullptr);
    SetUploading(false);

    // And clearing the list.
    ClickItem(ids[3]);
    KeyUp(VK_DELETE);
    list_->Clear();
    EXPECT_EQ(list_->UndoableCount(), 0);
    EXPECT_FALSE(list_->UndoRemoval());
    EXPECT_TRUE(list_->IsEmpty());
}
