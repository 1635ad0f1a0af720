#pragma once
// The grid of the list: cells of equal size in rows, gaps between them, margins around, and
// 17 pixels kept free on the right for the scroll bar. Pure arithmetic, in content coordinates.
#include <windows.h>

namespace Vantor {

struct ListGeometry {
    int itemWidth = 140;
    int itemHeight = 141;
    int horizontalGap = 14;
    int verticalGap = 32;
    RECT margins{4, 4, 4, 4};

    static constexpr int kScrollBarSpace = 17;

    // Columns for a client width: never fewer than 1.
    int Columns(int clientWidth) const;
    // The cell of the item at `index` with that many columns.
    RECT Cell(int index, int columns) const;
    int Rows(int count, int columns) const;
    // The height of the whole content (the scroll range).
    int ContentHeight(int count, int columns) const;
    // The furthest the view can scroll: the content below the last full page, 0 when all fits.
    int MaxScroll(int count, int columns, int clientHeight) const;
    // Whether the scroll bar is needed: fewer whole rows fit than there are.
    bool NeedsScrollBar(int count, int columns, int clientHeight) const;
    // From the top of one row to the top of the next: what a scroll bar arrow moves.
    int RowStep() const { return itemHeight + verticalGap; }
    // The rows one wheel notch moves: one a wheel line (the system's setting), but never more
    // than the whole rows that fit in the view, so no row goes by unseen; at least one.
    // `wheelLines` is WHEEL_PAGESCROLL (or any value above the rows that fit) for a page.
    int WheelRows(unsigned wheelLines, int clientHeight) const;
    // The first and one past the last index whose cells meet the band [top, top + height).
    void VisibleRange(int count, int columns, int top, int height, int& first, int& end) const;
};

}  // namespace Vantor
