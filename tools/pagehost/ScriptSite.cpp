#include "ScriptSite.h"

#include "PageHost.h"

#include <cwchar>

namespace PageHost {

STDMETHODIMP ScriptSite::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** typeInfo)
{
    if (item)
        *item = nullptr;
    if (typeInfo)
        *typeInfo = nullptr;
    if (!name)
        return E_INVALIDARG;
    IUnknown* found = nullptr;
    if (wcscmp(name, L"control") == 0)
        found = control_.Get();
    else if (wcscmp(name, L"host") == 0)
        found = host_.Get();
    if (!found)
        return TYPE_E_ELEMENTNOTFOUND;
    if (mask & SCRIPTINFO_IUNKNOWN) {
        if (!item)
            return E_POINTER;
        *item = found;
        found->AddRef();
    }
    return S_OK;
}

STDMETHODIMP ScriptSite::OnScriptError(IActiveScriptError* error)
{
    if (!error)
        return E_POINTER;
    DWORD context = 0;
    ULONG line = 0;
    LONG column = 0;
    error->GetSourcePosition(&context, &line, &column);
    EXCEPINFO info{};
    std::wstring message = L"unknown error";
    if (SUCCEEDED(error->GetExceptionInfo(&info))) {
        if (info.pfnDeferredFillIn)
            info.pfnDeferredFillIn(&info);
        if (info.bstrDescription && SysStringLen(info.bstrDescription) > 0)
            message.assign(info.bstrDescription, SysStringLen(info.bstrDescription));
        else if (info.scode)
            message = L"error 0x" + [&] {
                wchar_t hex[16];
                swprintf(hex, 16, L"%08lX", static_cast<unsigned long>(info.scode));
                return std::wstring(hex);
            }();
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
    page_.reportScriptError(line + 1, message);
    return S_OK;
}

STDMETHODIMP ScriptSite::GetWindow(HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = window_;
    return S_OK;
}

}  // namespace PageHost
