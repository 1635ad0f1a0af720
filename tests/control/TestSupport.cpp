#include "TestSupport.h"

#include "platform/WindowTasks.h"

#include <algorithm>

namespace TestSupport {

std::wstring BuiltDllPath()
{
    std::wstring path = L"Z:" FOTOLOFT_DLL_PATH;
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

bool RegisterBuiltDll()
{
    const Vantor::UniqueModule dll(LoadLibraryW(BuiltDllPath().c_str()));
    if (!dll)
        return false;
    using Entry = HRESULT(WINAPI*)();
    const auto registerServer =
        reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll.get(), "DllRegisterServer")));
    return registerServer && SUCCEEDED(registerServer());
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done())
            return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<long long>(left + 1, 10)), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
    return true;
}

void PumpFor(std::chrono::milliseconds time)
{
    const auto deadline = std::chrono::steady_clock::now() + time;
    PumpUntil([&] { return std::chrono::steady_clock::now() >= deadline; }, time + std::chrono::milliseconds(100));
}

std::vector<Receiver::Call> Receiver::calls() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

size_t Receiver::count() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return calls_.size();
}

STDMETHODIMP Receiver::GetTypeInfoCount(UINT* count)
{
    *count = 0;
    return S_OK;
}

STDMETHODIMP Receiver::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO* error, UINT*)
{
    return InvokeEx(id, 0, flags, params, result, error, nullptr);
}

STDMETHODIMP Receiver::InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                IServiceProvider*)
{
    if (id != DISPID_VALUE || !(flags & DISPATCH_METHOD) || !params || params->cArgs != 1 ||
        params->rgvarg[0].vt != VT_BSTR)
        return DISP_E_MEMBERNOTFOUND;
    const BSTR text = params->rgvarg[0].bstrVal;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        calls_.push_back({std::wstring(text, SysStringLen(text)), GetCurrentThreadId()});
    }
    if (pumpTime_.count() > 0) {
        ++nesting_;
        deepest_ = std::max(deepest_, nesting_);
        PumpFor(pumpTime_);
        --nesting_;
    }
    return S_OK;
}

DrainWindow::DrainWindow(Vantor::WindowTasks& queue) : queue_(queue)
{
    WNDCLASSEXW windowClass{sizeof(windowClass)};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"FotoloftTestDrain";
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(0, L"FotoloftTestDrain", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), this);
    queue_.SetWindow(window_);
}

DrainWindow::~DrainWindow()
{
    queue_.SetWindow(nullptr);
    if (window_)
        DestroyWindow(window_);
}

LRESULT CALLBACK DrainWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<DrainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == Vantor::WindowTasks::WakeMessage()) {
        ++self->drains_;
        self->queue_.HandleMessage(window, message);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace TestSupport
