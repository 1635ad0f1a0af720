#include "Biz/WritePacer.h"

#include <algorithm>

namespace Vantor {

uint32_t WritePacer::LargestFor(uint32_t largest, std::chrono::milliseconds timeout)
{
    uint64_t size = std::max(largest, kSmallest);
    if (timeout.count() > 0) {
        const uint64_t carried = uint64_t{kSlowestLink} * 2 * static_cast<uint64_t>(timeout.count()) / 1000;
        size = std::min(size, std::max<uint64_t>(carried / kSmallest * kSmallest, kSmallest));
    }
    return static_cast<uint32_t>(size);
}

WritePacer::WritePacer(uint32_t largest, std::chrono::milliseconds timeout)
    : largest_(LargestFor(largest, timeout)), budget_(std::chrono::duration_cast<Duration>(timeout) / 4),
      size_(largest_)
{
}

void WritePacer::written(uint32_t bytes, Duration took)
{
    if (bytes == 0)
        return;
    if (took >= kSlowWrite) {
        waited_ = true;
        bytesPerSecond_ = std::max<uint64_t>(1, static_cast<uint64_t>(bytes) * 1000000 /
                                                    static_cast<uint64_t>(std::max<int64_t>(took.count(), 1)));
    } else if (!waited_) {
        absorbed_ += bytes;
    }
    if (budget_.count() <= 0)
        return;
    if (took >= kSlowWrite) {
        // The rate this write showed, times the budget; computed in 64 bits.
        const uint64_t fits = static_cast<uint64_t>(bytes) * static_cast<uint64_t>(budget_.count()) /
                              static_cast<uint64_t>(took.count());
        const uint64_t rounded = fits / kSmallest * kSmallest;
        size_ = static_cast<uint32_t>(std::clamp<uint64_t>(rounded, kSmallest, largest_));
    } else if (took < kQuickWrite) {
        size_ = static_cast<uint32_t>(std::min<uint64_t>(static_cast<uint64_t>(size_) * 2, largest_));
    }
}

std::chrono::milliseconds WritePacer::drainTime() const
{
    if (!waited_)
        return std::chrono::milliseconds::zero();
    const uint64_t milliseconds = absorbed_ * 1000 / bytesPerSecond_;
    return std::chrono::milliseconds(std::min<uint64_t>(milliseconds, 24ull * 3600 * 1000));
}

}  // namespace Vantor
