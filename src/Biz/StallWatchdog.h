#pragma once
// Ends a request that has stopped moving. WinInet under Wine ignores its own time-outs and
// its writes block the calling thread, so a request is watched from a second thread: when a
// platform call has been running with no bytes moved for its allowance (the time-out unless
// the call asks for another), or is still running half a second after the task was
// stopped, the watchdog calls its abort action (which must return at once: it wakes the
// waiting thread and leaves the closing of handles to others).
//
// The watched thread brackets each platform call with enter() and leave(), and reports
// progress() whenever bytes move. Once the request's body is out, startDeadline() turns the
// time-out into a deadline for everything that follows: progress no longer extends it, so a
// reply that trickles in cannot keep the request alive. Once the watchdog has fired, or the
// deadline has passed, enter() returns false: the handle is gone and must not be used again.
//
// One service thread checks every watchdog of the process ten times a second (a thread per
// request would cost more than a small upload under Wine). It decides under its locks and
// runs abort actions with none held, so one slow abort cannot hold up the checks of other
// requests. It ends two seconds after the last watchdog is gone (at once when the program is
// ending its module threads), and holds a reference to its module while it runs.
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

    // allowance: how long this call may go without progress; zero means the time-out.
    bool enter(std::chrono::milliseconds allowance = std::chrono::milliseconds::zero());
    void leave();
    void progress();
    // From now on everything must be done within the time-out plus extra, moving or not.
    void startDeadline(std::chrono::milliseconds extra = std::chrono::milliseconds::zero());

    bool fired() const;
    // True when it fired because of the time-out (not because of the stop flag).
    bool timedOut() const;

    // How long a call may go on after the stop flag is set.
    static constexpr std::chrono::milliseconds kStopGrace{500};

    // Called by the service thread, under no lock of the caller's: decides whether the call
    // in progress has stalled and, if so, marks the watchdog fired. The caller then runs
    // abort() with its own locks released.
    bool check(Clock::time_point now);
    void abort() noexcept;

private:
    bool stopRequested() const { return stop_ && stop_->load(); }
    bool deadlinePassed(Clock::time_point now) const;

    const std::chrono::milliseconds timeout_;
    const StopFlag stop_;
    const std::function<void()> abort_;

    mutable std::mutex lock_;
    bool inCall_ = false;
    bool fired_ = false;
    bool timedOut_ = false;
    bool deadline_ = false;
    std::chrono::milliseconds deadlineLength_{0};
    std::chrono::milliseconds allowance_;
    Clock::time_point lastProgress_;
    Clock::time_point callStart_;
    Clock::time_point stopSeen_{};
};

}  // namespace Vantor
