#pragma once
// A drop-down list: the native COMBOBOX (CBS_DROPDOWNLIST) in the interface font, placed by its
// anchors; the height given to it includes the dropped list. SelectionChanged carries the new
// index. The entries, the choice and whether it is enabled are the box's own: a window made
// again (CreateView) shows them as they were.
#include <boost/signals2/signal.hpp>

#include <string>
#include <vector>

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
    // Makes the window again in `parent` (after ReleaseView) with the entries and the choice.
    void CreateView(HWND parent);
    // Destroys the window; the entries and the choice stay.
    void ReleaseView() override;
    bool CanTakeFocus() const override;
    HWND KeyboardWindow() const override { return hwnd(); }
    // A combo box whose value is the chosen entry's text.
    Vantor::UI::AccessibleInfo Describe() const override;

    int AddString(const std::wstring& text);
    // Puts these entries in place of the old ones, keeping the chosen place.
    void SetStrings(const std::vector<std::wstring>& entries);
    // The widest entry's width in the interface font.
    int TextWidth() const;
    void SetCurSel(int index);
    int GetCurSel() const;
    int GetCount() const;
    std::wstring GetText(int index) const;
    void SetEnabled(bool enabled);

protected:
    bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    Vantor::GdiObject<HFONT> font_;

private:
    void fillWindow();

    std::vector<std::wstring> entries_;
    int selection_ = -1;
    bool enabled_ = true;
};
