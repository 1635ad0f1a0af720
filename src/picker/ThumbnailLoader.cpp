#include "picker/ThumbnailLoader.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "Biz/ImageData.h"
#include "picker/ItemDates.h"
#include "platform/ModuleThread.h"

namespace Vantor {

// Everything the threads use: shared with them, so it outlives the loader while they finish.
struct ThumbnailLoader::State : std::enable_shared_from_this<ThumbnailLoader::State> {
    State(UINT ready, UINT done) : readyMessage(ready), doneMessage(done) {}

    const UINT readyMessage;
    const UINT doneMessage;
    std::atomic<bool> stop{false};  // set by Shutdown: the decodes in flight end early
    std::mutex lock;  // everything below
    std::condition_variable wake;
    std::deque<Job> waiting;
    HWND target = nullptr;
    uint32_t run = 0;
    bool running = false;
    int busy = 0;  // jobs being decoded
    bool shutdown = false;
    bool started = false;  // the threads were made

    void EnsureThreads();  // under the lock
    void Work();
};

ThumbnailLoader::ThumbnailLoader(UINT readyMessage, UINT doneMessage)
    : state_(std::make_shared<State>(readyMessage, doneMessage))
{
}

ThumbnailLoader::~ThumbnailLoader() { Shutdown(); }

unsigned ThumbnailLoader::ThreadCount()
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return std::max<unsigned>(1, info.dwNumberOfProcessors);
}

void ThumbnailLoader::SetTarget(HWND window)
{
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->target = window;
}

uint32_t ThumbnailLoader::Schedule(std::vector<Job> jobs)
{
    State& s = *state_;
    uint32_t run = 0;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.shutdown)
            return 0;
        // Turned pictures waiting keep their place; the rest is replaced.
        s.waiting.erase(std::remove_if(s.waiting.begin(), s.waiting.end(), [](const Job& j) { return !j.first; }),
                        s.waiting.end());
        for (Job& job : jobs)
            s.waiting.push_back(std::move(job));
        run = ++s.run;
        s.running = true;
        s.EnsureThreads();
        if (s.waiting.empty() && s.busy == 0) {
            s.running = false;
            if (s.target)
                PostMessageW(s.target, s.doneMessage, run, 0);
        }
    }
    s.wake.notify_all();
    return run;
}

void ThumbnailLoader::Add(Job job)
{
    State& s = *state_;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.shutdown)
            return;
        job.first = true;
        s.waiting.push_front(std::move(job));
        s.EnsureThreads();
    }
    s.wake.notify_one();
}

void ThumbnailLoader::Prioritize(const std::vector<int32_t>& itemIds)
{
    State& s = *state_;
    std::lock_guard<std::mutex> guard(s.lock);
    std::deque<Job> first;
    for (int32_t id : itemIds) {
        const auto found =
            std::find_if(s.waiting.begin(), s.waiting.end(), [id](const Job& j) { return j.itemId == id; });
        if (found != s.waiting.end()) {
            first.push_back(std::move(*found));
            s.waiting.erase(found);
        }
    }
    s.waiting.insert(s.waiting.begin(), std::make_move_iterator(first.begin()), std::make_move_iterator(first.end()));
}

void ThumbnailLoader::Stop()
{
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->waiting.clear();
    state_->running = false;
}

bool ThumbnailLoader::IsRunning() const
{
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->running;
}

uint32_t ThumbnailLoader::CurrentRun() const
{
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->run;
}

void ThumbnailLoader::Shutdown()
{
    std::deque<Job> dropped;  // their records go outside the lock
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->shutdown = true;
        state_->stop = true;
        dropped.swap(state_->waiting);
        state_->running = false;
        state_->target = nullptr;
    }
    state_->wake.notify_all();
}

void ThumbnailLoader::State::EnsureThreads()
{
    if (started)
        return;
    // A thread that cannot be made leaves the work to the others; with none, the next job
    // tries again.
    const unsigned count = ThreadCount();
    for (unsigned i = 0; i < count; ++i)
        if (StartModuleThread([self = shared_from_this()] { self->Work(); }))
            started = true;
}

void ThumbnailLoader::State::Work()
{
    try {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            wake.wait(guard, [this] { return shutdown || !waiting.empty(); });
            if (shutdown)
                return;
            Job job = std::move(waiting.front());
            waiting.pop_front();
            ++busy;
            guard.unlock();

            try {
                if (job.record)
                    job.record->BuildThumbnail(job.boxWidth, job.boxHeight, &stop);
                if (job.dates && !stop)
                    job.dates->ReadTaken();
            } catch (...) {
                // A record that cannot be made stays without thumbnail.
            }
            const int32_t itemId = job.itemId;
            job = Job{};  // the record goes before the lock is taken again

            guard.lock();
            --busy;
            if (target)
                PostMessageW(target, readyMessage, static_cast<WPARAM>(static_cast<uint32_t>(itemId)), 0);
            if (running && waiting.empty() && busy == 0) {
                running = false;
                if (target)
                    PostMessageW(target, doneMessage, run, 0);
            }
        }
    } catch (...) {
        // Nothing may leave a thread.
    }
}

}  // namespace Vantor
