#include "AddressedSite.h"

#include <urlmon.h>

namespace PageHost {

AddressedSite::AddressedSite(Vantor::ComPtr<IOleClientSite> inner, std::wstring address)
    : inner_(std::move(inner)), address_(std::move(address))
{
}

STDMETHODIMP AddressedSite::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
        *out = static_cast<IOleClientSite*>(this);
        AddRef();
        return S_OK;
    }
    return inner_->QueryInterface(iid, out);
}

STDMETHODIMP_(ULONG) AddressedSite::Release()
{
    const ULONG left = --references_;
    if (left == 0)
        delete this;
    return left;
}

STDMETHODIMP AddressedSite::GetMoniker(DWORD assign, DWORD which, IMoniker** moniker)
{
    if (!moniker)
        return E_POINTER;
    *moniker = nullptr;
    if (which != OLEWHICHMK_CONTAINER)
        return inner_->GetMoniker(assign, which, moniker);
    return CreateURLMonikerEx(nullptr, address_.c_str(), moniker, URL_MK_UNIFORM);
}

bool GiveAddress(IUnknown* control, const std::wstring& address)
{
    Vantor::ComPtr<IOleObject> object;
    Vantor::ComPtr<IOleClientSite> inner;
    if (!control || FAILED(control->QueryInterface(IID_PPV_ARGS(object.GetAddressOf()))) ||
        FAILED(object->GetClientSite(inner.GetAddressOf())) || !inner)
        return false;
    IOleClientSite* site = new AddressedSite(inner, address);
    const HRESULT hr = object->SetClientSite(site);
    site->Release();
    return SUCCEEDED(hr);
}

}  // namespace PageHost
