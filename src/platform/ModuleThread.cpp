#include "platform/ModuleThread.h"

#include <atomic>
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

// The module threads of the process, counted from just before each is made until it leaves
// its body, so that a thread still being started is counted too.
class LiveThreads {
public:
    static LiveThreads& instance()
    {
        static auto* threads = new LiveThreads();  // lives as long as the process
        return *threads;
    }

    void add()
    {
        std::lock_guard<std::mutex> hold(lock_);
        ++live_;
    }

    void remove()
    {
        std::lock_guard<std::mutex> hold(lock_);
        --live_;
        if (live_ == 0)
            none_.notify_all();
    }

    bool waitForNone(DWORD timeoutMs)
    {
        std::unique_lock<std::mutex> hold(lock_);
        return none_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [this] { return live_ == 0; });
    }

private:
    std::mutex lock_;
    std::condition_variable none_;
    size_t live_ = 0;
};

std::atomic<bool> ending{false};

HANDLE EndingEvent()
{
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // lives as long as the process
    return event;
}

DWORD WINAPI RunThread(void* parameter)
{
    HMODULE module = nullptr;
    try {
        const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
        module = start->module;
        start->body();
    } catch (...) {
    }
    LiveThreads::instance().remove();
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
        if (ending_ || waiting_ <= queued_.size())
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
                                            [this] { return !queued_.empty() || ending_; });
            --waiting_;
            if (!got || queued_.empty())
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

    // Idle threads end now, and later ones as soon as they run out of work.
    void end()
    {
        std::lock_guard<std::mutex> hold(lock_);
        ending_ = true;
        work_.notify_all();
    }

private:
    std::mutex lock_;
    std::condition_variable work_;
    std::deque<std::function<void()>> queued_;
    size_t waiting_ = 0;
    bool ending_ = false;
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
    if (ending)
        return false;
    try {
        auto start = std::make_unique<ThreadStart>();
        start->body = std::move(body);
        UniqueModule module = HoldThisModule();
        start->module = module.get();
        LiveThreads::instance().add();
        const HANDLE thread = CreateThread(nullptr, 0, RunThread, start.get(), 0, nullptr);
        if (!thread) {
            LiveThreads::instance().remove();
            return false;  // the module reference and the body go with their owners
        }
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

bool EndModuleThreads(DWORD timeoutMs)
{
    ending = true;
    if (const HANDLE event = EndingEvent())
        SetEvent(event);
    IdleThreads::instance().end();
    return LiveThreads::instance().waitForNone(timeoutMs);
}

bool ModuleThreadsEnding()
{
    return ending;
}

HANDLE ModuleThreadsEndingEvent()
{
    return EndingEvent();
}

}  // namespace Vantor
