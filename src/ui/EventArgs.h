#pragma once
// Arguments handed down the control tree for painting and mouse input.
#include <windows.h>

namespace Gdiplus {
class Graphics;
}

class ControlBase;

namespace Vantor::UI {

class CEventArgs {
public:
    virtual ~CEventArgs() = default;
};

// Painting into a form's back buffer. `dc` is the buffer to draw into; `memDc` is a spare
// compatible memory context for image blits; `graphics` is a GDI+ object on `dc` (null when
// GDI+ is not running in the process).
class CPaintEventArgs : public CEventArgs {
public:
    CPaintEventArgs(HDC dc, HDC memDc, Gdiplus::Graphics* graphics)
        : dc(dc), memDc(memDc), graphics(graphics)
    {
    }
    HDC dc;
    HDC memDc;
    Gdiplus::Graphics* graphics;
};

// A mouse message in host client coordinates. The control that takes a button press sets
// `handled` and names itself as `handler`, so the form sends it the moves and the release.
class CMouseEventArgs : public CEventArgs {
public:
    CMouseEventArgs(WPARAM keys, int x, int y) : keys(keys), x(x), y(y) {}
    POINT Point() const { return POINT{x, y}; }

    WPARAM keys;
    int x;
    int y;
    bool handled = false;
    ControlBase* handler = nullptr;
};

}  // namespace Vantor::UI
