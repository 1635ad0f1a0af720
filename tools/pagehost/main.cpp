// pagehost SCRIPT.js [--show] [--size WxH] [--timeout S] [--url ADDRESS] [--detached]
//
// Runs a page script against the registered control. Exit codes: the script's quit(code),
// 0 when it ends by itself, 99 on a script error, 124 past the time-out, 2 when the page
// could not be set up.
#include "Output.h"
#include "PageHost.h"

#include <ole2.h>
#include <windows.h>

#include <cstdlib>
#include <thread>

namespace {

HANDLE g_finished = nullptr;

void StartWatchdog(unsigned seconds)
{
    g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread([seconds] {
        if (WaitForSingleObject(g_finished, seconds * 1000u) == WAIT_TIMEOUT) {
            PageHost::PrintError(L"timed out after " + std::to_wstring(seconds) + L" s");
            TerminateProcess(GetCurrentProcess(), PageHost::kTimeoutExit);
        }
    }).detach();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // scripts/page asks for a sign that Wine really started this program.
    if (const wchar_t* marker = _wgetenv(L"FOTOLOFT_PAGEHOST_STARTED")) {
        const HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    PageHost::Options options;
    std::wstring error;
    if (!PageHost::ParseOptions(argc, argv, options, error)) {
        PageHost::PrintError(error);
        PageHost::PrintError(L"usage: pagehost SCRIPT.js [--show] [--size WxH] [--timeout S] [--url ADDRESS] [--detached]");
        return PageHost::kSetupErrorExit;
    }
    if (!options.show)
        StartWatchdog(options.timeoutSeconds);
    if (FAILED(OleInitialize(nullptr))) {
        PageHost::PrintError(L"OLE could not be initialised");
        return PageHost::kSetupErrorExit;
    }
    int code = 0;
    try {
        PageHost::Page page(options);
        code = page.run();
    } catch (...) {
        PageHost::PrintError(L"unexpected failure");
        code = PageHost::kSetupErrorExit;
    }
    OleUninitialize();
    if (g_finished)
        SetEvent(g_finished);
    return code;
}
