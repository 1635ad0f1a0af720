#pragma once
// The event queue that brings notifications from worker threads to the control's window
// thread. A worker posts a (name, argument) pair; the window thread, woken by window
// message kDrainMessage, runs every handler registered under that name. Each control has its
// own, so that a task's notifications reach the control that started it.
#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Vantor {

class MsgQueue {
public:
    using Handler = std::function<void(int32_t argument)>;
    static constexpr UINT kDrainMessage = WM_USER + 100;  // 0x0464

    MsgQueue();

    // The window whose thread drains the queue.
    void setTarget(HWND window);
    HWND target() const;

    // Any thread: appends the pair and wakes the target window. Never waits for a handler.
    void post(const std::string& name, int32_t argument);

    // Several handlers may share a name; each is called, in the order registered. The owner
    // (the object the handler calls into) can take its handlers away when it goes.
    void registerHandler(const std::string& name, Handler handler, const void* owner = nullptr);
    void unregisterOwner(const void* owner);
    void clear();

    // Window thread: runs the handlers of every pair queued so far, in order. The pairs are
    // taken out under the lock and the handlers run with it released, so a handler may post,
    // and a handler that pumps messages may drain again: that nested drain runs only what was
    // queued since. A handler's exception is caught and ends only that handler.
    void drain();

    size_t pending() const;

private:
    mutable std::mutex lock_;
    HWND target_ = nullptr;
    std::deque<std::pair<std::string, int32_t>> pairs_;
    std::unordered_map<std::string, std::vector<std::pair<const void*, Handler>>> handlers_;
};

}  // namespace Vantor
