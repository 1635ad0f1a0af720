#include "ui/FormDrager.h"

void FormDrager::Start(HWND hwnd, POINT at)
{
    if (!hwnd)
        return;
    hwnd_ = hwnd;
    start_ = at;
    ClientToScreen(hwnd, &start_);
    GetWindowRect(hwnd, &startRect_);
    // A child window moves in its parent's client coordinates.
    if ((GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) && GetParent(hwnd))
        MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&startRect_), 2);
    active_ = true;
}

void FormDrager::Move(POINT at)
{
    if (!active_ || !IsWindow(hwnd_))
        return;
    POINT cursor = at;
    ClientToScreen(hwnd_, &cursor);
    SetWindowPos(hwnd_, nullptr, startRect_.left + (cursor.x - start_.x), startRect_.top + (cursor.y - start_.y), 0, 0,
                 SWP_NOZORDER | SWP_NOSIZE);
}
