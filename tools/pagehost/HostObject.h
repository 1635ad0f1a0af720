#pragma once
// The script's "host" item:
//   echo(text), sleep(ms), quit(code)
//   click(x, y [, control]), screenshot(path [, control])      (default: the page's control)
//   attach()                  sites a --detached control in a container
//   deactivate([control]), activate([control])   in-place deactivation and re-activation
//   addControl([x, y, w, h]) -> control, removeControl([control])
//   modalRunning()            a modal window runs on the page's thread
//   later(ms, function)       calls function once, from whatever message loop runs then
//   handleCount(), threadCount(), memoryBytes()   (committed private memory)
//   key(chord), type(text)     real key presses (AccessibleProbe.h names the keys)
//   accessibleTree([title]), watchEvents(), events()   what a screen reader reads and hears
//                              (with a title: that window of the page's instead of the control)
//   addPageField(), focusIn()  the page's element after the control, with a browser's Tab
//                              step; where the focus is ("control", "field", "none")
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
