#include "ui/Editor.h"

#include <cwchar>

#include "ui/Theme.h"

bool HandleOnePixelFrame(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, COLORREF color, LRESULT& result)
{
    if (msg == WM_NCCALCSIZE) {
        RECT* client = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
        if (client)
            InflateRect(client, -1, -1);
        result = 0;
        return true;
    }
    if (msg == WM_NCPAINT) {
        RECT window{}, client{};
        GetWindowRect(hwnd, &window);
        GetClientRect(hwnd, &client);
        MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
        OffsetRect(&client, -window.left, -window.top);
        OffsetRect(&window, -window.left, -window.top);
        if (const HDC dc = GetWindowDC(hwnd)) {
            ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
            const COLORREF old = SetBkColor(dc, color);
            ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &window, nullptr, 0, nullptr);
            SetBkColor(dc, old);
            ReleaseDC(hwnd, dc);
        }
        result = 0;
        return true;
    }
    return false;
}

Editor::Editor() : font_(Theme::CreateUiFont(FW_NORMAL)) {}

Editor::~Editor()
{
    // The window goes before its font.
    if (hwnd())
        DestroyWindow(hwnd());
}

DWORD Editor::Style() const
{
    DWORD style = WS_CHILD | WS_VISIBLE | ES_NUMBER | ES_WANTRETURN;
    if (readOnly_)
        style |= ES_READONLY;
    if (password_)
        style |= ES_PASSWORD;
    if (limit_)
        style |= ES_MULTILINE;
    return style;
}

HWND Editor::Create(HWND parent) { return Create(parent, 0, 0, 0, 0); }

HWND Editor::Create(HWND parent, int x, int y, int width, int height)
{
    const HWND created = CreateNative(L"EDIT", parent, RECT{x, y, x + width, y + height}, L"", Style());
    if (created) {
        SendMessageW(created, EM_LIMITTEXT, static_cast<WPARAM>(limit_), 0);
        SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    }
    return created;
}

void Editor::SetVisible(int flag)
{
    visible_ = flag;
    if (hwnd())
        ShowWindow(hwnd(), flag ? SW_SHOW : SW_HIDE);
}

void Editor::Attach(ControlBase* parent)
{
    if (!parent)
        return;
    if (!hwnd())
        Create(parent->GetHwnd());
    ControlBase::Attach(parent);
}

void Editor::Layout()
{
    bounds_ = ComputeBounds();
    if (hwnd())
        MoveWindow(hwnd(), bounds_.left, bounds_.top, bounds_.right - bounds_.left, bounds_.bottom - bounds_.top, TRUE);
}

void Editor::SetInt(int value)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"%d", value);
    text[9] = L'\0';  // at most 9 characters
    if (hwnd())
        SetWindowTextW(hwnd(), text);
}

int Editor::GetInt() const { return _wtoi(GetText().c_str()); }

std::wstring Editor::GetText() const
{
    if (!hwnd())
        return std::wstring();
    const int length = GetWindowTextLengthW(hwnd());
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd(), text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

bool Editor::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    using Vantor::Win::ReflectBase;
    switch (msg) {
    case WM_SETFOCUS:
        FocusGained();
        return false;
    case WM_MOUSEMOVE:
        MouseMoved();
        return false;
    case WM_LBUTTONDOWN:
        MousePressed();
        return false;
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_RETURN:
            if (GetKeyState(VK_LCONTROL) < 0 || GetKeyState(VK_RCONTROL) < 0)
                CtrlEnterPressed();
            else
                EnterPressed();
            return true;
        case VK_ESCAPE:
            EscapePressed();
            return true;
        case VK_UP:
            UpPressed();
            return true;
        case VK_DOWN:
            DownPressed();
            return true;
        default:
            return false;
        }
    case WM_GETDLGCODE: {
        // In a dialog Enter would go to the dialog's default button before the box sees it:
        // a box that acts on Enter asks for it.
        result = DefaultProc(msg, wParam, lParam);
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        if (message && message->message == WM_KEYDOWN && message->wParam == VK_RETURN && !EnterPressed.empty())
            result |= DLGC_WANTALLKEYS;
        return true;
    }
    case WM_CHAR:
        // The characters of the keys taken above: no line break typed, no beep.
        return wParam == L'\r' || wParam == L'\n' || wParam == 0x1B;
    case ReflectBase + WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE)
            TextChanged();
        else if (HIWORD(wParam) == EN_KILLFOCUS)
            FocusLost();
        return true;
    case ReflectBase + WM_CTLCOLOREDIT:
        result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        return true;
    default:
        return HandleOnePixelFrame(hwnd(), msg, wParam, lParam, border_, result);
    }
}
