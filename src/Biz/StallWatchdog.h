#pragma once
// Ends a request that has stopped moving. WinInet under Wine ignores its own time-outs and
// its writes block the calling thread, so a request is watched from a second thread: when a
// platform call has been running with no bytes moved for the time-out, or is still running
// half a second after the task was stopped, the watchdog calls its abort action (which
// closes the request handle, so that the call or wait returns with an error).
//
// The watched thread brackets each platform call with enter() and leave(), and reports
// progress() whenever bytes move. Once the watchdog has fired, enter() returns false: the
// handle is gone and must not be used again.
//
// One service thread checks every watchdog of the process ten times a second (a thread per
// request would cost more than a small upload under Wine). It ends two seconds after the
// last watchdog is gone, and holds a reference to its module while it runs.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace Vantor {

class StallWatchdog {
public:
    using Clock = std::chrono::steady_clock;
    using StopFlag = std::shared_ptr<std::atomic<bool>>;

    // A time-out of 0 watches only the stop flag.
    StallWatchdog(std::chrono::milliseconds timeout, StopFlag stop, std::function<void()> abort);
    ~StallWatchdog();
    StallWatchdog(const StallWatchdog&) = delete;
    StallWatchdog& operator=(const StallWatchdog&) = delete;

    bool enter();
    void leave();
    void progress();

    bool fired() const;
    // True when it fired because of the time-out (not because of the stop flag).
    bool timedOut() const;

    // How long a call may go on after the stop flag is set.
    static constexpr std::chrono::milliseconds kStopGrace{500};

    // Called by the service thread: fires when the call in progress has stalled.
    void check(Clock::time_point now);

private:
    bool stopRequested() const { return stop_ && stop_->load(); }

    const std::chrono::milliseconds timeout_;
    const StopFlag stop_;
    const std::function<void()> abort_;

    mutable std::mutex lock_;
    bool inCall_ = false;
    bool fired_ = false;
    bool timedOut_ = false;
    Clock::time_point lastProgress_;
    Clock::time_point callStart_;
    Clock::time_point stopSeen_{};
};

}  // namespace Vantor
