#include "platform/Window.h"

#include <mutex>
#include <set>
#include <string>

namespace Vantor::Win {

namespace {

constexpr wchar_t kObjectProperty[] = L"Vantor.Window";

// The object whose window is being created on this thread: its first messages arrive before
// CreateWindowExW returns the handle.
thread_local Window* t_creating = nullptr;

HWND NotifyingChild(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
        return lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_DRAWITEM:
        return wParam && lParam ? reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_MEASUREITEM:
        return wParam && lParam ? GetDlgItem(parent, reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam)->CtlID)
                                : nullptr;
    case WM_COMPAREITEM:
        return wParam && lParam ? reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    case WM_DELETEITEM:
        return wParam && lParam ? reinterpret_cast<const DELETEITEMSTRUCT*>(lParam)->hwndItem : nullptr;
    default:
        return nullptr;
    }
}

std::mutex g_classesLock;
std::set<std::wstring> g_classes;  // registered by this module

}  // namespace

bool IsReflectedMessage(UINT msg)
{
    return msg >= ReflectBase + WM_DRAWITEM && msg <= ReflectBase + WM_CTLCOLORSTATIC;
}

HINSTANCE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

void UnregisterWindowClasses()
{
    std::lock_guard<std::mutex> lock(g_classesLock);
    for (const std::wstring& name : g_classes)
        UnregisterClassW(name.c_str(), ThisModule());
    g_classes.clear();
}

int RunMessageLoop()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

bool ReflectNotification(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const HWND child = NotifyingChild(parent, msg, wParam, lParam);
    if (!child || child == parent || GetParent(child) != parent || !Window::FromHandle(child))
        return false;
    result = SendMessageW(child, ReflectBase + msg, wParam, lParam);
    return true;
}

Window::~Window()
{
    if (!hwnd_)
        return;
    // The derived parts are gone: let the window die without calling back into them.
    const HWND hwnd = hwnd_;
    if (previous_)
        Unsubclass();
    else
        DetachHandle();
    DestroyWindow(hwnd);
}

Window* Window::FromHandle(HWND hwnd)
{
    return hwnd ? static_cast<Window*>(GetPropW(hwnd, kObjectProperty)) : nullptr;
}

void Window::AttachHandle(HWND hwnd)
{
    hwnd_ = hwnd;
    SetPropW(hwnd, kObjectProperty, this);
}

void Window::DetachHandle()
{
    if (hwnd_)
        RemovePropW(hwnd_, kObjectProperty);
    hwnd_ = nullptr;
    previous_ = nullptr;
}

bool RegisterModuleWindowClass(WNDCLASSEXW wc)
{
    wc.cbSize = sizeof(wc);
    wc.hInstance = ThisModule();
    WNDCLASSEXW existing{sizeof(existing)};
    if (GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing)) {
        if (existing.lpfnWndProc == wc.lpfnWndProc)
            return true;
        UnregisterClassW(wc.lpszClassName, wc.hInstance);  // left over from an earlier load of this module
    }
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    std::lock_guard<std::mutex> lock(g_classesLock);
    g_classes.insert(wc.lpszClassName);
    return true;
}

bool Window::RegisterClassOnce() const
{
    WNDCLASSEXW wc{sizeof(wc)};
    wc.style = ClassStyle();
    wc.lpfnWndProc = &Window::WindowProc;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = ClassBackground();
    wc.lpszClassName = ClassName();
    return RegisterModuleWindowClass(wc);
}

HWND Window::CreateWindowOfClass(HWND parent, const RECT& rect, const wchar_t* title, DWORD style, DWORD exStyle,
                                 UINT id)
{
    if (hwnd_ || !RegisterClassOnce())
        return nullptr;
    t_creating = this;
    const HWND hwnd = CreateWindowExW(exStyle, ClassName(), title ? title : L"", style, rect.left, rect.top,
                                      rect.right - rect.left, rect.bottom - rect.top, parent,
                                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ThisModule(), nullptr);
    t_creating = nullptr;
    return hwnd;
}

HWND Window::CreateNative(const wchar_t* className, HWND parent, const RECT& rect, const wchar_t* text, DWORD style,
                          DWORD exStyle, UINT id)
{
    if (hwnd_)
        return nullptr;
    const HWND hwnd = CreateWindowExW(exStyle, className, text ? text : L"", style, rect.left, rect.top,
                                      rect.right - rect.left, rect.bottom - rect.top, parent,
                                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ThisModule(), nullptr);
    if (!hwnd)
        return nullptr;
    if (!Subclass(hwnd)) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    // Let the new procedure compute the non-client area (frames drawn by the control itself).
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return hwnd;
}

bool Window::Subclass(HWND hwnd)
{
    if (hwnd_ || !hwnd || FromHandle(hwnd))
        return false;
    AttachHandle(hwnd);
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::WindowProc)));
    if (!previous_) {
        DetachHandle();
        return false;
    }
    return true;
}

HWND Window::Unsubclass()
{
    const HWND hwnd = hwnd_;
    if (!hwnd || !previous_)
        return nullptr;
    if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Window::WindowProc))
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    DetachHandle();
    return hwnd;
}

void Window::Destroy()
{
    if (hwnd_)
        DestroyWindow(hwnd_);
}

bool Window::HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT Window::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (IsReflectedMessage(msg))  // nobody took the reflected notification: handle it as unreflected
        return DefWindowProcW(hwnd_, msg - ReflectBase, wParam, lParam);
    if (previous_)
        return CallWindowProcW(previous_, hwnd_, msg, wParam, lParam);
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT Window::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    bool handled = false;
    try {
        handled = HandleMessage(msg, wParam, lParam, result);
    } catch (...) {
        handled = false;
        result = 0;
    }
    if (!handled && ReflectsNotifications())
        handled = ReflectNotification(hwnd_, msg, wParam, lParam, result);
    if (!handled)
        result = DefaultProc(msg, wParam, lParam);
    return result;
}

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Window* self = FromHandle(hwnd);
    if (!self) {
        self = t_creating;
        if (!self)
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        t_creating = nullptr;
        self->AttachHandle(hwnd);
    }
    if (msg != WM_NCDESTROY)
        return self->Dispatch(msg, wParam, lParam);

    // The last message: the subclassed control gets its own procedure back first.
    const WNDPROC previous = self->previous_;
    if (previous && GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Window::WindowProc))
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    LRESULT ignored = 0;
    try {
        self->HandleMessage(msg, wParam, lParam, ignored);
    } catch (...) {
    }
    const LRESULT result =
        previous ? CallWindowProcW(previous, hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
    self->DetachHandle();
    try {
        self->OnFinalMessage();
    } catch (...) {
    }
    return result;
}

}  // namespace Vantor::Win
