// After a scroll or a removal the list paints its whole client area again, up to its right
// edge: nothing of what the window showed before stays on screen.
#include "ListFixture.h"

using namespace listtest;

namespace {

const COLORREF kStale = RGB(255, 0, 255);

// Covers the list window's client area with a colour no cell paints, as stale frames and
// captions would stand there.
void PaintStale(HWND hwnd)
{
    UpdateWindow(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    const HDC dc = GetDC(hwnd);
    const HBRUSH brush = CreateSolidBrush(kStale);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    GdiFlush();
    ReleaseDC(hwnd, dc);
}

// Columns of the client area (from the right edge inwards) that still show the stale colour.
int StaleColumnsAtTheRight(HWND hwnd)
{
    UpdateWindow(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    const HDC dc = GetDC(hwnd);
    int stale = 0;
    for (int x = client.right - 1; x >= client.right - 40 && x >= 0; --x) {
        bool any = false;
        for (int y = 2; y < client.bottom; y += 7)
            any = any || GetPixel(dc, x, y) == kStale;
        if (!any)
            break;
        ++stale;
    }
    ReleaseDC(hwnd, dc);
    return stale;
}

}  // namespace

TEST_F(ListFixture, ScrollsAndRemovalsRepaintUpToTheRightEdge)
{
    const std::vector<int32_t> ids = AddPictures(24);
    ASSERT_EQ(ids.size(), 24u);
    ASSERT_GT(list_->MaxScroll(), 0) << "enough items to scroll";
    const HWND hwnd = list_->hwnd();
    UpdateWindow(hwnd);
    ASSERT_EQ(StaleColumnsAtTheRight(hwnd), 0);

    PaintStale(hwnd);
    ASSERT_GT(StaleColumnsAtTheRight(hwnd), 30) << "the stale colour reads back";
    list_->ScrollTo(list_->MaxScroll());
    EXPECT_EQ(StaleColumnsAtTheRight(hwnd), 0) << "after a scroll";

    PaintStale(hwnd);
    list_->RemoveItem(ids[20]);
    EXPECT_EQ(StaleColumnsAtTheRight(hwnd), 0) << "after removing one item";

    PaintStale(hwnd);
    list_->SelectAll(true);
    list_->RemoveSelected();
    EXPECT_EQ(StaleColumnsAtTheRight(hwnd), 0) << "after removing the selection";
}
