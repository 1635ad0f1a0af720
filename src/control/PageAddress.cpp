#include "control/PageAddress.h"

#include "platform/Handles.h"

#include <servprov.h>

namespace Vantor {
namespace {

// The browser service (IWebBrowserApp), reached through the site's service provider.
const GUID kWebBrowserAppService = {0x0002DF05, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// A text property read late-bound, as a script would: "URL" of a document, "LocationURL" of
// a browser.
std::wstring TextProperty(IDispatch* object, const wchar_t* name)
{
    if (!object)
        return {};
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return {};
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT value;
    VariantInit(&value);
    std::wstring text;
    if (SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value, nullptr,
                                 nullptr)) &&
        value.vt == VT_BSTR && value.bstrVal)
        text.assign(value.bstrVal, SysStringLen(value.bstrVal));
    VariantClear(&value);
    return text;
}

std::wstring DocumentAddress(IOleClientSite* site)
{
    ComPtr<IOleContainer> container;
    if (FAILED(site->GetContainer(container.GetAddressOf())) || !container)
        return {};
    ComPtr<IDispatch> document;
    if (FAILED(container.As(&document)))
        return {};
    return TextProperty(document.Get(), L"URL");
}

std::wstring MonikerAddress(IOleClientSite* site)
{
    ComPtr<IMoniker> moniker;
    if (FAILED(site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, moniker.GetAddressOf())) || !moniker)
        return {};
    ComPtr<IBindCtx> context;
    if (FAILED(CreateBindCtx(0, context.GetAddressOf())))
        return {};
    LPOLESTR name = nullptr;
    if (FAILED(moniker->GetDisplayName(context.Get(), nullptr, &name)) || !name)
        return {};
    std::wstring text(name);
    CoTaskMemFree(name);
    return text;
}

std::wstring BrowserAddress(IOleClientSite* site)
{
    ComPtr<IServiceProvider> services;
    if (FAILED(site->QueryInterface(IID_PPV_ARGS(services.GetAddressOf()))))
        return {};
    ComPtr<IDispatch> browser;
    if (FAILED(services->QueryService(kWebBrowserAppService, IID_IDispatch,
                                      reinterpret_cast<void**>(browser.GetAddressOf()))))
        return {};
    return TextProperty(browser.Get(), L"LocationURL");
}

}  // namespace

std::wstring PageAddressOf(IOleClientSite* site)
{
    if (!site)
        return {};
    try {
        for (auto ask : {DocumentAddress, MonikerAddress, BrowserAddress}) {
            std::wstring address = ask(site);
            if (!address.empty())
                return address;
        }
    } catch (...) {
    }
    return {};
}

}  // namespace Vantor
