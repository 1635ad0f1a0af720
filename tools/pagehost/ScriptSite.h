#pragma once
// The script engine's site: hands out the named items and reports script errors.
#include "platform/ComObject.h"
#include "platform/Handles.h"

#include <activscp.h>

namespace PageHost {

class Page;

class ScriptSite : public Vantor::ComObject<ScriptSite, IActiveScriptSite, IActiveScriptSiteWindow> {
public:
    ScriptSite(Page& page, IUnknown* control, IUnknown* host, HWND window)
        : page_(page), control_(control), host_(host), window_(window)
    {
    }

    // IActiveScriptSite
    STDMETHODIMP GetLCID(LCID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** typeInfo) override;
    STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
    STDMETHODIMP OnScriptError(IActiveScriptError* error) override;
    STDMETHODIMP OnEnterScript() override { return S_OK; }
    STDMETHODIMP OnLeaveScript() override { return S_OK; }

    // IActiveScriptSiteWindow
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

private:
    Page& page_;
    Vantor::ComPtr<IUnknown> control_;
    Vantor::ComPtr<IUnknown> host_;
    HWND window_;
};

}  // namespace PageHost
