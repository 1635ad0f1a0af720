#include "control/JsonSender.h"

#include "control/FotoloftIds.h"
#include "platform/ComObject.h"
#include "platform/GlobalInterfaceTable.h"

#include <objbase.h>

namespace Vantor {
namespace {

// Enters a single-threaded apartment for the scope, leaving it only if this entered it.
class ApartmentScope {
public:
    ApartmentScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ApartmentScope()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;

private:
    HRESULT result_;
};

}  // namespace

// Stands in for the control in the global interface table. Its calls arrive on the control's
// thread, where the control also detaches it, so the target needs no lock.
class PageForwarder : public ComObject<PageForwarder, IFotoloft> {
public:
    explicit PageForwarder(IFotoloft* target) : target_(target) {}
    void cut() { target_ = nullptr; }

    void* queryInterface(REFIID iid) { return iid == IID_IDispatch ? static_cast<IFotoloft*>(this) : nullptr; }

    STDMETHODIMP FireRecvMessage(BSTR json) override { return target_ ? target_->FireRecvMessage(json) : S_OK; }
    STDMETHODIMP postMessage(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP put_recvMessage(IDispatch*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (count)
            *count = 0;
        return count ? S_OK : E_POINTER;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

private:
    IFotoloft* target_;
};

JsonSender::JsonSender() = default;
JsonSender::~JsonSender() { detach(); }

HRESULT JsonSender::attach(IFotoloft* control)
{
    detach();
    try {
        ComPtr<PageForwarder> forwarder = MakeComObject<PageForwarder>(control);
        DWORD cookie = 0;
        const HRESULT hr = GlobalInterfaceTable::Register(forwarder.Get(), IID_IFotoloft, cookie);
        if (FAILED(hr)) {
            forwarder->cut();
            return hr;
        }
        ownerThread_ = GetCurrentThreadId();
        forwarder_ = std::move(forwarder);
        cookie_ = cookie;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void JsonSender::detach()
{
    const DWORD cookie = cookie_.exchange(0);
    if (cookie)
        GlobalInterfaceTable::Revoke(cookie);
    // A worker's proxy may keep the forwarder a moment longer; it no longer reaches the control.
    if (forwarder_) {
        forwarder_->cut();
        forwarder_.Reset();
    }
}

void JsonSender::send(const std::wstring& json)
{
    std::unique_lock<std::mutex> guard(lock_, std::defer_lock);
    if (GetCurrentThreadId() == ownerThread_)
        guard.try_lock();
    else
        guard.lock();

    const ApartmentScope apartment;
    const DWORD cookie = cookie_;
    if (cookie == 0)
        return;  // the control has been closed: there is no page to deliver to
    ComPtr<IFotoloft> control;
    if (FAILED(GlobalInterfaceTable::Get(cookie, control)) || !control) {
        if (cookie_ == cookie)
            MessageBoxW(nullptr, L"从全局GIT中获取指针失败", L"sendJson", MB_OK);
        return;
    }
    const BStr text(json.data(), static_cast<UINT>(json.size()));
    control->FireRecvMessage(text.get());
}

}  // namespace Vantor
