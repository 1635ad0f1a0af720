#include "ui/FormBase.h"

#include <windowsx.h>

FormBase::FormBase() { root_.SetAccess(&access_); }

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
    root_.ResizeBuffer(hwnd, width, height);
    if (IsWindowVisible(hwnd))
        InvalidateRect(hwnd, nullptr, FALSE);
}

void FormBase::OnPaint(HWND hwnd) { root_.Paint(hwnd); }

bool FormBase::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    if (root_.HandleAccessMessage(hwnd, msg, wParam, lParam, result))
        return true;
    const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (msg) {
    case WM_DESTROY:
        root_.Reset();
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
    case WM_LBUTTONDOWN:
        if (!root_.ButtonDown(hwnd, wParam, at) && draggable_)
            drager_.Start(hwnd, at);
        return true;
    case WM_MOUSEMOVE:
        if (drager_.IsActive())
            drager_.Move(at);
        else
            root_.MouseMove(hwnd, wParam, at);
        return true;
    case WM_LBUTTONUP:
        if (drager_.IsActive()) {
            drager_.Stop();
            ReleaseCapture();
        } else {
            root_.ButtonUp(wParam, at);
        }
        return true;
    case WM_MOUSELEAVE:
        root_.MouseLeave();
        return true;
    case WM_CAPTURECHANGED:
        // Capture taken away mid-press: the drag ends too.
        if (reinterpret_cast<HWND>(lParam) != hwnd)
            drager_.Stop();
        root_.CaptureChanged(hwnd, reinterpret_cast<HWND>(lParam));
        return false;
    default:
        return false;
    }
}
