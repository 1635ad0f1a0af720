#include "control/MsgQueue.h"

#include <algorithm>

namespace Vantor {

MsgQueue::MsgQueue()
{
    handlers_.rehash(11);
    handlers_.max_load_factor(1.0f);
}

void MsgQueue::setTarget(HWND window)
{
    bool waiting = false;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        target_ = window;
        waiting = !pairs_.empty();
    }
    // Reports that came while there was no window are handled once there is one.
    if (window && waiting)
        PostMessageA(window, kDrainMessage, 0, 0);
}

HWND MsgQueue::target() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return target_;
}

void MsgQueue::post(const std::string& name, int32_t argument)
{
    HWND target = nullptr;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        pairs_.emplace_back(name, argument);
        target = target_;
    }
    if (target)
        PostMessageA(target, kDrainMessage, 0, 0);
}

void MsgQueue::registerHandler(const std::string& name, Handler handler, const void* owner)
{
    const std::lock_guard<std::mutex> guard(lock_);
    handlers_[name].emplace_back(owner, std::move(handler));
}

void MsgQueue::unregisterOwner(const void* owner)
{
    const std::lock_guard<std::mutex> guard(lock_);
    for (auto& [name, list] : handlers_)
        list.erase(std::remove_if(list.begin(), list.end(), [owner](const auto& entry) { return entry.first == owner; }),
                   list.end());
}

void MsgQueue::clear()
{
    const std::lock_guard<std::mutex> guard(lock_);
    handlers_.clear();
}

void MsgQueue::drain()
{
    std::deque<std::pair<std::string, int32_t>> batch;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        batch.swap(pairs_);
    }
    for (const auto& [name, argument] : batch) {
        std::vector<Handler> matching;
        {
            const std::lock_guard<std::mutex> guard(lock_);
            const auto found = handlers_.find(name);
            if (found != handlers_.end())
                for (const auto& entry : found->second)
                    matching.push_back(entry.second);
        }
        for (const Handler& handler : matching) {
            try {
                handler(argument);
            } catch (...) {
            }
        }
    }
}

size_t MsgQueue::pending() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return pairs_.size();
}

}  // namespace Vantor
