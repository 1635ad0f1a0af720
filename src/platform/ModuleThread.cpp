#include "platform/ModuleThread.h"

#include <memory>

namespace Vantor {
namespace {

struct ThreadStart {
    std::function<void()> body;
    HMODULE module = nullptr;
};

DWORD WINAPI RunThread(void* parameter)
{
    HMODULE module = nullptr;
    try {
        const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
        module = start->module;
        start->body();
    } catch (...) {
    }
    if (module)
        FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace

UniqueModule HoldThisModule()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&RunThread), &module))
        return UniqueModule();
    return UniqueModule(module);
}

bool StartModuleThread(std::function<void()> body)
{
    try {
        auto start = std::make_unique<ThreadStart>();
        start->body = std::move(body);
        UniqueModule module = HoldThisModule();
        start->module = module.get();
        const HANDLE thread = CreateThread(nullptr, 0, RunThread, start.get(), 0, nullptr);
        if (!thread)
            return false;  // the module reference and the body go with their owners
        start.release();
        module.release();  // the thread lets go of it as it exits
        CloseHandle(thread);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace Vantor
