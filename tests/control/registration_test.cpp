// Registration of the built DLL with the system's regsvr32: for the machine, then removed,
// then for the current user only through DllInstall "user". Wine does not create objects
// from per-user classes, so the user registration is checked by its keys.
#include "TestSupport.h"

#include "control/FotoloftIds.h"
#include "platform/ActiveXControl.h"  // IObjectSafety with its GUID
#include "platform/ComRegistration.h"
#include "platform/Registry.h"
#include "platform/TextConv.h"

#include <gtest/gtest.h>

#include <objsafe.h>

#include <algorithm>
#include <cwctype>

using namespace Vantor;

namespace {

DWORD RunRegsvr32(const std::wstring& arguments)
{
    std::wstring commandLine = L"regsvr32.exe " + arguments + L" \"" + TestSupport::BuiltDllPath() + L"\"";
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return ~0u;
    const UniqueKernelHandle processHandle(process.hProcess);
    const UniqueKernelHandle threadHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0)
        return ~0u;
    DWORD code = ~0u;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
}

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

const std::wstring kClsid = GuidText(CLSID_Fotoloft);
const std::wstring kLibid = GuidText(LIBID_FotoloftAppLib);
const std::wstring kIid = GuidText(IID_IFotoloft);
const std::wstring kAppid = GuidText(kFotoloftAppId);
const std::wstring kClassKey = L"CLSID\\" + kClsid;

