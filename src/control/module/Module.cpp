// The DLL's entry points: the class object of the control, unloading, and registration for
// the machine or, through DllInstall with "user", for the current user only.
#include "control/Fotoloft.h"
#include "control/FotoloftIds.h"
#include "control/FotoloftRegistration.h"
#include "platform/ClassFactory.h"
#include "platform/ComModule.h"
#include "platform/Window.h"

#include <docobj.h>
#include <olectl.h>
#include <windows.h>

#include <cwchar>

using namespace Vantor;

namespace {

HRESULT Register(RegistrationScope scope) noexcept
{
    try {
        return FotoloftRegistration(ComModule::FileName()).registerAll(scope);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT Unregister(RegistrationScope scope) noexcept
{
    try {
        return FotoloftRegistration(ComModule::FileName()).unregisterAll(scope);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The browser's code download installs the control from its cabinet by calling
// DllRegisterServer; when the INF allows a per-user install and the user is no administrator,
// it installs for the user, and its IEInstallScope (urlmon, already loaded in the browser)
// says so. Anywhere else, as under regsvr32, urlmon is not loaded or answers otherwise, and
// the registration is the machine's.
RegistrationScope CodeDownloadScope() noexcept
{
    const HMODULE urlmon = GetModuleHandleW(L"urlmon.dll");
    if (!urlmon)
        return RegistrationScope::Machine;
    using InstallScopeQuery = HRESULT(WINAPI*)(LPDWORD);
    const auto query = reinterpret_cast<InstallScopeQuery>(
        reinterpret_cast<void*>(GetProcAddress(urlmon, "IEInstallScope")));
    DWORD scope = INSTALL_SCOPE_INVALID;
    if (query && SUCCEEDED(query(&scope)) && scope == INSTALL_SCOPE_USER)
        return RegistrationScope::User;
    return RegistrationScope::Machine;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ComModule::SetInstance(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded while the process goes on: a class left behind would point into freed code.
        Win::UnregisterWindowClasses();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return ComModule::CanUnload() ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    // The interface's proxies come from the system's type-library marshaler, so the control's
    // class is the only one served here.
    if (classId != CLSID_Fotoloft)
        return CLASS_E_CLASSNOTAVAILABLE;
    return CreateComObject<ClassFactory>(iid, object, &CFotoloft::Create);
}

STDAPI DllRegisterServer() { return Register(CodeDownloadScope()); }

STDAPI DllUnregisterServer() { return Unregister(CodeDownloadScope()); }

// regsvr32 /i:user /n registers for the current user only; /u with it unregisters there.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    const RegistrationScope scope = commandLine && _wcsnicmp(commandLine, L"user", 4) == 0
                                        ? RegistrationScope::User
                                        : RegistrationScope::Machine;
    return install ? Register(scope) : Unregister(scope);
}
