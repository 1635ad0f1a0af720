#pragma once
// The page: a top-level window holding the control in ATL's AtlAxWin container, and a
// JScript engine running the page script with two named items, "control" (the control as a
// page's script sees it) and "host" (HostObject.h lists its functions).
#include "Containers.h"

#include "platform/Handles.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace PageHost {

inline constexpr int kScriptErrorExit = 99;
inline constexpr int kTimeoutExit = 124;
inline constexpr int kSetupErrorExit = 2;

struct Options {
    std::wstring script;
    bool show = false;           // keep the page open after the script until its window closes
    int width = 800;
    int height = 500;
    unsigned timeoutSeconds = 60;
    std::wstring url;            // the page's address, as its container reports it (--url)
    bool detached = false;       // the control starts without a container (host.attach sites it)
};

// Reads SCRIPT.js [--show] [--size WxH] [--timeout S] [--url ADDRESS] [--detached]; false
// with a message on bad input.
bool ParseOptions(int argc, wchar_t** argv, Options& options, std::wstring& error);

class Page {
public:
    explicit Page(Options options);
    ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // Runs the script; returns the process's exit code.
    int run();

    // Host functions.
    void sleep(DWORD milliseconds);
    void requestQuit(int code);
    bool quitRequested() const { return quitRequested_; }
    // `control` null: the page's first control.
    bool click(int x, int y, IUnknown* control = nullptr);
    bool screenshot(const std::wstring& path, IUnknown* control = nullptr);
    void reportScriptError(unsigned line, const std::wstring& message);
    // What a page does to embedded controls (null: the first control).
    bool attach();
    bool deactivate(IUnknown* control);
    bool activate(IUnknown* control);
    // A new control in a container of its own at that place of the page (empty: all of it).
    Vantor::ComPtr<IUnknown> addControl(RECT place);
    bool removeControl(IUnknown* control);
    // A modal window runs on the page's thread (it has disabled the page's window).
    bool modalRunning() const;
    // Calls the script's function once, after that many milliseconds, from whatever message
    // loop runs then (a modal window's too).
    bool later(DWORD milliseconds, IDispatch* function);
    // The page's own element after the control (a small text field in the page's corner),
    // and a browser's accelerator step for it: Tab is offered to the control first
    // (IOleInPlaceActiveObject::TranslateAccelerator); refused, it moves on to the field, and
    // from the field Tab or Shift+Tab moves back into the control.
    bool addPageField();
    // Where the keyboard focus is: "control" (its window or one inside), "field" or "none".
    std::wstring focusIn() const;

private:
    bool createWindows();
    void destroyWindows();
    HWND controlWindow(IUnknown* control) const;
    IUnknown* orFirst(IUnknown* control) const { return control ? control : control_.Get(); }
    RECT pageArea() const;
    void pumpPending();
    // The accelerator step of the page's message loop; true when the message was used.
    bool preTranslate(const MSG& message);
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR timer, DWORD);

    Options options_;
    HWND frame_ = nullptr;
    HWND field_ = nullptr;  // the page's element after the control, once added
    Containers containers_;
    Vantor::ComPtr<IUnknown> control_;  // the page's first control, the script's "control"
    std::vector<std::pair<UINT_PTR, Vantor::ComPtr<IDispatch>>> timers_;  // host.later's functions
    bool quitRequested_ = false;
    int quitCode_ = 0;
    bool scriptFailed_ = false;
};

}  // namespace PageHost
