#pragma once
// Sizes the body writes of one request to the link they go over. Under Wine a write blocks
// until all of its bytes are in the socket, and the watchdog learns of progress only when a
// write returns, so on a slow link a large write looks like a stall. After a write that had
// to wait for the network, the next ones are sized so that, at the rate that write showed,
// each takes about a quarter of the time-out; writes that return at once grow the size back
// to the largest, so a fast link keeps its large writes.
//
// A write is never larger than what a link of kSlowestLink carries in twice the time-out (the
// watchdog's allowance for a write): when a fast link slows down all at once, the write then in
// flight was sized for the fast link, and without that bound a link still moving at a few
// hundred kbit/s would look stalled. With the default time-out of a minute the bound is far
// above the largest write; it matters only for short time-outs.
//
// A write returns once its bytes are in the socket's buffers, not once they are sent, so
// after the last write the buffers still drain at the link's rate before the server can
// answer. drainTime() estimates that wait: what the buffers took before the first write that
// had to wait, at the rate the slow writes showed (zero while no write has waited).
//
//   WritePacer pacer(131072, std::chrono::seconds(60));
//   uint32_t n = std::min(pacer.next(), left);
//   ... write n bytes, measuring how long it took ...
//   pacer.written(n, took);
#include <chrono>
#include <cstdint>

namespace Vantor {

class WritePacer {
public:
    using Duration = std::chrono::microseconds;

    static constexpr uint32_t kSmallest = 1024;
    // A write that takes this long waited for the network rather than copying into buffers.
    static constexpr Duration kSlowWrite = std::chrono::milliseconds(50);
    // A write this quick did not wait at all.
    static constexpr Duration kQuickWrite = std::chrono::milliseconds(10);
    // Bytes per second of the slowest link that must never look stalled in one write.
    static constexpr uint32_t kSlowestLink = 32u << 10;

    // The largest write for a time-out: largest, or less when the time-out is short.
    static uint32_t LargestFor(uint32_t largest, std::chrono::milliseconds timeout);

    // timeout 0: no time-out to stay within; every write is the largest.
    WritePacer(uint32_t largest, std::chrono::milliseconds timeout);

    uint32_t next() const { return size_; }
    void written(uint32_t bytes, Duration took);
    std::chrono::milliseconds drainTime() const;

private:
    const uint32_t largest_;
    const Duration budget_;  // what one write should take at most: a quarter of the time-out
    uint32_t size_;
    uint64_t absorbed_ = 0;     // bytes written before the first write that waited
    bool waited_ = false;
    uint64_t bytesPerSecond_ = 0;  // the last waiting write's rate
};

}  // namespace Vantor
