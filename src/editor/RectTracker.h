#pragma once
// The crop selection: a rectangle with eight resize handles outside its solid border and a
// move area inside, kept within bounds (the picture on the canvas).
//
// Handles are numbered 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left, 4 top, 5 right,
// 6 bottom, 7 left; 8 is the inside (move) and -1 outside. The handle size comes from the
// user's profile ("windows", "oleinplaceborderwidth", 4), read once per process; the minimum
// size is twice that.
//
// Track runs a modal loop of its own while the user drags a handle, like a drag loop. Two
// things end it besides the button's release: Escape or the right button (the rectangle goes
// back to where it was), and the loss of the mouse capture (likewise). A WM_QUIT read there is
// posted again, so the thread's own loop still sees it.
#include <windows.h>

#include <functional>

namespace Vantor {

class RectTracker {
public:
    static constexpr int kMoveHit = 8;
    static constexpr COLORREF kColour = RGB(10, 123, 202);

    RectTracker();

    // Fired whenever the rectangle changes (during a drag too).
    std::function<void(const RECT&)> Changed;

    const RECT& Rect() const { return rect_; }
    void SetRect(const RECT& rect) { rect_ = rect; }
    RECT Normalized() const;
    bool IsEmpty() const;
    void Clear() { rect_ = RECT{}; }
    // The normalised rectangle grown by the border and the outside handles (the area painting
    // touches); empty when the rectangle is.
    RECT TrueRect() const;
    const RECT& Bounds() const { return bounds_; }
    void SetBounds(const RECT& bounds) { bounds_ = bounds; }
    // Keeps the rectangle inside the bounds: at most one correction per axis.
    void Clamp();
    int HandleSize() const { return handle_; }

    int HitTest(POINT point) const;
    // The cursor for a hit code (none for -1); true when one was set.
    bool SetCursorFor(int hit) const;
    // Follows the mouse from `point` until the button is released (true) or the drag is
    // cancelled (false, rectangle restored). Refuses (false) while any window holds the capture.
    bool Track(HWND window, POINT point, bool allowInvert);
    void Draw(HDC dc) const;

    // The handle squares of a normalised rectangle (those its size allows are non-empty).
    RECT HandleRect(int handle) const;

private:
    void Follow(int hit, POINT point, const RECT& start, POINT origin, bool allowInvert);

    RECT rect_{};
    RECT bounds_{};
    int handle_ = 4;
};

}  // namespace Vantor
