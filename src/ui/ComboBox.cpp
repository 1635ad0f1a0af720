#include "ui/ComboBox.h"

#include <commctrl.h>

#include "ui/AccessibleEvents.h"
#include "ui/Drawing.h"
#include "ui/Theme.h"

#include <algorithm>

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

void ComboBox::SetStrings(const std::vector<std::wstring>& entries)
{
    const int selection = GetCurSel();
    entries_ = entries;
    if (hwnd()) {
        SendMessageW(hwnd(), CB_RESETCONTENT, 0, 0);
        for (const std::wstring& entry : entries_)
            SendMessageW(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    }
    SetCurSel(selection);
    Vantor::UI::NotifyControlEvent(EVENT_OBJECT_VALUECHANGE, *this);
}

int ComboBox::TextWidth() const
{
    const HWND window = hwnd() ? hwnd() : host_;
    const HDC dc = GetDC(window);
    int widest = 0;
    for (const std::wstring& entry : entries_)
        widest = std::max<int>(widest, MeasureText(dc, entry, Theme::Instance().NormalFont()).cx);
    ReleaseDC(window, dc);
    return widest;
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

bool ComboBox::CanTakeFocus() const { return hwnd() && visible_ && IsWindowVisible(hwnd()) && IsWindowEnabled(hwnd()); }

std::wstring ComboBox::GetText(int index) const
{
    if (!hwnd() || index < 0)
        return {};
    const LRESULT length = SendMessageW(hwnd(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(hwnd(), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == CB_ERR ? 0 : static_cast<size_t>(copied));
    return text;
}

Vantor::UI::AccessibleInfo ComboBox::Describe() const
{
    Vantor::UI::AccessibleInfo info = ControlBase::Describe();
    info.role = ROLE_SYSTEM_COMBOBOX;
    info.value = GetText(GetCurSel());
    if (hwnd() && !IsWindowEnabled(hwnd()))
        info.state |= STATE_SYSTEM_UNAVAILABLE;
    if (hwnd() && SendMessageW(hwnd(), CB_GETDROPPEDSTATE, 0, 0))
        info.state |= STATE_SYSTEM_EXPANDED;
    else
        info.state |= STATE_SYSTEM_COLLAPSED;
    return info;
}

bool ComboBox::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // Tab leaves the box: the window that holds it moves the focus on.
    if ((msg == WM_KEYDOWN && wParam == VK_TAB) || (msg == WM_CHAR && wParam == L'\t')) {
        if (msg == WM_KEYDOWN && ::GetParent(hwnd()))
            SendMessageW(::GetParent(hwnd()), WM_KEYDOWN, VK_TAB, lParam);
        result = 0;
        return true;
    }
    if (msg == Vantor::Win::ReflectBase + WM_COMMAND) {
        if (HIWORD(wParam) == CBN_SELCHANGE) {
            selection_ = static_cast<int>(SendMessageW(hwnd(), CB_GETCURSEL, 0, 0));
            NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, ::GetParent(hwnd()), OBJID_CLIENT,
                           Vantor::UI::ChildIdOf(*this));
            SelectionChanged(selection_);
        }
        result = 0;
        return true;
    }
    return false;
}
