#include "Biz/SpeedMeter.h"

namespace Vantor {

void SpeedMeter::reset(uint32_t nowMs)
{
    std::lock_guard<std::mutex> hold(lock_);
    total_ = 0;
    speed_ = 0;
    lastTotal_ = 0;
    lastTick_ = nowMs;
    deltas_.clear();
}

uint64_t SpeedMeter::sample(uint32_t nowMs)
{
    std::lock_guard<std::mutex> hold(lock_);
    // Tick counts wrap after 49.7 days; the difference stays right across the wrap.
    if (static_cast<uint32_t>(nowMs - lastTick_) < kIntervalMs)
        return speed_;
    const uint64_t total = total_.load();
    deltas_.push_back(static_cast<int64_t>(total - lastTotal_));
    if (deltas_.size() > kWindow)
        deltas_.pop_front();
    lastTotal_ = total;
    lastTick_ = nowMs;
    int64_t sum = 0;
    for (const int64_t delta : deltas_)
        sum += delta;
    speed_ = sum > 0 ? static_cast<uint64_t>(sum) / kWindow : 0;
    return speed_;
}

}  // namespace Vantor
