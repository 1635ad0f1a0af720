#include "picker/ListGeometry.h"

#include <algorithm>

namespace Vantor {

int ListGeometry::Columns(int clientWidth) const
{
    const int step = itemWidth + horizontalGap;
    if (step <= 0)
        return 1;
    const int columns = (clientWidth - margins.left - margins.right + horizontalGap - kScrollBarSpace) / step;
    return std::max(1, columns);
}

RECT ListGeometry::Cell(int index, int columns) const
{
    columns = std::max(1, columns);
    const int column = index % columns;
    const int row = index / columns;
    RECT cell{};
    cell.left = margins.left + column * (itemWidth + horizontalGap);
    cell.top = margins.top + row * (itemHeight + verticalGap);
    cell.right = cell.left + itemWidth;
    cell.bottom = cell.top + itemHeight;
    return cell;
}

int ListGeometry::Rows(int count, int columns) const
{
    columns = std::max(1, columns);
    return count <= 0 ? 0 : (count + columns - 1) / columns;
}

int ListGeometry::ContentHeight(int count, int columns) const
{
    return Rows(count, columns) * (itemHeight + verticalGap) + margins.top + margins.bottom;
}

int ListGeometry::MaxScroll(int count, int columns, int clientHeight) const
{
    if (!NeedsScrollBar(count, columns, clientHeight))
        return 0;
    return std::max(0, ContentHeight(count, columns) - clientHeight);
}

bool ListGeometry::NeedsScrollBar(int count, int columns, int clientHeight) const
{
    const int step = itemHeight + verticalGap;
    return step > 0 && clientHeight / step < Rows(count, columns);
}

int ListGeometry::WheelRows(unsigned wheelLines, int clientHeight) const
{
    const int step = RowStep();
    const int fit = step > 0 ? std::max(1, clientHeight / step) : 1;
    if (wheelLines == 0)
        return 0;
    return wheelLines >= static_cast<unsigned>(fit) ? fit : static_cast<int>(wheelLines);
}

void ListGeometry::VisibleRange(int count, int columns, int top, int height, int& first, int& end) const
{
    columns = std::max(1, columns);
    const int step = std::max(1, itemHeight + verticalGap);
    // The first row whose bottom lies below the top of the band.
    int firstRow = std::max<int>(0, (top - margins.top - itemHeight) / step);
    while (margins.top + firstRow * step + itemHeight <= top)
        ++firstRow;
    const int lastRow = std::max<int>(0, (top + height - margins.top) / step);
    first = std::min(count, firstRow * columns);
    end = std::min(count, (lastRow + 1) * columns);
}

}  // namespace Vantor
