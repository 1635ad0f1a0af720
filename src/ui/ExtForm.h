#pragma once
// The common chrome of the system's windows: white body, the skinned title band with an icon
// and the title, a grey footer band 37 pixels high and a 1-pixel border.
//
// Paint draws the chrome, the icon and the title; a form with child controls overrides Paint,
// calls ExtForm::Paint and then ControlBase::Paint for its children.
#include <string>

#include "ui/FormBase.h"

class ExtForm : public FormBase {
public:
    static constexpr int FooterHeight = 37;

    void Paint(Vantor::UI::CPaintEventArgs& e) override;
    virtual void PaintChrome(Vantor::UI::CPaintEventArgs& e);
    virtual void PaintTitle(Vantor::UI::CPaintEventArgs& e);

    // Stores the title (and gives it to the window, for task lists and tests).
    void SetTitle(const std::wstring& title);
    const std::wstring& GetTitle() const { return title_; }
    void SetIconName(const std::string& name) { icon_ = name; }

protected:
    std::wstring title_;
    std::string icon_;
};
