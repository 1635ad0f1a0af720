#pragma once
// The script's "host" item: echo(text), sleep(ms), quit(code), click(x, y), screenshot(path),
// key(chord), type(text), accessibleTree(), watchEvents(), events().
#include "platform/ComObject.h"

#include <oaidl.h>

namespace PageHost {

class Page;

class HostObject : public Vantor::ComObject<HostObject, IDispatch> {
public:
    explicit HostObject(Page& page) : page_(page) {}

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* error,
                        UINT* badArgument) override;

private:
    Page& page_;
};

}  // namespace PageHost
