// The grid arithmetic: columns, cells, the scroll range and the visible band.
#include <gtest/gtest.h>

#include "picker/ListGeometry.h"

using Vantor::ListGeometry;

namespace {

::testing::AssertionResult SameRect(const RECT& a, const RECT& b)
{
    if (EqualRect(&a, &b))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.left << "," << a.top << "," << a.right << "," << a.bottom
                                         << ") != (" << b.left << "," << b.top << "," << b.right << "," << b.bottom
                                         << ")";
}

}  // namespace

TEST(ListGeometry, ColumnsKeepTheScrollBarStripFreeAndNeverDropBelowOne)
{
    const ListGeometry g;  // 140 x 141 cells, gaps 14 and 32, margins 4
    EXPECT_EQ(g.Columns(628), 4);  // (628 - 8 + 14 - 17) / 154 = 4
    EXPECT_EQ(g.Columns(638), 4);
    EXPECT_EQ(g.Columns(626), 3);  // one pixel less than four columns and the strip need
    EXPECT_EQ(g.Columns(627), 4);
    EXPECT_EQ(g.Columns(10), 1);
    EXPECT_EQ(g.Columns(-50), 1);
    ListGeometry zero;
    zero.itemWidth = 0;
    zero.horizontalGap = 0;
    EXPECT_EQ(zero.Columns(600), 1);
}

TEST(ListGeometry, CellsGoRowByRowFromTheMargins)
{
    ListGeometry g;
    g.itemWidth = 150;
    g.itemHeight = 151;
    EXPECT_TRUE(SameRect(g.Cell(0, 3), RECT{4, 4, 154, 155}));
    EXPECT_TRUE(SameRect(g.Cell(2, 3), RECT{4 + 2 * 164, 4, 4 + 2 * 164 + 150, 155}));
    EXPECT_TRUE(SameRect(g.Cell(3, 3), RECT{4, 4 + 183, 154, 4 + 183 + 151}));
    EXPECT_TRUE(SameRect(g.Cell(4, 0), g.Cell(4, 1)));  // no columns counts as one
}

TEST(ListGeometry, TheScrollRangeCoversEveryRowAndTheBarOnlyWhenRowsAreMissing)
{
    const ListGeometry g;
    // 4 columns, 5 items: two rows.
    EXPECT_EQ(g.Rows(5, 4), 2);
    EXPECT_EQ(g.ContentHeight(5, 4), 2 * (141 + 32) + 8);
    EXPECT_EQ(g.Rows(0, 4), 0);
    // Two whole rows fit in 346 pixels: no bar, nothing to scroll.
    EXPECT_FALSE(g.NeedsScrollBar(5, 4, 346));
    EXPECT_EQ(g.MaxScroll(5, 4, 346), 0);
    // One whole row fits in 300: the bar, and the rest of the content beyond the page.
    EXPECT_TRUE(g.NeedsScrollBar(5, 4, 300));
    EXPECT_EQ(g.MaxScroll(5, 4, 300), 2 * 173 + 8 - 300);
    EXPECT_FALSE(g.NeedsScrollBar(0, 4, 0 + 1));
}

TEST(ListGeometry, TheVisibleBandHoldsExactlyTheCellsThatMeetIt)
{
    const ListGeometry g;
    const int count = 40, columns = 4;
    for (int top : {0, 1, 140, 145, 146, 177, 178, 500, 1000, 1500}) {
        for (int height : {1, 100, 346, 700}) {
            int first = 0, end = 0;
            g.VisibleRange(count, columns, top, height, first, end);
            for (int i = 0; i < count; ++i) {
                const RECT c = g.Cell(i, columns);
                const bool meets = c.bottom > top && c.top < top + height;
                if (meets) {
                    EXPECT_TRUE(i >= first && i < end) << "item " << i << " top " << top << " height " << height;
                }
            }
            // The range starts at the first cell whose bottom is below the band's top.
            if (first < count) {
                EXPECT_GT(g.Cell(first, columns).bottom, top);
                if (first >= columns) {
                    EXPECT_LE(g.Cell(first - columns, columns).bottom, top);
                }
            }
        }
    }
    int first = -1, end = -1;
    g.VisibleRange(0, 4, 0, 500, first, end);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(end, 0);
}

TEST(ListGeometry, AWheelNotchMovesARowALineButNoMoreThanTheViewShows)
{
    ListGeometry g;
    g.itemHeight = 151;  // rows 183 apart
    EXPECT_EQ(g.RowStep(), 183);
    EXPECT_EQ(g.WheelRows(3, 800), 3);  // four whole rows fit
    EXPECT_EQ(g.WheelRows(1, 800), 1);
    EXPECT_EQ(g.WheelRows(3, 400), 2);  // two fit: a third would go by unseen
    EXPECT_EQ(g.WheelRows(3, 366), 2);
    EXPECT_EQ(g.WheelRows(3, 365), 1);
    EXPECT_EQ(g.WheelRows(3, 100), 1);  // less than a row shows: still one
    EXPECT_EQ(g.WheelRows(WHEEL_PAGESCROLL, 800), 4);
    EXPECT_EQ(g.WheelRows(0, 800), 0);  // the system says the wheel does not scroll
}
