// Scrolling a long list: the scroll bar's arrows, the wheel, and removals that keep the place.
#include "ListFixture.h"

using namespace listtest;
using Ids = std::vector<int32_t>;

namespace {

constexpr int kRowStep = 151 + 32;  // the fixture's item height and the row gap

void Wheel(HWND list, int delta)
{
    SendMessageW(list, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))), 0);
}

int IndexOnScreenTop(const Vantor::ListView& list)
{
    // The first item whose cell starts at or below the top of the view.
    for (int i = 0; i < list.Count(); ++i)
        if (list.Items()[i]->GetRect().top >= list.ScrollPos())
            return i;
    return -1;
}

}  // namespace

TEST_F(ListFixture, ScrollArrowsAndTheWheelMoveWholeRows)
{
    AddPictures(30);  // 3 columns, 10 rows: far more than the 400 pixels show
    const HWND hwnd = list_->hwnd();
    ASSERT_GT(list_->MaxScroll(), 4 * kRowStep);
    ASSERT_EQ(list_->ScrollPos(), 0);

    SendMessageW(hwnd, WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(list_->ScrollPos(), kRowStep);
    SendMessageW(hwnd, WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(list_->ScrollPos(), 2 * kRowStep);
    SendMessageW(hwnd, WM_VSCROLL, SB_LINEUP, 0);
    EXPECT_EQ(list_->ScrollPos(), kRowStep);
    // The bar's thumb follows.
    EXPECT_EQ(GetScrollPos(hwnd, SB_VERT), kRowStep);
    SendMessageW(hwnd, WM_VSCROLL, SB_LINEUP, 0);
    SendMessageW(hwnd, WM_VSCROLL, SB_LINEUP, 0);  // at the top already
    EXPECT_EQ(list_->ScrollPos(), 0);

    // A notch down: the system's lines, a row each, at most the two whole rows the view holds.
    UINT lines = 0;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0));
    const int rows = static_cast<int>(std::min<UINT>(lines, (kHeight / kRowStep)));
    ASSERT_GT(rows, 0);
    Wheel(hwnd, -WHEEL_DELTA);
    EXPECT_EQ(list_->ScrollPos(), rows * kRowStep);
    EXPECT_EQ(list_->ScrollPos() % kRowStep, 0);
    Wheel(hwnd, WHEEL_DELTA);
    EXPECT_EQ(list_->ScrollPos(), 0);
    // A fine wheel's half notches add up to one notch; one alone does nothing.
    Wheel(hwnd, -WHEEL_DELTA / 2);
    EXPECT_EQ(list_->ScrollPos(), 0);
    Wheel(hwnd, -WHEEL_DELTA / 2);
    EXPECT_EQ(list_->ScrollPos(), rows * kRowStep);
    // Two notches at once move twice as far; the end of the list stops the wheel.
    Wheel(hwnd, -2 * WHEEL_DELTA);
    EXPECT_EQ(list_->ScrollPos(), std::min(list_->MaxScroll(), 3 * rows * kRowStep));
    for (int i = 0; i < 20; ++i)
        Wheel(hwnd, -WHEEL_DELTA);
    EXPECT_EQ(list_->ScrollPos(), list_->MaxScroll());
}

TEST_F(ListFixture, DeletingFromTheMiddleKeepsThePlaceAndFocusesTheNextItem)
{
    const Ids ids = AddPictures(30);
    // Scroll to the fifth row (items 12 to 14 at the top) and delete the middle one there.
    SendMessageW(list_->hwnd(), WM_VSCROLL, SB_LINEDOWN, 0);
    for (int i = 0; i < 3; ++i)
        SendMessageW(list_->hwnd(), WM_VSCROLL, SB_LINEDOWN, 0);
    const int place = list_->ScrollPos();
    ASSERT_EQ(place, 4 * kRowStep);
    ASSERT_EQ(IndexOnScreenTop(*list_), 12);
    ClickItem(ids[13]);
    ASSERT_EQ(Selected(), (Ids{ids[13]}));
    KeyUp(VK_DELETE);
    EXPECT_EQ(list_->Count(), 29);
    EXPECT_EQ(list_->ScrollPos(), place);
    EXPECT_EQ(GetScrollPos(list_->hwnd(), SB_VERT), place);
    EXPECT_EQ(list_->FocusId(), ids[14]);

    // Several chosen with Ctrl: the focus goes to the one after the first removed.
    ClickItem(ids[12]);
    ClickItem(ids[15], MK_CONTROL);
    ClickItem(ids[14], MK_CONTROL);
    KeyUp(VK_DELETE);
    EXPECT_EQ(list_->Count(), 26);
    EXPECT_EQ(list_->ScrollPos(), place);
    EXPECT_EQ(list_->FocusId(), ids[16]);

    // The keyboard goes on from there: Right moves to the item after it.
    KeyUp(VK_RIGHT);
    EXPECT_EQ(list_->FocusId(), ids[17]);

    // At the end of the list the focus takes the new last item, and the place is kept as
    // far as the shorter list still scrolls: the last row goes with its two items.
    ASSERT_EQ(list_->Count() % 3, 2);
    list_->ScrollTo(list_->MaxScroll());
    const int bottom = list_->ScrollPos();
    ClickItem(list_->Items()[list_->Count() - 1]->Id());
    ClickItem(list_->Items()[list_->Count() - 2]->Id(), MK_CONTROL);
    const int32_t newLast = list_->Items()[list_->Count() - 3]->Id();
    KeyUp(VK_DELETE);
    EXPECT_EQ(list_->FocusId(), newLast);
    EXPECT_EQ(list_->ScrollPos(), list_->MaxScroll());
    EXPECT_EQ(list_->ScrollPos(), bottom - kRowStep);
}
