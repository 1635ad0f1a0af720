#include "platform/ComModule.h"

#include <atomic>

namespace Vantor::ComModule {
namespace {
HINSTANCE g_instance = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
}  // namespace

void SetInstance(HINSTANCE instance) { g_instance = instance; }

HINSTANCE Instance()
{
    if (!g_instance) {
        // Linked into a program: find the module that holds this very function.
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&Instance), &self);
        g_instance = self;
    }
    return g_instance;
}

std::wstring FileName()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(Instance(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void ObjectCreated() { ++g_objects; }
void ObjectDestroyed() { --g_objects; }
void Lock() { ++g_locks; }
void Unlock() { --g_locks; }
long ObjectCount() { return g_objects; }
bool CanUnload() { return g_objects == 0 && g_locks == 0; }

}  // namespace Vantor::ComModule
