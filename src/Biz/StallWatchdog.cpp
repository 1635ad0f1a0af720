#include "Biz/StallWatchdog.h"

#include "platform/ModuleThread.h"

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
        if (!running_)
            running_ = StartModuleThread([this] { loop(); });
    }

    // Once this returns, the service no longer touches the watchdog (an abort action that
    // is running for it has finished).
    void remove(StallWatchdog* watchdog)
    {
        std::unique_lock<std::mutex> hold(lock_);
        aborted_.wait(hold, [&] { return std::find(aborting_.begin(), aborting_.end(), watchdog) == aborting_.end(); });
        watched_.erase(std::remove(watched_.begin(), watched_.end(), watchdog), watched_.end());
    }

private:
    void loop()
    {
        std::unique_lock<std::mutex> hold(lock_);
        auto idleSince = StallWatchdog::Clock::now();
        for (;;) {
            wake_.wait_for(hold, std::chrono::milliseconds(100));
            const auto now = StallWatchdog::Clock::now();
            for (StallWatchdog* watchdog : watched_) {
                if (watchdog->check(now))
                    aborting_.push_back(watchdog);
            }
            if (!aborting_.empty()) {
                // The abort actions run with no lock held; remove() waits for them.
                hold.unlock();
                for (StallWatchdog* watchdog : aborting_)
                    watchdog->abort();
                hold.lock();
                aborting_.clear();
                aborted_.notify_all();
            }
            if (!watched_.empty())
                idleSince = now;
            else if (now - idleSince >= std::chrono::seconds(2) || ModuleThreadsEnding())
                break;
        }
        running_ = false;
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable aborted_;
    std::vector<StallWatchdog*> watched_;
    std::vector<StallWatchdog*> aborting_;  // touched by the loop alone while it runs them
    bool running_ = false;
};

}  // namespace

StallWatchdog::StallWatchdog(std::chrono::milliseconds timeout, StopFlag stop, std::function<void()> abort)
    : timeout_(timeout), stop_(std::move(stop)), abort_(std::move(abort)), allowance_(timeout),
      lastProgress_(Clock::now()), callStart_(lastProgress_)
{
    WatchdogService::instance().add(this);
}

StallWatchdog::~StallWatchdog()
{
    WatchdogService::instance().remove(this);
}

bool StallWatchdog::deadlinePassed(Clock::time_point now) const
{
    return deadline_ && timeout_.count() > 0 && now - lastProgress_ >= deadlineLength_;
}

bool StallWatchdog::enter(std::chrono::milliseconds allowance)
{
    std::lock_guard<std::mutex> hold(lock_);
    const auto now = Clock::now();
    if (!fired_ && deadlinePassed(now)) {
        // Nothing is running to abort: the next call is simply not made.
        fired_ = true;
        timedOut_ = true;
    }
    if (fired_)
        return false;
    inCall_ = true;
    callStart_ = now;
    allowance_ = deadline_ ? deadlineLength_ : allowance.count() > 0 ? allowance : timeout_;
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
    if (!deadline_)
        lastProgress_ = Clock::now();
}

void StallWatchdog::startDeadline(std::chrono::milliseconds extra)
{
    std::lock_guard<std::mutex> hold(lock_);
    deadline_ = true;
    deadlineLength_ = timeout_ + std::max(extra, std::chrono::milliseconds::zero());
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

bool StallWatchdog::check(Clock::time_point now)
{
    std::lock_guard<std::mutex> hold(lock_);
    if (fired_ || !inCall_)
        return false;
    // Measured from the later of the last progress and the call's start: the time this
    // thread spent between calls (on a loaded machine, seconds without the processor) is
    // not the server's. Once the deadline runs, it is measured from its start alone.
    const Clock::time_point since = deadline_ ? lastProgress_ : std::max(lastProgress_, callStart_);
    const bool stalled = timeout_.count() > 0 && now - since >= allowance_;
    bool stopping = false;
    if (stopRequested()) {
        if (stopSeen_ == Clock::time_point{})
            stopSeen_ = now;
        stopping = now - std::max(stopSeen_, callStart_) >= kStopGrace;
    }
    if (!stalled && !stopping)
        return false;
    // Marked under the lock: enter() cannot start a new call on the handle being given up.
    fired_ = true;
    timedOut_ = stalled;
    return true;
}

void StallWatchdog::abort() noexcept
{
    try {
        abort_();
    } catch (...) {
        // A failed abort leaves the call to the platform; nothing may leave the service thread.
    }
}

}  // namespace Vantor
