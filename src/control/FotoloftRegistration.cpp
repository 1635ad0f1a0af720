#include "control/FotoloftRegistration.h"

#include "control/FotoloftIds.h"

#include <shlwapi.h>

namespace Vantor {

ComRegistration FotoloftRegistration(const std::wstring& modulePath)
{
    const std::wstring clsid = GuidText(CLSID_Fotoloft);
    const std::wstring libid = GuidText(LIBID_FotoloftAppLib);
    const std::wstring iid = GuidText(IID_IFotoloft);
    const std::wstring appid = GuidText(kFotoloftAppId);
    const std::wstring classKey = L"CLSID\\" + clsid;
    const std::wstring libraryKey = L"TypeLib\\" + libid + L"\\1.0";
    const std::wstring interfaceKey = L"Interface\\" + iid;
    std::wstring moduleFolder = modulePath;
    const size_t slash = moduleFolder.find_last_of(L"\\/");
    moduleFolder = slash == std::wstring::npos ? std::wstring() : moduleFolder.substr(0, slash);

    ComRegistration r;
    // The module's own application id.
    r.defaultValue(L"AppID\\" + appid, kAppName)
        .value(L"AppID\\" + std::wstring(kModuleName), L"AppID", appid)
        .owns(L"AppID\\" + appid)
        .owns(L"AppID\\" + std::wstring(kModuleName));

    // ProgIDs.
    r.defaultValue(kProgId, kClassDescription)
        .defaultValue(std::wstring(kProgId) + L"\\CLSID", clsid)
        .defaultValue(kVersionIndependentProgId, kClassDescription)
        .defaultValue(std::wstring(kVersionIndependentProgId) + L"\\CLSID", clsid)
        .defaultValue(std::wstring(kVersionIndependentProgId) + L"\\CurVer", kProgId)
        .owns(kProgId)
        .owns(kVersionIndependentProgId);

    // The class.
    r.defaultValue(classKey, kClassDescription)
        .defaultValue(classKey + L"\\ProgID", kProgId)
        .defaultValue(classKey + L"\\VersionIndependentProgID", kVersionIndependentProgId)
        .key(classKey + L"\\Programmable")
        .defaultValue(classKey + L"\\InprocServer32", modulePath)
        .value(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment")
        .value(classKey, L"AppID", appid)
        .key(classKey + L"\\Control")
        .defaultValue(classKey + L"\\ToolboxBitmap32", modulePath + L", " + std::to_wstring(kToolboxBitmapId))
        .defaultValue(classKey + L"\\MiscStatus", L"0")
        .defaultValue(classKey + L"\\MiscStatus\\1", std::to_wstring(kMiscStatus))
        .defaultValue(classKey + L"\\TypeLib", libid)
        .defaultValue(classKey + L"\\Version", L"1.0")
        .owns(classKey);

    // The type library (resource 1 of the module).
    r.defaultValue(libraryKey, kTypeLibraryDescription)
        .defaultValue(libraryKey + L"\\FLAGS", L"0")
        .defaultValue(libraryKey + L"\\0\\win32", modulePath)
        .defaultValue(libraryKey + L"\\HELPDIR", moduleFolder)
        .owns(L"TypeLib\\" + libid);

    // The interface, marshalled across apartments by the type-library marshaler.
    r.defaultValue(interfaceKey, L"IFotoloft")
        .defaultValue(interfaceKey + L"\\ProxyStubClsid", kTypeLibMarshalerClsid)
        .defaultValue(interfaceKey + L"\\ProxyStubClsid32", kTypeLibMarshalerClsid)
        .defaultValue(interfaceKey + L"\\TypeLib", libid)
        .value(interfaceKey + L"\\TypeLib", L"Version", L"1.0")
        .owns(interfaceKey);
    return r;
}

}  // namespace Vantor
