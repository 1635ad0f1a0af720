#include "ui/FormBase.h"

#include <windowsx.h>
#include <objidl.h>
#include <gdiplus.h>

#include <utility>

using Vantor::UI::CMouseEventArgs;
using Vantor::UI::CPaintEventArgs;

void FormBase::AttachWindow(HWND hwnd, int x, int y, int width, int height)
{
    SetHostWindow(hwnd);
    bounds_ = RECT{x, y, x + width, y + height};
}

void FormBase::AttachWindow(HWND hwnd, const RECT& rect)
{
    AttachWindow(hwnd, rect.left, rect.top, rect.right, rect.bottom);
}

void FormBase::ToggleMaximize()
{
    const HWND hwnd = GetHwnd();
    if (hwnd)
        ShowWindow(hwnd, maximized_ ? SW_RESTORE : SW_MAXIMIZE);
    maximized_ = !maximized_;
    resizable_ = !maximized_;
    draggable_ = !maximized_;
}

void FormBase::OnSize(HWND hwnd, int width, int height)
{
    bounds_ = RECT{0, 0, width, height};
    LayoutChildren();
    const HDC dc = GetDC(hwnd);
    backBuffer_.reset(CreateCompatibleBitmap(dc, width > 0 ? width : 1, height > 0 ? height : 1));
    backBufferSize_ = SIZE{width, height};
    ReleaseDC(hwnd, dc);
    if (IsWindowVisible(hwnd)) {
        LayoutChildren();
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

void FormBase::OnPaint(HWND hwnd)
{
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd, &ps);
    RECT client{};
    GetClientRect(hwnd, &client);
    if (IsWindowVisible(hwnd) && client.right > 0 && client.bottom > 0) {
        if (!backBuffer_ || backBufferSize_.cx != client.right || backBufferSize_.cy != client.bottom) {
            backBuffer_.reset(CreateCompatibleBitmap(dc, client.right, client.bottom));
            backBufferSize_ = SIZE{client.right, client.bottom};
        }
        Vantor::UniqueMemoryDC buffer(CreateCompatibleDC(dc));
        Vantor::UniqueMemoryDC spare(CreateCompatibleDC(dc));
        if (buffer && spare && backBuffer_) {
            Vantor::SelectObjectScope select(buffer.get(), backBuffer_.get());
            {
                Gdiplus::Graphics graphics(buffer.get());
                CPaintEventArgs e(buffer.get(), spare.get(),
                                  graphics.GetLastStatus() == Gdiplus::Ok ? &graphics : nullptr);
                Paint(e);
            }
            BitBlt(dc, 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
        }
    }
    EndPaint(hwnd, &ps);
}

bool FormBase::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (msg) {
    case WM_DESTROY:
        backBuffer_.reset();
        backBufferSize_ = SIZE{};
        captured_ = nullptr;
        drager_.Stop();
        return true;
    case WM_SIZE:
        OnSize(hwnd, LOWORD(lParam), HIWORD(lParam));
        return true;
    case WM_PAINT:
        OnPaint(hwnd);
        return true;
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxSize.x = GetSystemMetrics(SM_CXSCREEN);
        info->ptMaxSize.y =
            GetSystemMetrics(SM_CYFULLSCREEN) + GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYCAPTION);
        info->ptMaxPosition.x = 0;
        info->ptMaxPosition.y = 0;
        return true;
    }
    case WM_LBUTTONDOWN: {
        SetCapture(hwnd);
        CMouseEventArgs e(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        OnLButtonDown(e);
        if (e.handled)
            captured_ = e.handler;
        else if (draggable_)
            drager_.Start(hwnd, e.Point());
        return true;
    }
    case WM_MOUSEMOVE: {
        CMouseEventArgs e(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        if (drager_.IsActive()) {
            drager_.Move(e.Point());
            return true;
        }
        if (captured_)
            captured_->OnMouseMove(e);
        else
            OnMouseMove(e);
        if (!mouseTracked_) {
            TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, hwnd, 10};
            mouseTracked_ = TrackMouseEvent(&track) != FALSE;
        }
        return true;
    }
    case WM_LBUTTONUP: {
        // Take the press's owner first: releasing the capture sends WM_CAPTURECHANGED.
        ControlBase* const pressed = captured_;
        captured_ = nullptr;
        const bool wasDragging = drager_.IsActive();
        drager_.Stop();
        ReleaseCapture();
        if (wasDragging)
            return true;
        CMouseEventArgs e(wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        if (pressed)
            pressed->OnLButtonUp(e);
        else
            OnLButtonUp(e);
        return true;
    }
    case WM_MOUSELEAVE:
        OnMouseLeave();
        mouseTracked_ = false;
        return true;
    case WM_CAPTURECHANGED:
        // Capture taken away mid-press (another window, a menu): end the drag, and let the
        // pressed control see a release far outside itself so that it drops the press unfired.
        if (reinterpret_cast<HWND>(lParam) != hwnd) {
            drager_.Stop();
            if (ControlBase* const pressed = std::exchange(captured_, nullptr)) {
                CMouseEventArgs e(0, -32768, -32768);
                pressed->OnLButtonUp(e);
            }
        }
        return false;
    default:
        return false;
    }
}