// Every key and value the control's registration writes, checked under root (a class root).
void ExpectRegistered(HKEY root)
{
    auto value = [root](const std::wstring& key, const std::wstring& name = L"") {
        return Registry::ReadString(root, key, name).value_or(L"<missing>");
    };
    EXPECT_EQ(value(L"Vantor.Fotoloft.1"), L"Fotoloft Class");
    EXPECT_EQ(value(L"Vantor.Fotoloft.1\\CLSID"), kClsid);
    EXPECT_EQ(value(L"Vantor.Fotoloft"), L"Fotoloft Class");
    EXPECT_EQ(value(L"Vantor.Fotoloft\\CLSID"), kClsid);
    EXPECT_EQ(value(L"Vantor.Fotoloft\\CurVer"), L"Vantor.Fotoloft.1");

    EXPECT_EQ(value(kClassKey), L"Fotoloft Class");
    EXPECT_EQ(value(kClassKey + L"\\ProgID"), L"Vantor.Fotoloft.1");
    EXPECT_EQ(value(kClassKey + L"\\VersionIndependentProgID"), L"Vantor.Fotoloft");
    EXPECT_TRUE(Registry::KeyExists(root, kClassKey + L"\\Programmable"));
    EXPECT_TRUE(Registry::KeyExists(root, kClassKey + L"\\Control"));
    const std::wstring dll = Lower(TestSupport::BuiltDllPath());
    EXPECT_EQ(Lower(value(kClassKey + L"\\InprocServer32")), dll);
    EXPECT_EQ(value(kClassKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(value(kClassKey, L"AppID"), kAppid);
    EXPECT_EQ(Lower(value(kClassKey + L"\\ToolboxBitmap32")), dll + L", 102");
    EXPECT_EQ(value(kClassKey + L"\\MiscStatus"), L"0");
    EXPECT_EQ(value(kClassKey + L"\\MiscStatus\\1"), L"131473");
    EXPECT_EQ(value(kClassKey + L"\\TypeLib"), kLibid);
    EXPECT_EQ(value(kClassKey + L"\\Version"), L"1.0");

    EXPECT_EQ(value(L"AppID\\" + kAppid), L"Fotoloft");
    EXPECT_EQ(value(L"AppID\\Fotoloft.DLL", L"AppID"), kAppid);

    EXPECT_EQ(Lower(value(L"TypeLib\\" + kLibid + L"\\1.0\\0\\win32")), dll);
    EXPECT_EQ(value(L"Interface\\" + kIid), L"IFotoloft");
    EXPECT_EQ(value(L"Interface\\" + kIid + L"\\ProxyStubClsid32"), L"{00020424-0000-0000-C000-000000000046}");
    EXPECT_EQ(value(L"Interface\\" + kIid + L"\\TypeLib"), kLibid);
    EXPECT_EQ(value(L"Interface\\" + kIid + L"\\TypeLib", L"Version"), L"1.0");
}

void ExpectUnregistered(HKEY root)
{
    for (const std::wstring& key : {std::wstring(L"Vantor.Fotoloft.1"), std::wstring(L"Vantor.Fotoloft"), kClassKey,
                                    L"AppID\\" + kAppid, std::wstring(L"AppID\\Fotoloft.DLL"), L"TypeLib\\" + kLibid,
                                    L"Interface\\" + kIid})
        EXPECT_FALSE(Registry::KeyExists(root, key)) << Vantor::Utf16ToUtf8(key);
    // Shared parents stay.
    EXPECT_TRUE(Registry::KeyExists(root, L"CLSID"));
}

HKEY MachineClasses()
{
    static const Registry::Key key = Registry::Key::Open(HKEY_LOCAL_MACHINE, L"Software\\Classes");
    return key.get();
}

HKEY UserClasses()
{
    static const Registry::Key key = Registry::Key::Create(HKEY_CURRENT_USER, L"Software\\Classes");
    return key.get();
}

}  // namespace

TEST(Registration, Regsvr32RegistersTheClassTypeLibraryAndInterfaceThenRemovesThem)
{
    ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
    ExpectRegistered(HKEY_CLASSES_ROOT);

    // The type library the registration names loads and describes the dual interface.
    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(LIBID_FotoloftAppLib, 1, 0, 0, library.GetAddressOf()), S_OK);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IFotoloft, info.GetAddressOf()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
    const WORD functions = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    // The dispatch view lists IUnknown's and IDispatch's members too; ours are ids 1 to 3.
    const wchar_t* expected[] = {L"postMessage", L"FireRecvMessage", L"recvMessage"};
    const INVOKEKIND kinds[] = {INVOKE_FUNC, INVOKE_FUNC, INVOKE_PROPERTYPUT};
    int found = 0;
    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &function), S_OK);
        const MEMBERID id = function->memid;
        if (id >= 1 && id <= 3) {
            ++found;
            EXPECT_EQ(function->invkind, kinds[id - 1]);
            BSTR name = nullptr;
            info->GetDocumentation(id, &name, nullptr, nullptr, nullptr);
            EXPECT_STREQ(name, expected[id - 1]);
            SysFreeString(name);
        }
        info->ReleaseFuncDesc(function);
    }
    EXPECT_EQ(found, 3);

    // The ProgID makes the control, safe for scripting.
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        CLSID classId{};
        ASSERT_EQ(CLSIDFromProgID(L"Vantor.Fotoloft.1", &classId), S_OK);
        EXPECT_TRUE(classId == CLSID_Fotoloft);
        ComPtr<IObjectSafety> safety;
        ASSERT_EQ(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(safety.GetAddressOf())), S_OK);
        DWORD supported = 0, enabled = 0;
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
        EXPECT_EQ(supported, 1u);
        ComPtr<IOleObject> object;
        ASSERT_EQ(safety.As(&object), S_OK);
        object->SetClientSite(nullptr);
    }
    CoFreeUnusedLibraries();
    CoUninitialize();

    EXPECT_EQ(RunRegsvr32(L"/s /u"), 0u);
    ExpectUnregistered(HKEY_CLASSES_ROOT);  // names whatever stayed

    ASSERT_EQ(RunRegsvr32(L"/s"), 0u);  // leave the prefix as the page tests expect it
}

TEST(Registration, DllInstallUserRegistersForTheCurrentUserOnly)
{
    ASSERT_EQ(RunRegsvr32(L"/s /u"), 0u);
    ExpectUnregistered(MachineClasses());

    ASSERT_EQ(RunRegsvr32(L"/s /n /i:User"), 0u);  // letter case of "user" does not matter
    ExpectRegistered(UserClasses());
    ExpectUnregistered(MachineClasses());

    ASSERT_EQ(RunRegsvr32(L"/s /u /n /i:user"), 0u);
    ExpectUnregistered(UserClasses());

    ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
    ExpectRegistered(HKEY_CLASSES_ROOT);
}
