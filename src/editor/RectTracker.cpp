#include "editor/RectTracker.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

#include "platform/Handles.h"

namespace Vantor {

namespace {

int ProfileHandleSize()
{
    static const int size = std::clamp<int>(GetProfileIntW(L"windows", L"oleinplaceborderwidth", 4), 1, 32);
    return size;
}

RECT Normalize(RECT r)
{
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    return r;
}

}  // namespace

RectTracker::RectTracker() : handle_(ProfileHandleSize()) {}

RECT RectTracker::Normalized() const { return Normalize(rect_); }

bool RectTracker::IsEmpty() const
{
    const RECT r = Normalized();
    return r.right - r.left <= 0 || r.bottom - r.top <= 0;
}

RECT RectTracker::TrueRect() const
{
    if (IsEmpty())
        return RECT{};
    RECT r = Normalized();
    InflateRect(&r, handle_, handle_);
    return r;
}

void RectTracker::Clamp()
{
    const RECT& b = bounds_;
    if (rect_.left < b.left)
        rect_.left = b.left;
    else if (rect_.right > b.right)
        rect_.right = b.right;
    else if (rect_.right < b.left)
        rect_.right = b.left;
    else if (rect_.left > b.right)
        rect_.left = b.right;
    if (rect_.top < b.top)
        rect_.top = b.top;
    else if (rect_.top > b.bottom)
        rect_.top = b.bottom;
    else if (rect_.bottom > b.bottom)
        rect_.bottom = b.bottom;
    else if (rect_.bottom < b.top)
        rect_.bottom = b.top;
}

RECT RectTracker::HandleRect(int handle) const
{
    const RECT r = Normalized();
    const int h = handle_;
    const int mx = (r.left + r.right) / 2 - h / 2;
    const int my = (r.top + r.bottom) / 2 - h / 2;
    const bool middleX = (r.right - r.left) - 3 * h >= 5;
    const bool middleY = (r.bottom - r.top) - 3 * h >= 5;
    switch (handle) {
    case 0: return RECT{r.left - h, r.top - h, r.left, r.top};
    case 1: return RECT{r.right, r.top - h, r.right + h, r.top};
    case 2: return RECT{r.right, r.bottom, r.right + h, r.bottom + h};
    case 3: return RECT{r.left - h, r.bottom, r.left, r.bottom + h};
    case 4: return middleX ? RECT{mx, r.top - h, mx + h, r.top} : RECT{};
    case 5: return middleY ? RECT{r.right, my, r.right + h, my + h} : RECT{};
    case 6: return middleX ? RECT{mx, r.bottom, mx + h, r.bottom + h} : RECT{};
    case 7: return middleY ? RECT{r.left - h, my, r.left, my + h} : RECT{};
    default: return RECT{};
    }
}

int RectTracker::HitTest(POINT point) const
{
    if (IsEmpty())
        return -1;
    for (int handle = 0; handle < 8; ++handle) {
        const RECT h = HandleRect(handle);
        if (h.right > h.left && PtInRect(&h, point))
            return handle;
    }
    const RECT r = Normalized();
    return PtInRect(&r, point) ? kMoveHit : -1;
}

bool RectTracker::SetCursorFor(int hit) const
{
    const wchar_t* name = nullptr;
    switch (hit) {
    case 0: case 2: name = IDC_SIZENWSE; break;
    case 1: case 3: name = IDC_SIZENESW; break;
    case 4: case 6: name = IDC_SIZENS; break;
    case 5: case 7: name = IDC_SIZEWE; break;
    case kMoveHit: name = IDC_SIZEALL; break;
    default: return false;
    }
    SetCursor(LoadCursorW(nullptr, name));
    return true;
}

void RectTracker::Follow(int hit, POINT point, const RECT& start, POINT origin, bool allowInvert)
{
    const int dx = point.x - origin.x;
    const int dy = point.y - origin.y;
    RECT r = start;
    if (hit == kMoveHit) {
        OffsetRect(&r, dx, dy);
        // Pushed back inside the bounds, keeping its size.
        if (r.left < bounds_.left)
            OffsetRect(&r, bounds_.left - r.left, 0);
        else if (r.right > bounds_.right)
            OffsetRect(&r, bounds_.right - r.right, 0);
        if (r.top < bounds_.top)
            OffsetRect(&r, 0, bounds_.top - r.top);
        else if (r.bottom > bounds_.bottom)
            OffsetRect(&r, 0, bounds_.bottom - r.bottom);
        rect_ = r;
        return;
    }
    const bool left = hit == 0 || hit == 3 || hit == 7;
    const bool right = hit == 1 || hit == 2 || hit == 5;
    const bool top = hit == 0 || hit == 1 || hit == 4;
    const bool bottom = hit == 2 || hit == 3 || hit == 6;
    if (left)
        r.left = std::clamp<LONG>(start.left + dx, bounds_.left, bounds_.right);
    if (right)
        r.right = std::clamp<LONG>(start.right + dx, bounds_.left, bounds_.right);
    if (top)
        r.top = std::clamp<LONG>(start.top + dy, bounds_.top, bounds_.bottom);
    if (bottom)
        r.bottom = std::clamp<LONG>(start.bottom + dy, bounds_.top, bounds_.bottom);
    // No side shorter than the minimum, unless the drag went past the opposite edge and
    // inverting is allowed.
    const int minimum = 2 * handle_;
    const auto keep = [&](LONG& moving, LONG fixed, bool after) {
        const LONG extent = after ? moving - fixed : fixed - moving;
        if (extent >= minimum || (allowInvert && extent < 0))
            return;
        moving = after ? fixed + minimum : fixed - minimum;
    };
    if (left)
        keep(r.left, r.right, false);
    if (right)
        keep(r.right, r.left, true);
    if (top)
        keep(r.top, r.bottom, false);
    if (bottom)
        keep(r.bottom, r.top, true);
    rect_ = r;
}

bool RectTracker::Track(HWND window, POINT point, bool allowInvert)
{
    const int hit = HitTest(point);
    if (hit < 0 || GetCapture() != nullptr)
        return false;
    const RECT start = Normalized();
    rect_ = start;
    SetCapture(window);
    UpdateWindow(window);
    bool released = false;
    bool cancelled = false;
    while (!released && !cancelled) {
        // The capture may be taken away by anything dispatched below (another window, a
        // message box, the system): that ends the drag.
        if (GetCapture() != window) {
            cancelled = true;
            break;
        }
        MSG msg;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            cancelled = true;
            break;
        }
        if (got < 0) {
            cancelled = true;
            break;
        }
        switch (msg.message) {
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP: {
            POINT at{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
            if (msg.hwnd != window)
                MapWindowPoints(msg.hwnd, window, &at, 1);
            const RECT before = rect_;
            Follow(hit, at, start, point, allowInvert);
            released = msg.message == WM_LBUTTONUP;
            if ((!EqualRect(&before, &rect_) || released) && Changed)
                Changed(rect_);
            break;
        }
        case WM_KEYDOWN:
            if (msg.wParam == VK_ESCAPE)
                cancelled = true;
            break;  // other keys are swallowed
        case WM_RBUTTONDOWN:
            cancelled = true;
            break;
        case WM_KEYUP:
        case WM_CHAR:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            break;
        default:
            DispatchMessageW(&msg);
            break;
        }
    }
    if (GetCapture() == window)
        ReleaseCapture();
    if (cancelled) {
        rect_ = start;
        if (Changed)
            Changed(rect_);
        return false;
    }
    rect_ = Normalized();
    return true;
}

void RectTracker::Draw(HDC dc) const
{
    if (IsEmpty())
        return;
    const int saved = SaveDC(dc);
    SetMapMode(dc, MM_TEXT);
    SetViewportOrgEx(dc, 0, 0, nullptr);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    const RECT r = Normalized();
    {
        GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, kColour));
        SelectObjectScope selectPen(dc, pen.get());
        SelectObjectScope selectBrush(dc, GetStockObject(NULL_BRUSH));
        SetROP2(dc, R2_COPYPEN);
        Rectangle(dc, r.left - 1, r.top - 1, r.right + 1, r.bottom + 1);
    }
    SetBkColor(dc, kColour);
    for (int handle = 0; handle < 8; ++handle) {
        const RECT h = HandleRect(handle);
        if (h.right > h.left)
            ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &h, nullptr, 0, nullptr);
    }
    RestoreDC(dc, saved);
}

}  // namespace Vantor
