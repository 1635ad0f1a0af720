#include "PageHost.h"

#include "AddressedSite.h"

#include "HostObject.h"
#include "Output.h"
#include "Screenshot.h"
#include "ScriptSite.h"

#include "platform/TextConv.h"

#include <activscp.h>
#include <gdiplus.h>
#include <ole2.h>

#include <cwchar>
#include <fstream>
#include <iterator>

namespace PageHost {
namespace {

constexpr wchar_t kFrameClass[] = L"FotoloftPageHost";
constexpr wchar_t kProgId[] = L"Vantor.Fotoloft.1";
// {F414C260-6AC0-11CF-B6D1-00AA00BBBB58}
constexpr CLSID kJScript = {0xf414c260, 0x6ac0, 0x11cf, {0xb6, 0xd1, 0x00, 0xaa, 0x00, 0xbb, 0xbb, 0x58}};


LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE: {
        // The container fills the page.
        if (HWND child = GetWindow(window, GW_CHILD))
            MoveWindow(child, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool ReadScript(const std::wstring& path, std::wstring& text)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    text = Vantor::Utf8ToUtf16(bytes);
    return true;
}

bool ParseNumber(const std::wstring& text, unsigned& out)
{
    if (text.empty() || text.size() > 9)
        return false;
    unsigned value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    out = value;
    return true;
}

}  // namespace

bool ParseOptions(int argc, wchar_t** argv, Options& options, std::wstring& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--show") {
            options.show = true;
        } else if (argument == L"--size" && i + 1 < argc) {
            const std::wstring size = argv[++i];
            const size_t x = size.find_first_of(L"xX");
            unsigned width = 0, height = 0;
            if (x == std::wstring::npos || !ParseNumber(size.substr(0, x), width) ||
                !ParseNumber(size.substr(x + 1), height) || width < 1 || height < 1 || width > 8192 || height > 8192) {
                error = L"--size takes WIDTHxHEIGHT, for example 800x500";
                return false;
            }
            options.width = static_cast<int>(width);
            options.height = static_cast<int>(height);
        } else if (argument == L"--timeout" && i + 1 < argc) {
            unsigned seconds = 0;
            if (!ParseNumber(argv[++i], seconds) || seconds < 1) {
                error = L"--timeout takes a whole number of seconds, at least 1";
                return false;
            }
            options.timeoutSeconds = seconds;
        } else if (argument == L"--detached") {
            options.detached = true;
        } else if (argument == L"--url" && i + 1 < argc) {
            options.url = argv[++i];
        } else if (!argument.empty() && argument[0] != L'-' && options.script.empty()) {
            options.script = argument;
        } else {
            error = L"unknown argument " + argument;
            return false;
        }
    }
    if (options.script.empty()) {
        error = L"no script given";
        return false;
    }
    return true;
}

Page::Page(Options options) : options_(std::move(options)) {}

Page::~Page() { destroyWindows(); }

bool Page::createWindows()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!containers_.Init()) {
        PrintError(L"the ATL container could not be set up");
        return false;
    }

    WNDCLASSEXW frameClass{sizeof(frameClass)};
    frameClass.lpfnWndProc = FrameProc;
    frameClass.hInstance = instance;
    frameClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    frameClass.lpszClassName = kFrameClass;
    RegisterClassExW(&frameClass);

    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    RECT outer{0, 0, options_.width, options_.height};
    AdjustWindowRectEx(&outer, style, FALSE, 0);
    frame_ = CreateWindowExW(0, kFrameClass, L"Fotoloft page", style, 0, 0, outer.right - outer.left,
                             outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);
    if (!frame_) {
        PrintError(L"the page window could not be created");
        return false;
    }
    HRESULT why = S_OK;
    if (options_.detached) {
        // Made as a page's script makes an object, without a container: "attach" sites it.
        CLSID classId{};
        why = CLSIDFromProgID(kProgId, &classId);
        if (SUCCEEDED(why))
            why = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(control_.GetAddressOf()));
        if (SUCCEEDED(why))
            containers_.Adopt(control_.Get());
    } else {
        control_ = containers_.Create(frame_, pageArea(), kProgId, why);
    }
    if (!control_) {
        wchar_t code[16];
        swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(why));
        PrintError(std::wstring(L"the control ") + kProgId + L" could not be created (is it registered?); COM says " +
                   code);
        return false;
    }
    if (!options_.detached && !options_.url.empty() && !GiveAddress(control_.Get(), options_.url)) {
        PrintError(L"the page's address could not be given to the control");
        return false;
    }
    ShowWindow(frame_, SW_SHOWNORMAL);
    SetForegroundWindow(frame_);
    UpdateWindow(frame_);
    return true;
}

