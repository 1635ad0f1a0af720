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

namespace {
std::atomic<bool> gUsePreviews{true};
std::atomic<unsigned> gThreadCount{0};
}  // namespace

// Everything the threads use: shared with them, so it outlives the loader while they finish.
struct ThumbnailLoader::State : std::enable_shared_from_this<ThumbnailLoader::State> {
    State(WindowTasks::Poster window, Listener listener)
        : window(std::move(window)), listener(std::make_shared<const Listener>(std::move(listener)))
    {
    }

    // Under the lock: the list hears of an item or of a run's end on its window thread.
    void TellShown(int32_t itemId) const
    {
        if (!shutdown && listener->shown)
            window.Post([listener = listener, itemId] { listener->shown(itemId); });
    }
    void TellRunEnded(uint32_t ended) const
    {
        if (!shutdown && listener->runEnded)
            window.Post([listener = listener, ended] { listener->runEnded(ended); });
    }

    const WindowTasks::Poster window;
    const std::shared_ptr<const Listener> listener;
    std::atomic<bool> stop{false};  // set by Shutdown: the decodes in flight end early
    std::mutex lock;  // everything below
    std::condition_variable wake;
    std::deque<Job> waiting;
    uint32_t run = 0;
    bool running = false;
    int busy = 0;  // jobs being decoded
    size_t untried = 0;  // waiting jobs whose preview was not looked for yet
    bool shutdown = false;
    bool started = false;  // the threads were made

    void EnsureThreads();  // under the lock
    void Work();
    // Under the lock: the first waiting job whose preview is still to be looked for, marked
    // as tried, or false when there is none.
    bool NextPreview(int32_t& itemId, std::shared_ptr<ImageData>& record, int& boxWidth, int& boxHeight);
    void Push(Job job, bool front);  // under the lock
};

ThumbnailLoader::ThumbnailLoader() : ThumbnailLoader(WindowTasks::Poster{}, Listener{}) {}

ThumbnailLoader::ThumbnailLoader(WindowTasks::Poster window, Listener listener)
    : state_(std::make_shared<State>(std::move(window), std::move(listener)))
{
}

ThumbnailLoader::~ThumbnailLoader() { Shutdown(); }

void ThumbnailLoader::SetThreadCount(unsigned count) { gThreadCount = count; }

unsigned ThumbnailLoader::ThreadCount()
{
    if (const unsigned set = gThreadCount)
        return set;
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return std::max<unsigned>(1, info.dwNumberOfProcessors);
}

void ThumbnailLoader::UseEmbeddedPreviews(bool use) { gUsePreviews = use; }

bool ThumbnailLoader::UsesEmbeddedPreviews() { return gUsePreviews; }

void ThumbnailLoader::State::Push(Job job, bool front)
{
    // A turned picture already shows its thumbnail: no preview is looked for.
    job.previewTried = job.previewTried || job.first || !job.record || !gUsePreviews;
    untried += job.previewTried ? 0 : 1;
    if (front)
        waiting.push_front(std::move(job));
    else
        waiting.push_back(std::move(job));
}

bool ThumbnailLoader::State::NextPreview(int32_t& itemId, std::shared_ptr<ImageData>& record, int& boxWidth,
                                         int& boxHeight)
{
    if (untried == 0)
        return false;
    for (Job& job : waiting) {
        if (job.previewTried)
            continue;
        job.previewTried = true;
        --untried;
        itemId = job.itemId;
        record = job.record;
        boxWidth = job.boxWidth;
        boxHeight = job.boxHeight;
        return true;
    }
    untried = 0;
    return false;
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
        s.untried = static_cast<size_t>(
            std::count_if(s.waiting.begin(), s.waiting.end(), [](const Job& j) { return !j.previewTried; }));
        for (Job& job : jobs)
            s.Push(std::move(job), false);
        run = ++s.run;
        s.running = true;
        s.EnsureThreads();
        if (s.waiting.empty() && s.busy == 0) {
            s.running = false;
            s.TellRunEnded(run);
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
        s.Push(std::move(job), true);
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
    state_->untried = 0;
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
        state_->untried = 0;
        state_->running = false;
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
            int32_t previewId = -1;
            std::shared_ptr<ImageData> previewRecord;
            int previewWidth = 0, previewHeight = 0;
            if (NextPreview(previewId, previewRecord, previewWidth, previewHeight)) {
                guard.unlock();
                bool shown = false;
                try {
                    shown = !stop && previewRecord->ShowPreview(previewWidth, previewHeight);
                } catch (...) {
                    shown = false;
                }
                previewRecord.reset();  // the record goes before the lock is taken again
                guard.lock();
                if (shown)
                    TellShown(previewId);
                continue;
            }
            Job job = std::move(waiting.front());
            waiting.pop_front();
            if (!job.previewTried)
                --untried;
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
            TellShown(itemId);
            if (running && waiting.empty() && busy == 0) {
                running = false;
                TellRunEnded(run);
            }
        }
    } catch (...) {
        // Nothing may leave a thread.
    }
}

}  // namespace Vantor
