#include "ui/RootHost.h"

#include <objidl.h>
#include <gdiplus.h>

#include <utility>

namespace Vantor::UI {

RootHost::RootHost(ControlBase& root, DWORD leaveFlags, DWORD hoverTime)
    : root_(root), leaveFlags_(leaveFlags), hoverTime_(hoverTime)
{
}

void RootHost::ResizeBuffer(HWND hwnd, int width, int height)
{
    const HDC dc = GetDC(hwnd);
    buffer_.reset(CreateCompatibleBitmap(dc, width > 0 ? width : 1, height > 0 ? height : 1));
    bufferSize_ = SIZE{width, height};
    ReleaseDC(hwnd, dc);
}

void RootHost::Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd, &ps);
    if (!dc)
        return;
    RECT client{};
    GetClientRect(hwnd, &client);
    if (IsWindowVisible(hwnd) && client.right > 0 && client.bottom > 0) {
        if (!buffer_ || bufferSize_.cx != client.right || bufferSize_.cy != client.bottom) {
            buffer_.reset(CreateCompatibleBitmap(dc, client.right, client.bottom));
            bufferSize_ = SIZE{client.right, client.bottom};
        }
        UniqueMemoryDC buffer(CreateCompatibleDC(dc));
        UniqueMemoryDC spare(CreateCompatibleDC(dc));
        if (buffer && spare && buffer_) {
            SelectObjectScope select(buffer.get(), buffer_.get());
            PaintInto(buffer.get(), spare.get());
            BitBlt(dc, 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
        }
    }
    EndPaint(hwnd, &ps);
}

void RootHost::PaintInto(HDC dc, HDC spare) const
{
    Gdiplus::Graphics graphics(dc);
    CPaintEventArgs e(dc, spare, graphics.GetLastStatus() == Gdiplus::Ok ? &graphics : nullptr);
    root_.Paint(e);
    if (access_)
        access_->PaintFocus(dc);
}

bool RootHost::HandleAccessMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return access_ && access_->HandleMessage(hwnd, msg, wParam, lParam, result);
}

bool RootHost::ButtonDown(HWND hwnd, WPARAM keys, POINT at)
{
    SetCapture(hwnd);
    CMouseEventArgs e(keys, at.x, at.y);
    root_.OnLButtonDown(e);
    pressed_ = e.handled ? e.handler : nullptr;
    return pressed_ != nullptr;
}

void RootHost::MouseMove(HWND hwnd, WPARAM keys, POINT at)
{
    CMouseEventArgs e(keys, at.x, at.y);
    if (pressed_)
        pressed_->OnMouseMove(e);
    else
        root_.OnMouseMove(e);
    if (!mouseTracked_) {
        TRACKMOUSEEVENT track{sizeof(track), leaveFlags_, hwnd, hoverTime_};
        mouseTracked_ = TrackMouseEvent(&track) != FALSE;
    }
}

void RootHost::ButtonUp(WPARAM keys, POINT at)
{
    // Take the press's owner first: releasing the capture sends WM_CAPTURECHANGED.
    ControlBase* const pressed = std::exchange(pressed_, nullptr);
    ReleaseCapture();
    CMouseEventArgs e(keys, at.x, at.y);
    if (pressed)
        pressed->OnLButtonUp(e);
    else
        root_.OnLButtonUp(e);
}

void RootHost::MouseLeave()
{
    root_.OnMouseLeave();
    mouseTracked_ = false;
}

void RootHost::CaptureChanged(HWND hwnd, HWND newCapture)
{
    // Capture taken away mid-press (another window, a menu): the pressed control sees a
    // release far outside itself, so that it drops the press unfired.
    if (newCapture == hwnd)
        return;
    if (ControlBase* const pressed = std::exchange(pressed_, nullptr)) {
        CMouseEventArgs away(0, -32768, -32768);
        pressed->OnLButtonUp(away);
    }
}

void RootHost::Reset()
{
    buffer_.reset();
    bufferSize_ = SIZE{};
    pressed_ = nullptr;
    mouseTracked_ = false;
}

}  // namespace Vantor::UI
