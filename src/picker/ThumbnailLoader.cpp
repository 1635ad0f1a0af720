#include "picker/ThumbnailLoader.h"

#include <algorithm>

#include "Biz/ImageData.h"
#include "picker/ItemDates.h"

namespace Vantor {

ThumbnailLoader::ThumbnailLoader(UINT readyMessage, UINT doneMessage)
    : readyMessage_(readyMessage), doneMessage_(doneMessage)
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
    std::lock_guard<std::mutex> guard(lock_);
    target_ = window;
}

uint32_t ThumbnailLoader::Schedule(std::vector<Job> jobs)
{
    uint32_t run = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (shutdown_)
            return 0;
        // Turned pictures waiting keep their place; the rest is replaced.
        waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(), [](const Job& j) { return !j.first; }),
                       waiting_.end());
        for (Job& job : jobs)
            waiting_.push_back(std::move(job));
        run = ++run_;
        running_ = true;
        EnsureThreads();
        if (waiting_.empty() && busy_ == 0) {
            running_ = false;
            if (target_)
                PostMessageW(target_, doneMessage_, run, 0);
        }
    }
    wake_.notify_all();
    return run;
}

void ThumbnailLoader::Add(Job job)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (shutdown_)
            return;
        job.first = true;
        waiting_.push_front(std::move(job));
        EnsureThreads();
    }
    wake_.notify_one();
}

void ThumbnailLoader::Prioritize(const std::vector<int32_t>& itemIds)
{
    std::lock_guard<std::mutex> guard(lock_);
    std::deque<Job> first;
    for (int32_t id : itemIds) {
        const auto found = std::find_if(waiting_.begin(), waiting_.end(), [id](const Job& j) { return j.itemId == id; });
        if (found != waiting_.end()) {
            first.push_back(std::move(*found));
            waiting_.erase(found);
        }
    }
    waiting_.insert(waiting_.begin(), std::make_move_iterator(first.begin()), std::make_move_iterator(first.end()));
}

void ThumbnailLoader::Stop()
{
    std::lock_guard<std::mutex> guard(lock_);
    waiting_.clear();
    running_ = false;
}

bool ThumbnailLoader::IsRunning() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return running_;
}

uint32_t ThumbnailLoader::CurrentRun() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return run_;
}

void ThumbnailLoader::Shutdown()
{
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> guard(lock_);
        shutdown_ = true;
        waiting_.clear();
        running_ = false;
        target_ = nullptr;
        threads.swap(threads_);
    }
    wake_.notify_all();
    for (std::thread& thread : threads)
        if (thread.joinable())
            thread.join();
}

void ThumbnailLoader::EnsureThreads()
{
    // Called under the lock.
    if (!threads_.empty())
        return;
    const unsigned count = ThreadCount();
    for (unsigned i = 0; i < count; ++i)
        threads_.emplace_back([this] { Work(); });
}

void ThumbnailLoader::Work()
{
    try {
        std::unique_lock<std::mutex> guard(lock_);
        for (;;) {
            wake_.wait(guard, [this] { return shutdown_ || !waiting_.empty(); });
            if (shutdown_)
                return;
            Job job = std::move(waiting_.front());
            waiting_.pop_front();
            ++busy_;
            guard.unlock();

            try {
                if (job.record)
                    job.record->BuildThumbnail(job.boxWidth, job.boxHeight);
                if (job.dates)
                    job.dates->ReadTaken();
            } catch (...) {
                // A record that cannot be made stays without thumbnail.
            }
            const int32_t itemId = job.itemId;
            job = Job{};  // the record goes before the lock is taken again

            guard.lock();
            --busy_;
            if (target_)
                PostMessageW(target_, readyMessage_, static_cast<WPARAM>(static_cast<uint32_t>(itemId)), 0);
            if (running_ && waiting_.empty() && busy_ == 0) {
                running_ = false;
                if (target_)
                    PostMessageW(target_, doneMessage_, run_, 0);
            }
        }
    } catch (...) {
        // Nothing may leave a thread.
    }
}

}  // namespace Vantor
