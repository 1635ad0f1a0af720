#include "platform/GlobalInterfaceTable.h"

namespace Vantor::GlobalInterfaceTable {
namespace {

// The table is a free-threaded process singleton; asking COM for it is cheap and avoids
// keeping a pointer beyond COM's lifetime.
HRESULT Table(ComPtr<IGlobalInterfaceTable>& table)
{
    return CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                            IID_PPV_ARGS(table.ReleaseAndGetAddressOf()));
}

}  // namespace

HRESULT Register(IUnknown* object, REFIID iid, DWORD& cookie)
{
    cookie = 0;
    ComPtr<IGlobalInterfaceTable> table;
    HRESULT hr = Table(table);
    if (FAILED(hr))
        return hr;
    return table->RegisterInterfaceInGlobal(object, iid, &cookie);
}

HRESULT Revoke(DWORD cookie)
{
    if (cookie == 0)
        return S_FALSE;
    ComPtr<IGlobalInterfaceTable> table;
    HRESULT hr = Table(table);
    if (FAILED(hr))
        return hr;
    return table->RevokeInterfaceFromGlobal(cookie);
}

HRESULT Get(DWORD cookie, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (cookie == 0)
        return E_INVALIDARG;
    ComPtr<IGlobalInterfaceTable> table;
    HRESULT hr = Table(table);
    if (FAILED(hr))
        return hr;
    return table->GetInterfaceFromGlobal(cookie, iid, out);
}

}  // namespace Vantor::GlobalInterfaceTable
