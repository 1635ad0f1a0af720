#pragma once
// The root of the control window's owner-drawn control tree: it paints the panel's
// background (the button strip, the hint strip and the list area) and then its children.
#include "picker/ListView.h"
#include "ui/ControlBase.h"

#include <string>

namespace Vantor {

class MainPanel : public ControlBase {
public:
    MainPanel();
    // Names the control window; the panel always fills its client area.
    void AttachToWindow(HWND window);
    // Builds the panel's controls in the control window (after AttachToWindow).
    void CreateControls();

    // The upload list: hidden while it is empty.
    ListView& List() { return list_; }
    // The page's "addFile": no files or size limit, no path twice.
    void AddFromPage(const std::wstring& path);
    // Shows the list when it holds items, hides it when it is empty.
    void RefreshAfterAdd();

    void Paint(UI::CPaintEventArgs& e) override;
    void Layout() override;

private:
    ListView list_;
};

// The panel's background for a client area of the given size, drawn at dc's origin.
void PaintPanelBackground(HDC dc, int width, int height);

}  // namespace Vantor
