#include "platform/WindowTasks.h"

#include <deque>
#include <mutex>
#include <utility>

namespace Vantor {

struct WindowTasks::Poster::Queue {
    mutable std::mutex lock;
    HWND window = nullptr;
    std::deque<Task> waiting;
    bool wakePosted = false;  // a wake-up is in the window's message queue
    bool closed = false;

    // With the lock held: asks the window's loop to run the work, once per batch.
    void wake()
    {
        if (wakePosted || !window)
            return;
        wakePosted = PostMessageW(window, WakeMessage(), 0, 0) != FALSE;
    }
};

UINT WindowTasks::WakeMessage()
{
    static const UINT message = RegisterWindowMessageW(L"Fotoloft.WindowTasks.Run");
    return message;
}

bool WindowTasks::Poster::Post(Task task) const
{
    if (!queue_ || !task)
        return false;
    {
        const std::lock_guard<std::mutex> guard(queue_->lock);
        if (!queue_->closed) {
            queue_->waiting.push_back(std::move(task));
            queue_->wake();
            return true;
        }
    }
    // Closed: the work goes here, outside the lock.
    return false;
}

WindowTasks::WindowTasks() : poster_(std::make_shared<Queue>()) {}

WindowTasks::~WindowTasks()
{
    Close();
}

void WindowTasks::SetWindow(HWND window)
{
    Queue& queue = *poster_.queue_;
    const std::lock_guard<std::mutex> guard(queue.lock);
    if (queue.window == window)
        return;
    queue.window = window;
    // A wake-up posted to the window before went with it.
    queue.wakePosted = false;
    if (!queue.waiting.empty())
        queue.wake();
}

bool WindowTasks::HasWindow() const
{
    const std::lock_guard<std::mutex> guard(poster_.queue_->lock);
    return poster_.queue_->window != nullptr;
}

bool WindowTasks::HandleMessage(HWND window, UINT message)
{
    if (message != WakeMessage())
        return false;
    {
        const std::lock_guard<std::mutex> guard(poster_.queue_->lock);
        // A wake-up for a window this queue no longer shows runs nothing.
        if (window != poster_.queue_->window)
            return true;
    }
    RunPending();
    return true;
}

void WindowTasks::RunPending()
{
    Queue& queue = *poster_.queue_;
    std::deque<Task> batch;
    {
        const std::lock_guard<std::mutex> guard(queue.lock);
        if (!queue.window || queue.closed)
            return;
        batch.swap(queue.waiting);
        queue.wakePosted = false;
    }
    for (std::size_t i = 0; i < batch.size(); ++i) {
        {
            // Work before this one may have closed the queue or let the window go.
            const std::lock_guard<std::mutex> guard(queue.lock);
            if (queue.closed)
                return;
            if (!queue.window) {
                // The rest waits for the next window, ahead of what came meanwhile.
                queue.waiting.insert(queue.waiting.begin(), std::make_move_iterator(batch.begin() + i),
                                     std::make_move_iterator(batch.end()));
                return;
            }
        }
        try {
            batch[i]();
        } catch (...) {
        }
        batch[i] = nullptr;  // what it holds goes now
    }
}

std::size_t WindowTasks::Pending() const
{
    const std::lock_guard<std::mutex> guard(poster_.queue_->lock);
    return poster_.queue_->waiting.size();
}

void WindowTasks::Close()
{
    std::deque<Task> dropped;  // goes outside the lock
    Queue& queue = *poster_.queue_;
    const std::lock_guard<std::mutex> guard(queue.lock);
    queue.closed = true;
    queue.window = nullptr;
    dropped.swap(queue.waiting);
}

}  // namespace Vantor
