#pragma once
// The window layer: one base class for every window of the system, whether it is a window of
// a class of our own, a native control (EDIT, COMBOBOX) subclassed for its messages, or a modal
// dialog (see Dialog.h).
//
// A derived class handles messages by overriding HandleMessage (its message map): it returns
// true when it handled the message and leaves the result in `result`; anything it leaves goes
// to the previous window procedure of a subclassed control, or to DefWindowProcW.
//
// Notifications that child controls send their parent (WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*,
// WM_DRAWITEM, ...) are reflected back to the child when the parent leaves them unhandled and
// the child is one of ours: the child receives them as ReflectBase + message.
#include <windows.h>

namespace Vantor::Win {

// Added to a message reflected from a parent to the child that sent it.
constexpr UINT ReflectBase = WM_USER + 0x1C00;

// Whether a message is a reflected notification (ReflectBase + WM_DRAWITEM .. WM_CTLCOLORSTATIC).
bool IsReflectedMessage(UINT msg);

// The module that holds this code: the DLL inside the control, the executable in tests.
HINSTANCE ThisModule();

// Registers a window class of this module once (wc.hInstance is set to the module). A class
// of the same name left over from an earlier load of the module is replaced. Every window
// class of the system registers here, so that UnregisterWindowClasses finds it.
bool RegisterModuleWindowClass(WNDCLASSEXW wc);

// Unregisters the window classes this module registered (before the module unloads).
void UnregisterWindowClasses();

// Sends a child's notification back to the child when the child is one of our windows.
// Returns true (with the child's answer in `result`) when the child took it.
bool ReflectNotification(HWND parent, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Runs the thread's message loop until WM_QUIT; returns its exit code. For programs of the
// project's own (tools, tests): inside the control the host runs the loop.
int RunMessageLoop();

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    // Destroys the window if it still exists.
    virtual ~Window();

    HWND hwnd() const { return hwnd_; }
    explicit operator bool() const { return hwnd_ != nullptr; }

    // Creates a window of this object's class (ClassName, registered on first use).
    HWND CreateWindowOfClass(HWND parent, const RECT& rect, const wchar_t* title, DWORD style,
                             DWORD exStyle = 0, UINT id = 0);
    // Creates a native control of `className` and subclasses it.
    HWND CreateNative(const wchar_t* className, HWND parent, const RECT& rect, const wchar_t* text,
                      DWORD style, DWORD exStyle = 0, UINT id = 0);
    // Routes an existing window's messages through this object. The previous procedure gets
    // them next and is put back on WM_NCDESTROY (or by Unsubclass).
    bool Subclass(HWND hwnd);
    HWND Unsubclass();
    void Destroy();

    // The object behind one of our windows, or null.
    static Window* FromHandle(HWND hwnd);

protected:
    // The message map. Runs inside the window procedure: must not throw (anything thrown is
    // caught and the message goes to default processing).
    virtual bool HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Default processing: the subclassed control's own procedure, or DefWindowProcW.
    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // After WM_NCDESTROY, when the handle is gone.
    virtual void OnFinalMessage() {}
    // Whether unhandled child notifications are reflected to the child (true by default).
    virtual bool ReflectsNotifications() const { return true; }

    // The window class of CreateWindowOfClass. Every class shares one registration routine.
    virtual const wchar_t* ClassName() const { return L"Vantor.Window"; }
    virtual UINT ClassStyle() const { return CS_DBLCLKS; }
    virtual HBRUSH ClassBackground() const { return nullptr; }

    friend class Dialog;
    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
    void AttachHandle(HWND hwnd);
    void DetachHandle();

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool RegisterClassOnce() const;

    HWND hwnd_ = nullptr;
    WNDPROC previous_ = nullptr;  // set while a native control is subclassed
};

}  // namespace Vantor::Win
