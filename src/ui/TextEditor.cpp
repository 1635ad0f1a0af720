#include "ui/TextEditor.h"

#include "ui/Editor.h"
#include "ui/Theme.h"

TextEditor::TextEditor() : font_(Theme::CreateUiFont(FW_NORMAL)) {}

TextEditor::~TextEditor()
{
    if (hwnd())
        DestroyWindow(hwnd());
}

HWND TextEditor::Create(HWND parent, const RECT& rect)
{
    const HWND created = CreateNative(L"EDIT", parent, rect, L"", WS_CHILD | ES_MULTILINE | ES_AUTOHSCROLL);
    if (created)
        SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    return created;
}

void TextEditor::Place(const RECT& rect)
{
    if (!hwnd())
        return;
    SetWindowPos(hwnd(), nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_SHOWWINDOW | SWP_NOZORDER);
    RECT client{};
    GetClientRect(hwnd(), &client);
    TEXTMETRICW metrics{};
    if (const HDC dc = GetDC(hwnd())) {
        const HGDIOBJ old = SelectObject(dc, font_.get());
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(hwnd(), dc);
    }
    int vertical = (client.bottom - metrics.tmExternalLeading - metrics.tmHeight) / 2;
    if (vertical < 0)
        vertical = 0;
    RECT format = client;
    InflateRect(&format, -2, -vertical);
    SendMessageW(hwnd(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&format));
}

bool TextEditor::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (msg == Vantor::Win::ReflectBase + WM_CTLCOLOREDIT) {
        SetTextColor(reinterpret_cast<HDC>(wParam), textColor_);
        result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        return true;
    }
    return HandleOnePixelFrame(hwnd(), msg, wParam, lParam, border_, result);
}
