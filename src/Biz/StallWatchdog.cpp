#include "Biz/StallWatchdog.h"

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <vector>

namespace Vantor {
namespace {

class WatchdogService {
public:
    static WatchdogService& instance()
    {
        static auto* service = new WatchdogService();  // lives as long as the process
        return *service;
    }

    void add(StallWatchdog* watchdog)
    {
        std::lock_guard<std::mutex> hold(lock_);
        watched_.push_back(watchdog);
        if (running_)
            return;
        // The thread keeps the module loaded until it has left the module's code.
        HMODULE module = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&Run), &module);
        HANDLE thread = CreateThread(nullptr, 0, Run, module, 0, nullptr);
        if (thread) {
            CloseHandle(thread);
            running_ = true;
        } else if (module) {
            FreeLibrary(module);
        }
    }

    // Once this returns, the service no longer touches the watchdog.
    void remove(StallWatchdog* watchdog)
    {
        std::lock_guard<std::mutex> hold(lock_);
        watched_.erase(std::remove(watched_.begin(), watched_.end(), watchdog), watched_.end());
    }

private:
    static DWORD WINAPI Run(void* module)
    {
        try {
            instance().loop();
        } catch (...) {
        }
        FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
        return 0;
    }

    void loop()
    {
        std::unique_lock<std::mutex> hold(lock_);
        auto idleSince = StallWatchdog::Clock::now();
        for (;;) {
            wake_.wait_for(hold, std::chrono::milliseconds(100));
            const auto now = StallWatchdog::Clock::now();
            for (StallWatchdog* watchdog : watched_)
                watchdog->check(now);
            if (!watched_.empty())
                idleSince = now;
            else if (now - idleSince >= std::chrono::seconds(2))
                break;
        }
        running_ = false;
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::vector<StallWatchdog*> watched_;
    bool running_ = false;
};

}  // namespace

StallWatchdog::StallWatchdog(std::chrono::milliseconds timeout, StopFlag stop, std::function<void()> abort)
    : timeout_(timeout), stop_(std::move(stop)), abort_(std::move(abort)), lastProgress_(Clock::now()),
      callStart_(lastProgress_)
{
    WatchdogService::instance().add(this);
}

StallWatchdog::~StallWatchdog()
{
    WatchdogService::instance().remove(this);
}

bool StallWatchdog::enter()
{
    std::lock_guard<std::mutex> hold(lock_);
    if (fired_)
        return false;
    inCall_ = true;
    callStart_ = Clock::now();
    return true;
}

void StallWatchdog::leave()
{
    std::lock_guard<std::mutex> hold(lock_);
    inCall_ = false;
}

void StallWatchdog::progress()
{
    std::lock_guard<std::mutex> hold(lock_);
    lastProgress_ = Clock::now();
}

bool StallWatchdog::fired() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return fired_;
}

bool StallWatchdog::timedOut() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return timedOut_;
}

void StallWatchdog::check(Clock::time_point now)
{
    try {
        std::lock_guard<std::mutex> hold(lock_);
        if (fired_ || !inCall_)
            return;
        const bool stalled = timeout_.count() > 0 && now - lastProgress_ >= timeout_;
        bool stopping = false;
        if (stopRequested()) {
            if (stopSeen_ == Clock::time_point{})
                stopSeen_ = now;
            stopping = now - std::max(stopSeen_, callStart_) >= kStopGrace;
        }
        if (stalled || stopping) {
            // Fired under the lock: enter() cannot start a new call on the handle being closed.
            fired_ = true;
            timedOut_ = stalled;
            abort_();
        }
    } catch (...) {
        // A failed abort leaves the call to the platform; nothing may leave the service thread.
    }
}

}  // namespace Vantor
