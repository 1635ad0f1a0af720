#include "platform/ModuleThread.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

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

// Idle module threads and the bodies handed to them. Every queued body has a waiting thread
// of its own: a body is queued only while more threads wait than bodies are queued.
class IdleThreads {
public:
    static IdleThreads& instance()
    {
        static auto* threads = new IdleThreads();  // lives as long as the process
        return *threads;
    }

    bool run(std::function<void()>& body)
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (waiting_ <= queued_.size())
            return false;
        queued_.push_back(std::move(body));
        work_.notify_one();
        return true;
    }

    size_t idle()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return waiting_ - queued_.size();
    }

    // The rest of a module thread's life once its first body has run.
    void serve()
    {
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            ++waiting_;
            const bool got = work_.wait_for(hold, std::chrono::milliseconds(kModuleThreadIdleMs),
                                            [this] { return !queued_.empty(); });
            --waiting_;
            if (!got)
                return;
            std::function<void()> body = std::move(queued_.front());
            queued_.pop_front();
            hold.unlock();
            try {
                body();
            } catch (...) {
            }
            body = nullptr;
            hold.lock();
        }
    }

private:
    std::mutex lock_;
    std::condition_variable work_;
    std::deque<std::function<void()>> queued_;
    size_t waiting_ = 0;
};

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

bool RunOnModuleThread(std::function<void()> body)
{
    try {
        if (IdleThreads::instance().run(body))
            return true;
        return StartModuleThread([first = std::move(body)]() mutable {
            try {
                first();
            } catch (...) {
            }
            first = nullptr;
            IdleThreads::instance().serve();
        });
    } catch (...) {
        return false;
    }
}

size_t IdleModuleThreads()
{
    return IdleThreads::instance().idle();
}

}  // namespace Vantor