void Page::destroyWindows()
{
    containers_.RemoveAll();
    control_.Reset();
    if (frame_ && IsWindow(frame_))
        DestroyWindow(frame_);
    frame_ = nullptr;
}

RECT Page::pageArea() const
{
    RECT area{0, 0, options_.width, options_.height};
    if (frame_)
        GetClientRect(frame_, &area);
    return area;
}

HWND Page::controlWindow(IUnknown* control) const { return containers_.ControlWindow(orFirst(control)); }

bool Page::attach()
{
    if (!containers_.Attach(frame_, pageArea(), control_.Get()))
        return false;
    if (!options_.url.empty() && !GiveAddress(control_.Get(), options_.url))
        return false;
    // Wine's container sites the control it is given but leaves it inactive: shown now, as a
    // page shows an element once it is in the document.
    if (!controlWindow(nullptr) && !containers_.Activate(control_.Get()))
        return false;
    pumpPending();
    return true;
}

bool Page::deactivate(IUnknown* control)
{
    const bool done = containers_.Deactivate(orFirst(control));
    pumpPending();
    return done;
}

bool Page::activate(IUnknown* control)
{
    const bool done = containers_.Activate(orFirst(control));
    pumpPending();
    return done;
}

Vantor::ComPtr<IUnknown> Page::addControl(RECT place)
{
    if (place.right <= place.left || place.bottom <= place.top)
        place = pageArea();
    HRESULT why = S_OK;
    Vantor::ComPtr<IUnknown> control = containers_.Create(frame_, place, kProgId, why);
    pumpPending();
    return control;
}

bool Page::removeControl(IUnknown* control)
{
    const bool removed = containers_.Remove(orFirst(control));
    pumpPending();
    return removed;
}

bool Page::modalRunning() const { return frame_ && !IsWindowEnabled(frame_); }

namespace {
Page* g_timerPage = nullptr;
}

bool Page::later(DWORD milliseconds, IDispatch* function)
{
    if (!function)
        return false;
    const UINT_PTR timer = SetTimer(nullptr, 0, milliseconds, &Page::onTimer);
    if (!timer)
        return false;
    g_timerPage = this;
    timers_.push_back({timer, function});
    return true;
}

void CALLBACK Page::onTimer(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    Page* const page = g_timerPage;
    if (!page)
        return;
    Vantor::ComPtr<IDispatch> function;
    for (auto it = page->timers_.begin(); it != page->timers_.end(); ++it) {
        if (it->first == timer) {
            function = it->second;
            page->timers_.erase(it);
            break;
        }
    }
    if (!function || page->quitRequested_)
        return;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXCEPINFO error{};
    function->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, &error, nullptr);
    SysFreeString(error.bstrSource);
    SysFreeString(error.bstrDescription);
    SysFreeString(error.bstrHelpFile);
}

