#pragma once
// Makes the thumbnails of one list off its window thread, on as many threads as the machine
// has cores.
//
// Contract:
// - A job names an item by id and holds the item's record (and its dates); the loader never
//   touches items. When a job is done it posts `readyMessage` (wParam = item id) to the
//   list's window, whose thread finds the item by id and repaints it, or ignores the id when
//   the item is gone. Items can therefore be removed, moved or sorted at any time.
// - A run (Schedule) ends when its last job is done: `doneMessage` is posted with the run's
//   number in wParam. Stop drops the waiting jobs and ends the run without that message;
//   a job already decoding finishes and is still reported.
// - Jobs added with Add (a turned picture) go first and do not start or end a run.
// - No call waits for a decode, except the destructor, which joins the threads (each ends
//   after the job it is on).
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace Vantor {

class ImageData;
class ItemDates;

class ThumbnailLoader {
public:
    struct Job {
        int32_t itemId = -1;
        std::shared_ptr<ImageData> record;
        std::shared_ptr<ItemDates> dates;  // read too when set
        int boxWidth = 120;
        int boxHeight = 120;
        bool first = false;  // added with Add: kept when a new run is scheduled
    };

    ThumbnailLoader(UINT readyMessage, UINT doneMessage);
    ~ThumbnailLoader();
    ThumbnailLoader(const ThumbnailLoader&) = delete;
    ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;

    // Where the results go; may be null (results are then only stored in the records).
    void SetTarget(HWND window);

    // Starts a new run with these jobs, in order, replacing any waiting job; returns its number.
    uint32_t Schedule(std::vector<Job> jobs);
    // Puts a job in front of the waiting ones.
    void Add(Job job);
    // Puts waiting jobs of these items first, in the given order (what the user now sees).
    void Prioritize(const std::vector<int32_t>& itemIds);
    // Drops the waiting jobs and ends the run without its done message.
    void Stop();
    // Whether a run is going on.
    bool IsRunning() const;
    uint32_t CurrentRun() const;
    // Joins the threads (after the jobs they are on); the loader takes no more jobs.
    void Shutdown();

    static unsigned ThreadCount();

private:
    void EnsureThreads();
    void Work();

    const UINT readyMessage_;
    const UINT doneMessage_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Job> waiting_;
    HWND target_ = nullptr;
    uint32_t run_ = 0;
    bool running_ = false;
    int busy_ = 0;  // jobs being decoded
    bool shutdown_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace Vantor
