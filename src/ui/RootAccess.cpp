#include "ui/RootAccess.h"

namespace Vantor::UI {

RootAccess::RootAccess(ControlBase& root) : focus_(root), tree_(root, focus_), object_(tree_) {}

bool RootAccess::HandleMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
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
    case WM_SETFOCUS:
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
