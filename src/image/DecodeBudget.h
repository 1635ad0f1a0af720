#pragma once
// One memory budget for every picture decode of the process.
//
// Platform fact: the control lives in a 32-bit browser process, which has about 1.7 GB of
// usable address space without large-address-awareness (the host decides that, not the DLL).
// The size ceiling holds one picture under 256 MiB of pixels, but up to ten upload workers and
// the thumbnail threads of every list decode at once: ten near-ceiling pictures together ask
// for several times what the process has, and then all of them fail.
//
// Design: a decode states what it will hold at its peak (pixel rows, a progressive JPEG's
// coefficient buffers, working copies) and takes that share before it allocates. A share that
// does not fit waits, in order of arrival, until enough has been given back; one larger than the whole budget waits
// until it runs alone, so any picture under the ceiling is decoded in the end. Only the
// waiting is stopped early: by the caller's stop flag, which it looks at every 50 ms.
//
//   DecodeBudget::Share share = DecodeBudget::Process().Acquire(bytes, stop);
//   if (!share) return;   // stopped while waiting
//   ...decode...          // the share goes back when `share` goes
//
// Cost: a mutex and a condition variable per acquire and release; the shares are counts, no
// memory is reserved.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

namespace Vantor {

class DecodeBudget {
public:
    // A share taken from a budget; given back when it goes. Empty when none was taken.
    class Share {
    public:
        Share() = default;
        Share(Share&& other) noexcept;
        Share& operator=(Share&& other) noexcept;
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;
        ~Share();

        explicit operator bool() const { return budget_ != nullptr; }
        uint64_t bytes() const { return bytes_; }
        void Release();

    private:
        friend class DecodeBudget;
        Share(DecodeBudget* budget, uint64_t bytes) : budget_(budget), bytes_(bytes) {}
        DecodeBudget* budget_ = nullptr;
        uint64_t bytes_ = 0;
    };

    explicit DecodeBudget(uint64_t capacity);
    DecodeBudget(const DecodeBudget&) = delete;
    DecodeBudget& operator=(const DecodeBudget&) = delete;

    // The process's budget: half of the process's address space (1 GiB in a plain 32-bit
    // process, 2 GiB in a large-address-aware one on a 64-bit system). Never destroyed.
    static DecodeBudget& Process();

    // Waits until `bytes` fit beside the shares held (a request above the capacity counts as
    // the whole capacity). Empty, with nothing held, when `stop` is set before that.
    Share Acquire(uint64_t bytes, const std::atomic<bool>* stop = nullptr);

    uint64_t capacity() const { return capacity_; }
    uint64_t inUse() const;
    // The most ever held at once.
    uint64_t peak() const;
    // Decodes waiting for their share now.
    size_t waiting() const;

private:
    void Give(uint64_t bytes);

    const uint64_t capacity_;
    mutable std::mutex lock_;
    std::condition_variable released_;
    std::deque<uint64_t> waiting_;  // tickets in order of arrival
    uint64_t nextTicket_ = 0;
    uint64_t used_ = 0;
    uint64_t peak_ = 0;
};

}  // namespace Vantor
