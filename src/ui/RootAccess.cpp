#include "ui/RootAccess.h"

namespace Vantor::UI {

RootAccess::RootAccess(ControlBase& root) : focus_(root), tree_(root, focus_), object_(tree_) {}

bool RootAccess::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_GETOBJECT:
        return object_.Answer(wParam, lParam, result);
    case WM_KEYDOWN:
        if (focus_.OnKeyDown(wParam)) {
            result = 0;
            return true;
        }
        return false;
    case WM_SETFOCUS: {
        // Tabbed into from outside the window (the page's element before or after the
        // control): the first stop, or with Shift the last, as the page's own elements do.
        const HWND from = reinterpret_cast<HWND>(wParam);
        const HWND window = hwnd;
        const bool outside = !from || (from != window && !IsChild(window, from));
        if (outside && window && GetKeyState(VK_TAB) < 0)
            focus_.Enter(GetKeyState(VK_SHIFT) < 0);
        focus_.OnFocusChanged();
        return false;
    }
    case WM_KILLFOCUS:
        focus_.OnFocusChanged();
        return false;
    case WM_DESTROY:
        object_.Disconnect();
        return false;
    default:
        return false;
    }
}

}  // namespace Vantor::UI
