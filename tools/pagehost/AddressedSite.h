#pragma once
// The page's address as a browser's container gives it: a client site that wraps the one the
// ATL container made and answers GetMoniker for the container with a URL moniker of the
// address given by --url. Everything else goes to the wrapped site (other interfaces are
// the wrapped site's own).
#include "platform/Handles.h"

#include <ole2.h>

#include <atomic>
#include <string>

namespace PageHost {

class AddressedSite : public IOleClientSite {
public:
    AddressedSite(Vantor::ComPtr<IOleClientSite> inner, std::wstring address);
    virtual ~AddressedSite() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP SaveObject() override { return inner_->SaveObject(); }
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override { return inner_->GetContainer(container); }
    STDMETHODIMP ShowObject() override { return inner_->ShowObject(); }
    STDMETHODIMP OnShowWindow(BOOL show) override { return inner_->OnShowWindow(show); }
    STDMETHODIMP RequestNewObjectLayout() override { return inner_->RequestNewObjectLayout(); }

private:
    Vantor::ComPtr<IOleClientSite> inner_;
    std::wstring address_;
    std::atomic<ULONG> references_{1};
};

// Gives the control a site that knows the page's address; false when it could not.
bool GiveAddress(IUnknown* control, const std::wstring& address);

}  // namespace PageHost
