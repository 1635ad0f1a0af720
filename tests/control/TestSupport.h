#pragma once
// Helpers for the control's tests: the built DLL, message pumping with a deadline, a page
// function stand-in and a window that drains the event queue.
#include "platform/WindowTasks.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"

#include <dispex.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace TestSupport {

// The freshly built Fotoloft.dll, as a Windows path.
std::wstring BuiltDllPath();
// Registers the built DLL for the machine (what regsvr32 does); false on failure.
bool RegisterBuiltDll();

// Pumps this thread's messages until done() holds or the time is up; returns done().
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
// Pumps this thread's messages for the given time.
void PumpFor(std::chrono::milliseconds time);

// A script function stand-in: records each text it is called with and the calling thread,
// and can pump messages during each call as a page that shows an alert does.
class Receiver : public Vantor::ComObject<Receiver, IDispatchEx> {
public:
    struct Call {
        std::wstring text;
        DWORD thread;
    };

    std::vector<Call> calls() const;
    size_t count() const;
    void pumpDuringCall(std::chrono::milliseconds time) { pumpTime_ = time; }
    int deepestNesting() const { return deepest_; }
    int nesting() const { return nesting_; }  // calls in progress on this thread

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;
    STDMETHODIMP GetDispID(BSTR, DWORD, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                          IServiceProvider*) override;
    STDMETHODIMP DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
    STDMETHODIMP GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetNextDispID(DWORD, DISPID, DISPID*) override { return S_FALSE; }
    STDMETHODIMP GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

private:
    mutable std::mutex lock_;
    std::vector<Call> calls_;
    std::chrono::milliseconds pumpTime_{0};
    int nesting_ = 0;
    int deepest_ = 0;
};

// A message-only window on the calling thread that runs a work queue (as the window of the
// object that owns it, for as long as it exists), counting its wake-ups.
class DrainWindow {
public:
    explicit DrainWindow(Vantor::WindowTasks& queue);
    ~DrainWindow();
    HWND get() const { return window_; }
    int drains() const { return drains_; }

private:
    static LRESULT CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM);
    Vantor::WindowTasks& queue_;
    HWND window_ = nullptr;
    int drains_ = 0;
};

}  // namespace TestSupport
