#include "picker/RenameBox.h"

#include <algorithm>
#include <string>

#include "platform/Window.h"
#include "ui/Theme.h"

namespace Vantor {

HWND RenameBox::Create(HWND parent)
{
    const HWND created = TextEditor::Create(parent, RECT{0, 0, 0, 0});
    if (created)
        SendMessageW(created, EM_LIMITTEXT, kMaxLength, 0);
    return created;
}

std::wstring RenameBox::Text() const
{
    if (!hwnd())
        return {};
    const int length = GetWindowTextLengthW(hwnd());
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd(), text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(0, copied)));
    if (text.size() > static_cast<size_t>(kMaxLength))
        text.resize(kMaxLength);
    return text;
}

void RenameBox::Show(const RECT& rect, const std::wstring& text)
{
    if (!hwnd())
        return;
    SetWindowTextW(hwnd(), text.c_str());
    Place(rect);
    SetFocus(hwnd());
    SendMessageW(hwnd(), EM_SETSEL, 0, -1);
    SendMessageW(hwnd(), EM_SCROLLCARET, 0, 0);
}

void RenameBox::Hide()
{
    if (!hwnd() || !IsWindowVisible(hwnd()))
        return;
    hiding_ = true;
    const bool hadFocus = GetFocus() == hwnd();
    ShowWindow(hwnd(), SW_HIDE);
    if (hadFocus && GetParent(hwnd()))
        SetFocus(GetParent(hwnd()));
    hiding_ = false;
}

bool RenameBox::IsShown() const { return hwnd() && IsWindowVisible(hwnd()); }

COLORREF RenameBox::TextColour() { return Theme::Instance().NormalTextColor(); }

COLORREF RenameBox::BackColour() { return RGB(255, 255, 255); }

bool RenameBox::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case Win::ReflectBase + WM_CTLCOLOREDIT: {
        // Opaque, unlike the toolkit's box: the caption under it would show through.
        if (!background_)
            background_.reset(CreateSolidBrush(BackColour()));
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, TextColour());
        SetBkColor(dc, BackColour());
        SetBkMode(dc, OPAQUE);
        result = reinterpret_cast<LRESULT>(background_.get());
        return true;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            if (onCommit)
                onCommit();
            result = 0;
            return true;
        }
        if (wParam == VK_ESCAPE) {
            if (onCancel)
                onCancel();
            result = 0;
            return true;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == L'\n' || wParam == 0x1B) {  // no beep, no new line
            result = 0;
            return true;
        }
        break;
    case WM_GETDLGCODE:
        result = DLGC_WANTALLKEYS | DLGC_HASSETSEL | DLGC_WANTCHARS;
        return true;
    case WM_KILLFOCUS:
        if (!hiding_ && onCommit)
            onCommit();
        break;
    default:
        break;
    }
    return TextEditor::HandleMessage(msg, wParam, lParam, result);
}

}  // namespace Vantor
