#include "ui/TrackBar.h"

#include <windowsx.h>

#include "platform/Handles.h"
#include "ui/Drawing.h"

namespace {
constexpr int kHeight = 15;
constexpr COLORREF kBackground = RGB(198, 212, 228);
}  // namespace

int TrackBar::PositionFromValue(int value, int minimum, int maximum, int usable)
{
    const int extent = maximum - minimum;
    if (extent <= 0 || usable <= 0)
        return 0;
    const float position = (static_cast<float>(value - minimum) / static_cast<float>(extent)) * static_cast<float>(usable);
    const int result = static_cast<int>(position);
    return result < 0 ? 0 : (result > usable ? usable : result);
}

int TrackBar::ValueFromPosition(int position, int minimum, int maximum, int usable)
{
    const int extent = maximum - minimum;
    if (extent <= 0 || usable <= 0)
        return minimum;
    const double quotient = static_cast<double>(position) / static_cast<double>(usable);
    const float value = static_cast<float>(extent) * static_cast<float>(quotient) + static_cast<float>(minimum);
    return static_cast<int>(value);
}

HWND TrackBar::Create(HWND parent)
{
    return CreateWindowOfClass(parent, RECT{0, 0, 0, kHeight}, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
}

HWND TrackBar::Create(HWND parent, const RECT& rect)
{
    const int width = rect.right - rect.left;
    const HWND created =
        CreateWindowOfClass(parent, RECT{rect.left, rect.top, rect.right, rect.top + kHeight}, L"",
                            WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
    if (created) {
        bounds_ = RECT{0, 0, width, kHeight};
        position_ = PositionFromValue(value_, minimum_, maximum_, Usable());
    }
    return created;
}

void TrackBar::SetVisible(int flag)
{
    visible_ = flag;
    if (hwnd())
        ShowWindow(hwnd(), flag ? SW_SHOW : SW_HIDE);
}

void TrackBar::OnMouseLeave()
{
    // The mouse left the form; a drag in progress belongs to the slider's own capture.
    if (!dragging_ || GetCapture() != hwnd())
        dragging_ = false;
}

void TrackBar::Layout()
{
    const RECT placed = ComputeBounds();
    const int width = placed.right - placed.left;
    const int height = placed.bottom - placed.top;
    if (hwnd())
        MoveWindow(hwnd(), placed.left, placed.top, width, height, TRUE);
    bounds_ = RECT{0, 0, width, height};
    position_ = PositionFromValue(value_, minimum_, maximum_, Usable());
    Repaint();
}

void TrackBar::SetRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = maximum < minimum ? minimum : maximum;
    if (value_ < minimum_)
        value_ = minimum_;
    if (value_ > maximum_)
        value_ = maximum_;
    position_ = PositionFromValue(value_, minimum_, maximum_, Usable());
    Repaint();
}

void TrackBar::SetValue(int value)
{
    value_ = value < minimum_ ? minimum_ : (value > maximum_ ? maximum_ : value);
    position_ = PositionFromValue(value_, minimum_, maximum_, Usable());
    Repaint();
}

void TrackBar::MoveThumbTo(int x)
{
    const int usable = Usable();
    int position = x - grabOffset_;
    if (position > usable)
        position = usable;
    if (position < 0)
        position = 0;
    position_ = position;
    Repaint();
    value_ = ValueFromPosition(position_, minimum_, maximum_, usable);
    ValueChanged(value_);
}

void TrackBar::Repaint()
{
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, FALSE);
}

void TrackBar::PaintTrack(HDC dc)
{
    FillSolid(dc, bounds_, kBackground);
    RECT track = bounds_;
    InflateRect(&track, 0, -2);
    DrawBox(dc, trackFill_, trackBorder_, track);
}

void TrackBar::PaintThumb(HDC dc)
{
    DrawBox(dc, thumbFill_, thumbBorder_, RECT{position_, bounds_.top, position_ + thumbWidth_, bounds_.bottom});
}

bool TrackBar::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(hwnd(), &ps);
        RECT client{};
        GetClientRect(hwnd(), &client);
        if (client.right > 0 && client.bottom > 0) {
            Vantor::UniqueMemoryDC memory(CreateCompatibleDC(dc));
            Vantor::GdiObject<HBITMAP> buffer(CreateCompatibleBitmap(dc, client.right, client.bottom));
            if (memory && buffer) {
                Vantor::SelectObjectScope select(memory.get(), buffer.get());
                PaintTrack(memory.get());
                PaintThumb(memory.get());
                BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
            }
        }
        EndPaint(hwnd(), &ps);
        return true;
    }
    case WM_LBUTTONDOWN: {
        const int x = GET_X_LPARAM(lParam);
        const bool onThumb = x >= position_ && x < position_ + thumbWidth_;
        grabOffset_ = onThumb ? x - position_ : thumbWidth_ / 2;
        SetCapture(hwnd());
        dragging_ = true;
        if (!onThumb)
            MoveThumbTo(x);
        return true;
    }
    case WM_MOUSEMOVE:
        if (dragging_)
            MoveThumbTo(GET_X_LPARAM(lParam));
        return true;
    case WM_LBUTTONUP:
        if (dragging_) {
            dragging_ = false;
            ReleaseCapture();
            DragEnded(value_);
        }
        return true;
    case WM_CAPTURECHANGED:
        if (dragging_) {
            dragging_ = false;
            DragEnded(value_);
        }
        return true;
    default:
        return false;
    }
}

ExtTrackBar::ExtTrackBar()
{
    thumbWidth_ = 14;
    thumbHeight_ = 15;
}

void ExtTrackBar::PaintTrack(HDC dc)
{
    FillSolid(dc, bounds_, kBackground);
    RECT track = bounds_;
    InflateRect(&track, 0, -4);
    DrawBox(dc, RGB(217, 214, 210), RGB(162, 155, 152), track);
    InflateRect(&track, -1, -1);
    DrawBox(dc, RGB(217, 214, 210), RGB(190, 199, 204), track);
}

void ExtTrackBar::PaintThumb(HDC dc)
{
    DrawBox(dc, RGB(236, 251, 255), RGB(141, 176, 230), RECT{position_, bounds_.top, position_ + thumbWidth_, bounds_.bottom});
}
