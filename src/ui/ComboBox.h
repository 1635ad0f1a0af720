#pragma once
// A drop-down list: the native COMBOBOX (CBS_DROPDOWNLIST) in the interface font, placed by its
// anchors; the height given to it includes the dropped list. SelectionChanged carries the new
// index.
#include <boost/signals2/signal.hpp>

#include <string>

#include "platform/Handles.h"
#include "platform/Window.h"
#include "ui/ControlBase.h"

class ComboBox : public Vantor::Win::Window, public ControlBase {
public:
    boost::signals2::signal<void(int)> SelectionChanged;

    ComboBox();
    ~ComboBox() override;

    virtual HWND Create(HWND parent);

    void SetVisible(int flag) override;
    void GetHostClientRect(RECT* out) const override;
    // Creates the window as a child of the parent's window, then attaches.
    void Attach(ControlBase* parent) override;
    void Layout() override;
    // Deletes the font and destroys the window.
    void ReleaseView() override;
    bool CanTakeFocus() const override;
    HWND KeyboardWindow() const override { return hwnd(); }
    // A combo box whose value is the chosen entry's text.
    Vantor::UI::AccessibleInfo Describe() const override;

    int AddString(const std::wstring& text);
    void SetCurSel(int index);
    int GetCurSel() const;
    int GetCount() const;
    std::wstring GetText(int index) const;

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    Vantor::GdiObject<HFONT> font_;
};
