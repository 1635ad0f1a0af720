#include "image/DecodeBudget.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <utility>

namespace Vantor {

namespace {

constexpr auto kStopPoll = std::chrono::milliseconds(50);
constexpr uint64_t kMinCapacity = uint64_t(512) << 20;

uint64_t HalfTheAddressSpace()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status) || status.ullTotalVirtual == 0)
        return uint64_t(1) << 30;
    return std::max(kMinCapacity, static_cast<uint64_t>(status.ullTotalVirtual / 2));
}

}  // namespace

DecodeBudget::Share::Share(Share&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)), bytes_(std::exchange(other.bytes_, 0))
{
}

DecodeBudget::Share& DecodeBudget::Share::operator=(Share&& other) noexcept
{
    if (this != &other) {
        Release();
        budget_ = std::exchange(other.budget_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

DecodeBudget::Share::~Share() { Release(); }

void DecodeBudget::Share::Release()
{
    if (DecodeBudget* budget = std::exchange(budget_, nullptr))
        budget->Give(std::exchange(bytes_, 0));
}

DecodeBudget::DecodeBudget(uint64_t capacity) : capacity_(std::max<uint64_t>(capacity, 1)) {}

DecodeBudget& DecodeBudget::Process()
{
    // Left to the module's end on purpose: decodes on detached threads may still give back.
    static DecodeBudget* const budget = new DecodeBudget(HalfTheAddressSpace());
    return *budget;
}

DecodeBudget::Share DecodeBudget::Acquire(uint64_t bytes, const std::atomic<bool>* stop)
{
    const uint64_t wanted = std::min(bytes, capacity_);
    std::unique_lock<std::mutex> hold(lock_);
    // First come, first served: a large share is not starved by small ones passing it.
    const uint64_t ticket = nextTicket_++;
    waiting_.push_back(ticket);
    for (;;) {
        if (stop && stop->load()) {
            waiting_.erase(std::find(waiting_.begin(), waiting_.end(), ticket));
            hold.unlock();
            released_.notify_all();  // the next in line may fit now
            return {};
        }
        if (waiting_.front() == ticket && used_ + wanted <= capacity_)
            break;
        released_.wait_for(hold, kStopPoll);
    }
    waiting_.pop_front();
    used_ += wanted;
    peak_ = std::max(peak_, used_);
    hold.unlock();
    released_.notify_all();
    return Share(this, wanted);
}

void DecodeBudget::Give(uint64_t bytes)
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        used_ -= std::min(used_, bytes);
    }
    released_.notify_all();
}

uint64_t DecodeBudget::inUse() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return used_;
}

uint64_t DecodeBudget::peak() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return peak_;
}

size_t DecodeBudget::waiting() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return waiting_.size();
}

}  // namespace Vantor