int Page::run()
{
    std::wstring script;
    if (!ReadScript(options_.script, script)) {
        PrintError(L"cannot read " + options_.script);
        return kSetupErrorExit;
    }
    ULONG_PTR gdiplus = 0;
    const Gdiplus::GdiplusStartupInput gdiplusInput;
    Gdiplus::GdiplusStartup(&gdiplus, &gdiplusInput, nullptr);

    int exitCode = 0;
    {
        if (!createWindows())
            return kSetupErrorExit;
        pumpPending();

        Vantor::ComPtr<IActiveScript> engine;
        Vantor::ComPtr<IActiveScriptParse32> parser;
        if (FAILED(CoCreateInstance(kJScript, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(engine.GetAddressOf()))) ||
            FAILED(engine.As(&parser))) {
            PrintError(L"the JScript engine could not be created");
            return kSetupErrorExit;
        }
        const Vantor::ComPtr<HostObject> host = Vantor::MakeComObject<HostObject>(*this);
        const Vantor::ComPtr<ScriptSite> site =
            Vantor::MakeComObject<ScriptSite>(*this, control_.Get(), host->unknown(), frame_);

        if (FAILED(engine->SetScriptSite(static_cast<IActiveScriptSite*>(site.Get()))) || FAILED(parser->InitNew()) ||
            FAILED(engine->AddNamedItem(L"control", SCRIPTITEM_ISVISIBLE)) ||
            FAILED(engine->AddNamedItem(L"host", SCRIPTITEM_ISVISIBLE)) ||
            FAILED(engine->SetScriptState(SCRIPTSTATE_STARTED))) {
            PrintError(L"the script engine could not be started");
            return kSetupErrorExit;
        }
        EXCEPINFO exception{};
        const HRESULT parsed = parser->ParseScriptText(script.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                                       SCRIPTTEXT_ISVISIBLE, nullptr, &exception);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        if (FAILED(parsed) && !quitRequested_ && !scriptFailed_)
            reportScriptError(0, L"the script could not be run");

        if (options_.show && !quitRequested_ && !scriptFailed_) {
            // The page stays until its window is closed.
            MSG message;
            while (IsWindow(frame_) && GetMessageW(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        // A script error anywhere, even in a function the control called, decides the outcome.
        exitCode = scriptFailed_ ? kScriptErrorExit : quitRequested_ ? quitCode_ : 0;
        engine->Close();
        timers_.clear();
    }
    destroyWindows();
    pumpPending();
    Gdiplus::GdiplusShutdown(gdiplus);
    return exitCode;
}

bool Page::addPageField()
{
    if (field_)
        return true;
    const RECT area = pageArea();
    field_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, area.left + 2,
                             area.bottom - 18, 40, 16, frame_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (field_)
        SetWindowPos(field_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return field_ != nullptr;
}

std::wstring Page::focusIn() const
{
    const HWND focus = GetFocus();
    if (!focus)
        return L"none";
    if (field_ && focus == field_)
        return L"field";
    const HWND window = controlWindow(nullptr);
    if (window && (focus == window || IsChild(window, focus)))
        return L"control";
    return L"none";
}

bool Page::preTranslate(const MSG& message)
{
    if (!field_ || message.message != WM_KEYDOWN || message.wParam != VK_TAB)
        return false;
    const HWND window = controlWindow(nullptr);
    if (!window)
        return false;
    if (message.hwnd == field_) {
        SetFocus(window);  // the page's Tab order: the field, then the control (and round)
        return true;
    }
    if (message.hwnd != window && !IsChild(window, message.hwnd))
        return false;
    Vantor::ComPtr<IOleInPlaceActiveObject> active;
    if (control_ && SUCCEEDED(control_.As(&active))) {
        MSG copy = message;
        if (active->TranslateAccelerator(&copy) == S_OK)
            return true;
    }
    SetFocus(field_);
    return true;
}

void Page::pumpPending()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (preTranslate(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Page::sleep(DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        pumpPending();
        if (quitRequested_)
            return;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void Page::requestQuit(int code)
{
    if (!quitRequested_) {
        quitRequested_ = true;
        quitCode_ = code;
    }
}

bool Page::click(int x, int y, IUnknown* control)
{
    const HWND window = controlWindow(control);
    if (!window)
        return false;
    // Controls may overlap: the one clicked comes to the front, as the user's would be seen.
    if (const HWND container = GetParent(window))
        SetWindowPos(container, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    POINT point{x, y};
    ClientToScreen(window, &point);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (screenWidth < 2 || screenHeight < 2)
        return false;
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(point.x, 65535, screenWidth - 1);
        input.mi.dy = MulDiv(point.y, 65535, screenHeight - 1);
    }
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &inputs[0], sizeof(INPUT));
    sleep(30);
    SendInput(2, &inputs[1], sizeof(INPUT));
    sleep(50);
    return true;
}

bool Page::screenshot(const std::wstring& path, IUnknown* control)
{
    const HWND window = controlWindow(control);
    if (!window)
        return false;
    if (const HWND container = GetParent(window))
        SetWindowPos(container, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    pumpPending();
    return SaveWindowPng(window, path);
}

void Page::reportScriptError(unsigned line, const std::wstring& message)
{
    if (quitRequested_)
        return;  // quit unwinds the script through an error of its own
    scriptFailed_ = true;
    PrintError(L"script error at line " + std::to_wstring(line) + L": " + message);
}

}  // namespace PageHost
