// Selection by mouse and keyboard: plain, Ctrl and Shift clicks, Ctrl+A, Delete, the anchor.
#include "ListFixture.h"

using namespace listtest;
using Ids = std::vector<int32_t>;

TEST_F(ListFixture, PlainCtrlAndShiftClicksSelectAsTheUserExpects)
{
    AddPictures(8);
    std::vector<int> changes;
    list_->SelectionChanged.connect([&](int v) { changes.push_back(v); });

    ClickItem(2);
    EXPECT_EQ(Selected(), (Ids{2}));
    EXPECT_EQ(list_->AnchorId(), 2);
    ClickItem(5, MK_CONTROL);
    EXPECT_EQ(Selected(), (Ids{2, 5}));
    ClickItem(2, MK_CONTROL);  // Ctrl on a selected item takes it out
    EXPECT_EQ(Selected(), (Ids{5}));
    EXPECT_FALSE(list_->FindById(2)->IsSelected());
    ClickItem(0);
    ClickItem(3, MK_SHIFT);
    EXPECT_EQ(Selected(), (Ids{0, 1, 2, 3}));
    ClickItem(1, MK_SHIFT);  // the anchor stays at 0
    EXPECT_EQ(Selected(), (Ids{0, 1}));
    EXPECT_FALSE(list_->FindById(3)->IsSelected());
    // A click on empty space clears everything.
    Click(POINT{kWidth - 30, kHeight - 5});
    EXPECT_TRUE(Selected().empty());
    for (const auto& item : list_->Items())
        EXPECT_FALSE(item->IsSelected());
    EXPECT_EQ(changes.size(), 7u);
    for (int v : changes)
        EXPECT_EQ(v, 0);
}

TEST_F(ListFixture, ShiftBeforeAnyPlainClickSelectsOnlyThatItem)
{
    AddPictures(4);
    ClickItem(2, MK_SHIFT);
    EXPECT_EQ(Selected(), (Ids{2}));
    EXPECT_EQ(list_->AnchorId(), -1);
}

TEST_F(ListFixture, TheAnchorIsDroppedWhenItsItemGoesOrTheListIsCleared)
{
    AddPictures(6);
    ClickItem(4);
    list_->RemoveItem(4);
    EXPECT_EQ(list_->AnchorId(), -1);
    // With the anchor gone a Shift click selects only the item, instead of a range from a
    // position that no longer exists.
    ClickItem(1, MK_SHIFT);
    EXPECT_EQ(Selected(), (Ids{1}));

    ClickItem(2);
    list_->RemoveSelected();
    EXPECT_EQ(list_->AnchorId(), -1);
    ClickItem(5, MK_SHIFT);
    EXPECT_EQ(Selected(), (Ids{5}));

    ClickItem(0);
    list_->Clear();
    EXPECT_EQ(list_->AnchorId(), -1);
    EXPECT_TRUE(Selected().empty());
    AddPictures(3);  // new ids 6, 7, 8
    ClickItem(8, MK_SHIFT);
    EXPECT_EQ(Selected(), (Ids{8}));

    // After a sort the anchor item still exists: the range follows the new order.
    ClickItem(8);
    list_->Sort(Vantor::SortMode::ByRemark);  // p0, p1, p2 again: 6, 7, 8
    ClickItem(6, MK_SHIFT);
    EXPECT_EQ(Selected(), (Ids{6, 7, 8}));
}

TEST_F(ListFixture, CtrlASelectsAllAndDeleteRemovesTheSelection)
{
    AddPictures(5);
    std::vector<int> removed;
    list_->ItemRemoved.connect([&](int id) { removed.push_back(id); });
    KeyUp('A', true);
    EXPECT_EQ(Selected(), (Ids{0, 1, 2, 3, 4}));
    KeyUp('A', false);  // A alone does nothing
    EXPECT_EQ(Selected().size(), 5u);
    ClickItem(1);
    ClickItem(3, MK_CONTROL);
    KeyUp(VK_DELETE);
    EXPECT_EQ(Order(), (Ids{0, 2, 4}));
    EXPECT_EQ(removed, (Ids{0}));
    EXPECT_TRUE(Selected().empty());
    // Delete with nothing selected still reports.
    KeyUp(VK_DELETE);
    EXPECT_EQ(Order(), (Ids{0, 2, 4}));
    EXPECT_EQ(removed, (Ids{0, 0}));
}

TEST_F(ListFixture, WhileUploadingItemsCannotBeSelectedOrDeleted)
{
    AddPictures(3);
    SetUploading(true);
    ClickItem(1);
    EXPECT_TRUE(Selected().empty());
    ClickItem(2, MK_CONTROL);
    ClickItem(0, MK_SHIFT);
    EXPECT_TRUE(Selected().empty());
    KeyUp('A', true);
    KeyUp(VK_DELETE);
    EXPECT_EQ(list_->Count(), 3);
    SetUploading(false);
    ClickItem(1);
    EXPECT_EQ(Selected(), (Ids{1}));
}

TEST_F(ListFixture, HoverFollowsTheMouseAndTheRemainingItems)
{
    AddPictures(3);
    SendMessageW(list_->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(ItemPoint(1).x, ItemPoint(1).y));
    EXPECT_EQ(list_->HoverId(), 1);
    EXPECT_TRUE(list_->FindById(1)->IsHovered());
    SendMessageW(list_->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(ItemPoint(2).x, ItemPoint(2).y));
    EXPECT_EQ(list_->HoverId(), 2);
    EXPECT_FALSE(list_->FindById(1)->IsHovered());
    SendMessageW(list_->hwnd(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(list_->HoverId(), -1);
    EXPECT_FALSE(list_->FindById(2)->IsHovered());
    // Removing the hovered item clears the hover.
    SendMessageW(list_->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(ItemPoint(2).x, ItemPoint(2).y));
    list_->RemoveItem(2);
    EXPECT_NE(list_->HoverId(), 2);
}

TEST_F(ListFixture, ADoubleClickFiresOneSignalOnly)
{
    AddPictures(2);
    EXPECT_TRUE(GetClassLongW(list_->hwnd(), GCL_STYLE) & CS_DBLCLKS);
    std::vector<int32_t> previews;
    Ids doubleClicked;
    list_->PreviewRequested.connect([&](int32_t id) { previews.push_back(id); });
    list_->ItemDoubleClicked.connect([&](Vantor::ListViewItem* item) { doubleClicked.push_back(item->Id()); });
    const POINT p = ItemPoint(1);
    SendMessageW(list_->hwnd(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(p.x, p.y));
    EXPECT_EQ(doubleClicked, (Ids{1}));
    // The preview request is the item's own button, not a second name for the double click.
    EXPECT_TRUE(previews.empty());
    // Not on a button.
    const POINT del = ButtonPoint(0, Vantor::ListViewPostItem::Del);
    SendMessageW(list_->hwnd(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(del.x, del.y));
    EXPECT_EQ(doubleClicked.size(), 1u);
}
