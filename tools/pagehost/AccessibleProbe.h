#pragma once
// What a screen reader would find in the page: the control's accessible tree read through the
// system's oleacc (AccessibleObjectFromWindow, AccessibleChildren), and the accessibility
// events the control fires (SetWinEventHook), both as lines of text for the page script.
#include <windows.h>

#include <string>
#include <vector>

namespace PageHost {

// The control's window (the first of its class in this process), or null.
HWND FindControlWindow();
// A visible top-level window of this process with that title (a dialog, the edit window), or null.
HWND FindTopWindow(const std::wstring& title);

// One line per element, depth first, indented two spaces per level:
//   role|name|state words|description|value|default action|left,top,width,height (screen)
std::wstring DumpAccessibleTree(HWND window);

// Records the object events of the control's windows from Start until Take.
class WinEventRecorder {
public:
    WinEventRecorder() = default;
    ~WinEventRecorder();
    WinEventRecorder(const WinEventRecorder&) = delete;
    WinEventRecorder& operator=(const WinEventRecorder&) = delete;

    void Start(HWND window);
    // The events since Start or the last Take, one a line: "event|role|name|state words".
    std::wstring Take();

private:
    static void CALLBACK OnEvent(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG object, LONG child, DWORD thread,
                                 DWORD time);
    HWINEVENTHOOK hook_ = nullptr;
    HWND window_ = nullptr;
    std::vector<std::wstring> lines_;
};

// Keys for the page script: "Right", "Shift+Right", "Ctrl+A", "Tab", "Shift+Tab", "Enter",
// "Space", "F2", "Delete", "Ctrl+E", "Escape", "Home", "End", "PageUp", "PageDown", "Up",
// "Down", "Left", a letter or a digit. False for a name it does not know.
bool SendKeyChord(const std::wstring& chord);
// Types the text as Unicode characters.
bool SendText(const std::wstring& text);

}  // namespace PageHost
