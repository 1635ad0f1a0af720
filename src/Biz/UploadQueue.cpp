#include "Biz/UploadQueue.h"

#include "Biz/HttpClient.h"
#include "Biz/ImageData.h"
#include "Biz/SpeedMeter.h"
#include "Biz/Uploader.h"
#include "image/GdiplusLease.h"
#include "platform/ModuleThread.h"

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace Vantor {

// Everything one task owns, shared by its task thread and its workers.
struct UploadQueue::Task : std::enable_shared_from_this<UploadQueue::Task> {
    Task(std::vector<UploadFile> files, UploadSettings copiedSettings, std::shared_ptr<UploadObserver> reportTo)
        : settings(std::move(copiedSettings)),
          observer(std::move(reportTo)),
          fileCount(files.size()),
          threads(std::clamp(settings.threadCount, kMinThreads, kMaxThreads)),
          waiting(std::move(files))
    {
    }

    const UploadSettings settings;
    const std::shared_ptr<UploadObserver> observer;
    const StopFlag stop = std::make_shared<std::atomic<bool>>(false);
    // Workers decode and encode pictures with GDI+: it must outlive them, whatever the
    // control does meanwhile.
    const GdiplusLease gdiplus = GdiplusLease::Acquire();
    const size_t fileCount;
    const int threads;
    SpeedMeter meter;

    mutable std::mutex lock;  // everything below
    std::condition_variable changed;
    std::vector<UploadFile> waiting;  // taken from the end
    int running = 0;
    bool ended = false;  // the task has made its last report
    UploadTaskResult result;

    void run();
    void runWorker(const UploadFile& file);
    void endFile(const std::shared_ptr<ImageData>& record, bool accepted);
};

namespace {

// Reports never throw into the engine.
template <typename Report>
void Tell(Report report)
{
    try {
        report();
    } catch (...) {
    }
}

}  // namespace

void UploadQueue::Task::run()
{
    meter.reset(GetTickCount());
    std::unique_lock<std::mutex> hold(lock);
    const auto sampleWhileWaiting = [this, &hold] {
        changed.wait_for(hold, std::chrono::milliseconds(SpeedMeter::kIntervalMs));
        meter.sample(GetTickCount());
    };
    // The launch loop: a free slot takes the last waiting file.
    while (!stop->load() && !waiting.empty()) {
        if (running >= threads) {
            sampleWhileWaiting();
            continue;
        }
        const UploadFile file = std::move(waiting.back());
        waiting.pop_back();
        ++running;
        hold.unlock();
        const bool started = RunOnModuleThread([self = shared_from_this(), file] { self->runWorker(file); });
        if (!started)
            endFile(file.record, false);
        hold.lock();
    }
    while (running > 0)
        sampleWhileWaiting();
    result.leftWaiting = waiting.size();
    result.stopped = stop->load();
    for (const UploadFile& file : waiting)
        file.record->setUploadPhase(UploadPhase::None);
    const UploadTaskResult final = result;
    hold.unlock();

    Tell([&] { observer->TaskEnded(final); });
    if (final.leftWaiting == 0)
        Tell([&] { observer->TaskCompleted(final); });
    hold.lock();
    ended = true;
    changed.notify_all();
}

void UploadQueue::Task::runWorker(const UploadFile& file)
{
    bool accepted = false;
    try {
        Uploader uploader(file.record, settings, stop, meter, *observer);
        accepted = uploader.Run();
    } catch (...) {
        accepted = false;
    }
    endFile(file.record, accepted);
}

void UploadQueue::Task::endFile(const std::shared_ptr<ImageData>& record, bool accepted)
{
    // The one final report of the file, after its completion is on record; the slot is
    // given back only then, so the task's end always comes after it.
    {
        std::lock_guard<std::mutex> hold(lock);
        if (accepted)
            result.completed.push_back(record);
        else
            ++result.failed;
    }
    record->setUploadPhase(accepted ? UploadPhase::Done : UploadPhase::Failed);
    if (accepted)
        Tell([&] { observer->FileCompleted(record); });
    else
        Tell([&] { observer->FileFailed(record); });
    std::lock_guard<std::mutex> hold(lock);
    --running;
    changed.notify_all();
}

UploadQueue::UploadQueue() = default;

UploadQueue::~UploadQueue()
{
    Stop();
}

bool UploadQueue::Start(std::vector<UploadFile> files, UploadSettings settings, std::shared_ptr<UploadObserver> observer)
{
    try {
        if (Running() || !observer)
            return false;
        files.erase(std::remove_if(files.begin(), files.end(), [](const UploadFile& f) { return !f.record; }),
                    files.end());
        if (files.empty())
            return false;
        auto task = std::make_shared<Task>(std::move(files), std::move(settings), std::move(observer));
        if (!task->gdiplus)
            return false;
        for (const UploadFile& file : task->waiting)
            file.record->resetUploadState();
        RaiseConnectionLimit(static_cast<uint32_t>(task->threads));
        if (!StartModuleThread([task] { task->run(); })) {
            for (const UploadFile& file : task->waiting)
                file.record->setUploadPhase(UploadPhase::None);
            return false;
        }
        task_ = std::move(task);
        return true;
    } catch (...) {
        return false;
    }
}

void UploadQueue::Stop()
{
    if (!task_)
        return;
    task_->stop->store(true);
    // Wakes the task thread if it waits for a slot.
    std::lock_guard<std::mutex> hold(task_->lock);
    task_->changed.notify_all();
}

bool UploadQueue::Running() const
{
    if (!task_)
        return false;
    std::lock_guard<std::mutex> hold(task_->lock);
    return !task_->ended;
}

bool UploadQueue::WaitUntilIdle(std::chrono::milliseconds limit) const
{
    if (!task_)
        return true;
    std::unique_lock<std::mutex> hold(task_->lock);
    return task_->changed.wait_for(hold, limit, [this] { return task_->ended; });
}

UploadTaskProgress UploadQueue::Progress() const
{
    UploadTaskProgress progress;
    if (!task_)
        return progress;
    std::lock_guard<std::mutex> hold(task_->lock);
    progress.running = !task_->ended;
    progress.files = task_->fileCount;
    progress.ended = task_->result.completed.size() + task_->result.failed;
    progress.bytesSent = task_->meter.total();
    progress.bytesPerSecond = task_->meter.bytesPerSecond();
    return progress;
}

}  // namespace Vantor
