#include "platform/TypeLibrary.h"

#include "platform/ComModule.h"

namespace Vantor::TypeLibrary {

HRESULT Load(REFGUID libraryId, WORD major, WORD minor, ComPtr<ITypeLib>& out)
{
    out.Reset();
    const std::wstring module = ComModule::FileName();
    if (!module.empty() && SUCCEEDED(LoadTypeLibEx(module.c_str(), REGKIND_NONE, out.ReleaseAndGetAddressOf())))
        return S_OK;
    return LoadRegTypeLib(libraryId, major, minor, LOCALE_USER_DEFAULT, out.ReleaseAndGetAddressOf());
}

HRESULT TypeInfoOf(REFGUID libraryId, WORD major, WORD minor, REFGUID guid, ComPtr<ITypeInfo>& out)
{
    out.Reset();
    ComPtr<ITypeLib> library;
    const HRESULT hr = Load(libraryId, major, minor, library);
    if (FAILED(hr))
        return hr;
    return library->GetTypeInfoOfGuid(guid, out.ReleaseAndGetAddressOf());
}

}  // namespace Vantor::TypeLibrary
