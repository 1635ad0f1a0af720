// The DLL's entry points.
#include <windows.h>

namespace {
HINSTANCE g_module = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

// No class is served yet: the control object arrives with the COM layer.
STDAPI DllCanUnloadNow() { return S_OK; }

STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* object)
{
    if (object)
        *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}
