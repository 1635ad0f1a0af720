#pragma once
// A line of text sized to its extent in the interface font; the anchors place it.
#include <windows.h>

#include <string>

#include "ui/ControlBase.h"

class Label : public ControlBase {
public:
    virtual void Create(ControlBase* parent, const std::wstring& text);

    void Paint(Vantor::UI::CPaintEventArgs& e) override;
    // Places the label by its anchors, keeping the size its text gave it.
    void Layout() override;
    Vantor::UI::AccessibleInfo Describe() const override;

    void SetText(const std::wstring& text);
    const std::wstring& GetText() const { return text_; }
    void SetTextColor(COLORREF color);
    COLORREF GetTextColor() const { return color_; }
    void SetFormat(UINT format);

protected:
    std::wstring text_;
    COLORREF color_ = RGB(51, 51, 51);
    UINT format_ = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
};
