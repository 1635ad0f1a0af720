#pragma once
// The upload speed: bytes per second over the last three seconds of a task. The workers
// add the bytes of each write; the task samples the total about once a second.
//
// A sample less than a second after the last counted one changes nothing; otherwise its
// byte delta joins the last three, and the speed is their sum divided by 3 (0 when the sum
// is not positive).
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

namespace Vantor {

class SpeedMeter {
public:
    static constexpr uint32_t kIntervalMs = 1000;
    static constexpr size_t kWindow = 3;

    // Any thread.
    void add(uint64_t bytes) { total_ += bytes; }
    uint64_t total() const { return total_.load(); }
    uint64_t bytesPerSecond() const { return speed_.load(); }

    // Starts again from nothing, at the tick count now.
    void reset(uint32_t nowMs);
    // The speed after a sample of the total at the tick count now.
    uint64_t sample(uint32_t nowMs);

private:
    std::atomic<uint64_t> total_{0};
    std::atomic<uint64_t> speed_{0};
    std::mutex lock_;  // the samples
    uint64_t lastTotal_ = 0;
    uint32_t lastTick_ = 0;
    std::deque<int64_t> deltas_;
};

}  // namespace Vantor
