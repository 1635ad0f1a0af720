#include "Biz/BodyPrefetch.h"

#include "platform/ModuleThread.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace Vantor {

struct BodyPrefetch::Shared {
    Shared(std::vector<Part> p, Check c) : parts(std::move(p)), check(std::move(c)) {}

    const std::vector<Part> parts;
    Check check;
    std::vector<uint8_t> buffers[2];  // gathered spans, used in turn
    int turn = 0;

    std::mutex lock;  // everything below
    std::condition_variable changed;
    bool quit = false;
    bool hasJob = false;  // job waits for the helper
    bool busy = false;    // the helper prepares a span
    bool hasResult = false;
    Span job;
    Span result;

    void PrepareSpan(Span& span);
    void Help();
};

namespace {

uint32_t TotalOf(const std::vector<BodyPrefetch::Part>& parts)
{
    uint32_t total = 0;
    for (const BodyPrefetch::Part& part : parts)
        total += part.length;
    return total;
}

}  // namespace

void BodyPrefetch::Shared::PrepareSpan(Span& span)
{
    uint32_t start = 0;
    size_t i = 0;
    while (i < parts.size() && span.position >= start + parts[i].length)
        start += parts[i++].length;
    if (i < parts.size() && span.position + span.length <= start + parts[i].length) {
        span.data = parts[i].data + (span.position - start);
    } else {
        std::vector<uint8_t>& buffer = buffers[turn];
        turn ^= 1;
        buffer.resize(span.length);
        uint32_t filled = 0;
        for (; i < parts.size() && filled < span.length; start += parts[i++].length) {
            const uint32_t offset = span.position + filled - start;
            const uint32_t take = std::min(span.length - filled, parts[i].length - offset);
            std::memcpy(buffer.data() + filled, parts[i].data + offset, take);
            filled += take;
        }
        span.data = buffer.data();
    }
    span.accepted = !check || check(span.position, span.data, span.length);
}

void BodyPrefetch::Shared::Help()
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        changed.wait(guard, [this] { return quit || hasJob; });
        if (quit)
            return;
        Span span = job;
        hasJob = false;
        busy = true;
        guard.unlock();
        try {
            PrepareSpan(span);
        } catch (...) {
            span.data = nullptr;  // a gather buffer that could not be had
            span.accepted = false;
        }
        guard.lock();
        result = span;
        hasResult = true;
        busy = false;
        changed.notify_all();
    }
}

BodyPrefetch::BodyPrefetch(std::vector<Part> parts, Check check)
    : total_(TotalOf(parts)), shared_(std::make_shared<Shared>(std::move(parts), std::move(check)))
{
}

BodyPrefetch::~BodyPrefetch()
{
    std::unique_lock<std::mutex> guard(shared_->lock);
    shared_->quit = true;
    shared_->hasJob = false;
    shared_->changed.notify_all();
    shared_->changed.wait(guard, [this] { return !shared_->busy; });
}

uint32_t BodyPrefetch::LengthAt(uint32_t position, uint32_t largest) const
{
    if (position >= total_ || largest == 0)
        return 0;
    const uint32_t left = total_ - position;
    uint32_t start = 0;
    size_t i = 0;
    const std::vector<Part>& parts = shared_->parts;
    while (i < parts.size() && position >= start + parts[i].length)
        start += parts[i++].length;
    const uint32_t rest = start + parts[i].length - position;
    if (rest >= kSmallRest || rest == left)
        return std::min(largest, rest);
    return std::min(largest, left);
}

BodyPrefetch::Span BodyPrefetch::Prepare(uint32_t position, uint32_t length)
{
    Span span;
    span.position = position;
    span.length = length;
    try {
        shared_->PrepareSpan(span);
    } catch (...) {
        span.data = nullptr;
        span.accepted = false;
    }
    return span;
}

void BodyPrefetch::Start(uint32_t position, uint32_t length)
{
    pending_ = true;
    pendingSpan_ = Span{};
    pendingSpan_.position = position;
    pendingSpan_.length = length;
    if (!helperStarted_ && !helperFailed_) {
        helperStarted_ = RunOnModuleThread([shared = shared_] { shared->Help(); });
        helperFailed_ = !helperStarted_;
    }
    if (helperFailed_)
        return;  // Take prepares it
    std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->job = pendingSpan_;
    shared_->hasJob = true;
    shared_->hasResult = false;
    shared_->changed.notify_all();
}

BodyPrefetch::Span BodyPrefetch::Take()
{
    if (!pending_)
        return Span{};
    pending_ = false;
    if (helperFailed_)
        return Prepare(pendingSpan_.position, pendingSpan_.length);
    std::unique_lock<std::mutex> guard(shared_->lock);
    if (shared_->hasJob) {
        // The helper has not begun it (a thread slow to wake): this thread does it now.
        shared_->hasJob = false;
        guard.unlock();
        return Prepare(pendingSpan_.position, pendingSpan_.length);
    }
    shared_->changed.wait(guard, [this] { return shared_->hasResult; });
    shared_->hasResult = false;
    return shared_->result;
}

}  // namespace Vantor
