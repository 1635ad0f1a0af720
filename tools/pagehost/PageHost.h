#pragma once
// The page: a top-level window holding the control in ATL's AtlAxWin container, and a
// JScript engine running the page script with two named items, "control" (the control as a
// page's script sees it) and "host" (echo, sleep, quit, click, screenshot).
#include "platform/Handles.h"

#include <windows.h>

#include <string>

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
};

// Reads SCRIPT.js [--show] [--size WxH] [--timeout S] [--url ADDRESS]; false with a message
// on bad input.
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
    bool click(int x, int y);
    bool screenshot(const std::wstring& path);
    void reportScriptError(unsigned line, const std::wstring& message);

private:
    bool createWindows();
    void destroyWindows();
    HWND controlWindow() const;
    void pumpPending();

    Options options_;
    HWND frame_ = nullptr;
    HWND container_ = nullptr;
    Vantor::ComPtr<IUnknown> control_;
    bool quitRequested_ = false;
    int quitCode_ = 0;
    bool scriptFailed_ = false;
};

}  // namespace PageHost
