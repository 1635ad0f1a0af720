#include "Biz/StallWatchdog.h"

#include <algorithm>

namespace Vantor {

StallWatchdog::StallWatchdog(std::chrono::milliseconds timeout, StopFlag stop, std::function<void()> abort)
    : timeout_(timeout), stop_(std::move(stop)), abort_(std::move(abort)), lastProgress_(Clock::now()),
      callStart_(lastProgress_)
{
    thread_ = std::thread([this] { watch(); });
}

StallWatchdog::~StallWatchdog()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        ending_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
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

void StallWatchdog::watch()
{
    try {
        std::unique_lock<std::mutex> hold(lock_);
        Clock::time_point stopSeen{};
        while (!ending_ && !fired_) {
            wake_.wait_for(hold, std::chrono::milliseconds(100));
            if (ending_ || !inCall_)
                continue;
            const auto now = Clock::now();
            const bool stalled = timeout_.count() > 0 && now - lastProgress_ >= timeout_;
            bool stopping = false;
            if (stopRequested()) {
                if (stopSeen == Clock::time_point{})
                    stopSeen = now;
                stopping = now - std::max(stopSeen, callStart_) >= kStopGrace;
            }
            if (stalled || stopping) {
                // Fired under the lock: enter() cannot start a new call on the handle being closed.
                fired_ = true;
                timedOut_ = stalled;
                abort_();
            }
        }
    } catch (...) {
        // Nothing may leave a thread; a failed abort only leaves the call to the platform.
    }
}

}  // namespace Vantor
