#include "platform/DetachedThread.h"

#include <windows.h>

#include <memory>

namespace Vantor {
namespace {

struct ThreadStart {
    std::function<void()> work;
    HMODULE module = nullptr;
};

DWORD WINAPI Run(void* parameter)
{
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    const HMODULE module = start->module;
    try {
        start->work();
    } catch (...) {
    }
    start.reset();
    if (module)
        FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace

bool StartDetachedThread(std::function<void()> work)
{
    auto start = std::make_unique<ThreadStart>();
    start->work = std::move(work);
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&Run), &start->module);
    const HMODULE module = start->module;
    const HANDLE thread = CreateThread(nullptr, 0, Run, start.get(), 0, nullptr);
    if (!thread) {
        if (module)
            FreeLibrary(module);
        return false;
    }
    start.release();  // the thread owns it now
    CloseHandle(thread);
    return true;
}

}  // namespace Vantor
