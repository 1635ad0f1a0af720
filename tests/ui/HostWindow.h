#pragma once
// A real top-level window of our own class, with a client area of a given size, that reflects
// its children's notifications like every window of the system.
#include <windows.h>

#include "platform/Window.h"

class TestHostWindow : public Vantor::Win::Window {
public:
    TestHostWindow(int width, int height, DWORD style = WS_POPUP)
    {
        RECT r{0, 0, width, height};
        AdjustWindowRectEx(&r, style, FALSE, 0);
        OffsetRect(&r, 40 - r.left, 40 - r.top);
        CreateWindowOfClass(nullptr, r, L"test host", style);
    }
    HWND get() const { return hwnd(); }
    void Resize(int width, int height)
    {
        SetWindowPos(hwnd(), nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }

protected:
    const wchar_t* ClassName() const override { return L"Vantor.Test.Host"; }
};
