#include "ui/ComboBox.h"

#include <commctrl.h>

#include "ui/Theme.h"

ComboBox::ComboBox() : font_(Theme::CreateUiFont(FW_NORMAL)) {}

ComboBox::~ComboBox()
{
    if (hwnd())
        DestroyWindow(hwnd());
}

HWND ComboBox::Create(HWND parent)
{
    const HWND created =
        CreateNative(L"COMBOBOX", parent, RECT{0, 0, 0, 0}, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST);
    if (created) {
        SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
        SendMessageW(created, CB_SETMINVISIBLE, 6, 0);
    }
    return created;
}

void ComboBox::SetVisible(int flag)
{
    visible_ = flag;
    if (hwnd())
        ShowWindow(hwnd(), flag ? SW_SHOW : SW_HIDE);
}

void ComboBox::GetHostClientRect(RECT* out) const
{
    if (!out)
        return;
    *out = RECT{};
    const HWND parent = hwnd() ? ::GetParent(hwnd()) : GetHwnd();
    if (parent)
        GetClientRect(parent, out);
}

void ComboBox::Attach(ControlBase* parent)
{
    if (!parent)
        return;
    if (!hwnd())
        Create(parent->GetHwnd());
    ControlBase::Attach(parent);
}

void ComboBox::Layout()
{
    bounds_ = ComputeBounds();
    if (hwnd())
        MoveWindow(hwnd(), bounds_.left, bounds_.top, bounds_.right - bounds_.left, bounds_.bottom - bounds_.top, TRUE);
}

void ComboBox::CreateView(HWND parent)
{
    if (hwnd() || !parent)
        return;
    host_ = parent;
    if (Create(parent))
        fillWindow();
    Layout();
}

void ComboBox::fillWindow()
{
    for (const std::wstring& entry : entries_)
        SendMessageW(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    SendMessageW(hwnd(), CB_SETCURSEL, static_cast<WPARAM>(selection_), 0);
    EnableWindow(hwnd(), enabled_ ? TRUE : FALSE);
    if (!visible_)
        ShowWindow(hwnd(), SW_HIDE);
}

void ComboBox::ReleaseView()
{
    if (hwnd()) {
        selection_ = GetCurSel();
        DestroyWindow(hwnd());
    }
    ControlBase::ReleaseView();
}

int ComboBox::AddString(const std::wstring& text)
{
    entries_.push_back(text);
    if (hwnd())
        SendMessageW(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return static_cast<int>(entries_.size()) - 1;
}

void ComboBox::SetCurSel(int index)
{
    selection_ = index >= 0 && index < static_cast<int>(entries_.size()) ? index : -1;
    if (hwnd())
        SendMessageW(hwnd(), CB_SETCURSEL, static_cast<WPARAM>(selection_), 0);
}

int ComboBox::GetCurSel() const
{
    return hwnd() ? static_cast<int>(SendMessageW(hwnd(), CB_GETCURSEL, 0, 0)) : selection_;
}

int ComboBox::GetCount() const { return static_cast<int>(entries_.size()); }

void ComboBox::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    if (hwnd())
        EnableWindow(hwnd(), enabled ? TRUE : FALSE);
}

bool ComboBox::HandleMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (msg == Vantor::Win::ReflectBase + WM_COMMAND) {
        if (HIWORD(wParam) == CBN_SELCHANGE) {
            selection_ = static_cast<int>(SendMessageW(hwnd(), CB_GETCURSEL, 0, 0));
            SelectionChanged(selection_);
        }
        result = 0;
        return true;
    }
    return false;
}
