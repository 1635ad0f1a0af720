#pragma once
// The process-wide fonts and text colours of the skinned interface.
#include <windows.h>

#include "platform/Handles.h"

class Theme {
public:
    // Created on first use (on the UI thread); lives until the module unloads.
    static Theme& Instance();

    HFONT NormalFont() const { return normalFont_.get(); }
    HFONT BoldFont() const { return boldFont_.get(); }
    COLORREF DisabledTextColor() const { return RGB(193, 193, 193); }
    COLORREF NormalTextColor() const { return RGB(51, 51, 51); }

    // The interface font (height 12, "新宋体") at the given weight; the caller owns it.
    static HFONT CreateUiFont(int weight);

private:
    Theme();
    Vantor::GdiObject<HFONT> normalFont_;
    Vantor::GdiObject<HFONT> boldFont_;
};
