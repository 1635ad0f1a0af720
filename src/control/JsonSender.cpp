#include "control/JsonSender.h"

#include "control/FotoloftIds.h"
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

JsonSender::~JsonSender() { detach(); }

HRESULT JsonSender::attach(IFotoloft* control)
{
    detach();
    DWORD cookie = 0;
    const HRESULT hr = GlobalInterfaceTable::Register(control, IID_IFotoloft, cookie);
    if (FAILED(hr))
        return hr;
    ownerThread_ = GetCurrentThreadId();
    cookie_ = cookie;
    return S_OK;
}

void JsonSender::detach()
{
    const DWORD cookie = cookie_.exchange(0);
    if (cookie)
        GlobalInterfaceTable::Revoke(cookie);
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
