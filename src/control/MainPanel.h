#pragma once
// The root of the control window's owner-drawn control tree: it paints the panel's
// background (the button strip, the hint strip and the list area) and then its children.
#include "ui/ControlBase.h"

namespace Vantor {

class MainPanel : public ControlBase {
public:
    MainPanel();
    // Names the control window; the panel always fills its client area.
    void AttachToWindow(HWND window);

    void Paint(UI::CPaintEventArgs& e) override;
    void Layout() override;
};

// The panel's background for a client area of the given size, drawn at dc's origin.
void PaintPanelBackground(HDC dc, int width, int height);

}  // namespace Vantor
