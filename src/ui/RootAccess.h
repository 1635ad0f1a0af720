#pragma once
// The keyboard and assistive technology for one window's control tree: its focus ring and its
// accessible object. The window passes its messages here (HandleMessage) and has the focus
// rectangle drawn after the tree (PaintFocus).
#include <windows.h>

#include "ui/AccessibleObject.h"
#include "ui/ControlTreeAccessible.h"
#include "ui/FocusRing.h"

class ControlBase;

namespace Vantor::UI {

class RootAccess {
public:
    explicit RootAccess(ControlBase& root);
    RootAccess(const RootAccess&) = delete;
    RootAccess& operator=(const RootAccess&) = delete;

    FocusRing& Focus() { return focus_; }

    // WM_GETOBJECT (the client object), WM_KEYDOWN (Tab, Shift+Tab, Enter, Space),
    // WM_SETFOCUS and WM_KILLFOCUS (the rectangle; tabbed into from outside, the first or
    // last stop takes the focus), WM_DESTROY (the object is cut loose).
    // True when the message is answered; the focus messages and WM_DESTROY are never
    // answered here, so that the window goes on with them.
    bool HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void PaintFocus(HDC dc) const { focus_.Paint(dc); }

private:
    FocusRing focus_;
    ControlTreeAccessible tree_;
    AccessibleHost object_;  // last: it goes first, and cuts the object loose
};

}  // namespace Vantor::UI
