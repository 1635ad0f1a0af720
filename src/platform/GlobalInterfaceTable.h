#pragma once
// The process's global interface table: an interface registered by its own apartment can be
// fetched, as a proxy, by any other apartment. Every call needs COM entered on the thread.
#include "platform/Handles.h"

#include <objidl.h>

namespace Vantor::GlobalInterfaceTable {

// Registers object's interface iid; the table holds a strong reference until Revoke.
HRESULT Register(IUnknown* object, REFIID iid, DWORD& cookie);
HRESULT Revoke(DWORD cookie);
// The registered interface for the calling apartment (the object itself in its own).
HRESULT Get(DWORD cookie, REFIID iid, void** out);

template <typename T>
HRESULT Get(DWORD cookie, ComPtr<T>& out)
{
    out.Reset();
    return Get(cookie, __uuidof(T), reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
}

}  // namespace Vantor::GlobalInterfaceTable
