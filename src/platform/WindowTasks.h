#pragma once
// Work for a window's thread, posted from any thread: the one way other threads (and later
// moments of the window thread itself) reach an object that shows itself in a window.
//
//   WindowTasks tasks;                    // a member of the object the window shows
//   tasks.Post([this] { repaint(); });    // any thread; never waits for the work
//   WM_CREATE:   tasks.SetWindow(hwnd);   // work posted while there was no window runs now
//   any message: if (tasks.HandleMessage(hwnd, message)) return 0;
//   WM_DESTROY:  tasks.SetWindow(nullptr);  // waiting work stays for the next window
//
// Work runs on the window's thread only, from its message loop, in the order posted; a piece
// of work that throws ends only itself. Work that pumps messages may see later work run
// inside it, never the same work twice. Nothing runs while the object has no window, nor
// after the owner closes the queue (Close, or its destructor): what waits is dropped then,
// and threads still holding a Poster post into nothing. The owner therefore may capture
// `this` in its work as long as the queue is its member and goes first.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>

namespace Vantor {

class WindowTasks {
public:
    using Task = std::function<void()>;

    // A copy for other threads: it may outlive the queue, and then posts nothing.
    class Poster {
    public:
        Poster() = default;
        // False when the queue is closed (the work is dropped, on the calling thread).
        bool Post(Task task) const;

    private:
        friend class WindowTasks;
        struct Queue;
        explicit Poster(std::shared_ptr<Queue> queue) : queue_(std::move(queue)) {}
        std::shared_ptr<Queue> queue_;
    };

    WindowTasks();
    ~WindowTasks();
    WindowTasks(const WindowTasks&) = delete;
    WindowTasks& operator=(const WindowTasks&) = delete;

    // Any thread.
    bool Post(Task task) const { return poster_.Post(std::move(task)); }
    Poster poster() const { return poster_; }

    // Window thread: the window whose loop runs the work; none while the object has none.
    void SetWindow(HWND window);
    bool HasWindow() const;
    // Window thread, from the window procedure: runs the waiting work when the message is the
    // queue's own wake-up for this window; false for any other message.
    bool HandleMessage(HWND window, UINT message);
    // Window thread: runs what waits now (work posted meanwhile waits for the next wake-up).
    void RunPending();
    // Work waiting to run.
    std::size_t Pending() const;
    // Drops the waiting work and takes no more; for an owner about to go.
    void Close();

    // The message that wakes the window: registered once per session, so that it meets no
    // window's own message ids.
    static UINT WakeMessage();

private:
    using Queue = Poster::Queue;
    const Poster poster_;
};

}  // namespace Vantor
