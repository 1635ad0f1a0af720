#pragma once
// Ends a request that has stopped moving. WinInet under Wine ignores its own time-outs and
// its writes block the calling thread, so a request is watched from a second thread: when a
// platform call has been running with no bytes moved for the time-out, or is still running
// a moment after the task was stopped, the watchdog calls its abort action (which closes the
// request handle, so that the call or wait returns with an error).
//
// The watched thread brackets each platform call with enter() and leave(), and reports
// progress() whenever bytes move. Once the watchdog has fired, enter() returns false: the
// handle is gone and must not be used again.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

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
    static constexpr std::chrono::milliseconds kStopGrace{1000};

private:
    void watch();
    bool stopRequested() const { return stop_ && stop_->load(); }

    const std::chrono::milliseconds timeout_;
    const StopFlag stop_;
    const std::function<void()> abort_;

    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool inCall_ = false;
    bool fired_ = false;
    bool timedOut_ = false;
    bool ending_ = false;
    Clock::time_point lastProgress_;
    Clock::time_point callStart_;
    std::thread thread_;
};

}  // namespace Vantor
