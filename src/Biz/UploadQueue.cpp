#include "Biz/UploadQueue.h"

#include "Biz/HttpClient.h"
#include "Biz/Log.h"
#include "Biz/ImageData.h"
#include "Biz/RetryPolicy.h"
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
    using Clock = std::chrono::steady_clock;

    Task(std::vector<UploadFile> files, UploadSettings copiedSettings, std::shared_ptr<UploadObserver> reportTo)
        : settings(std::move(copiedSettings)),
          observer(std::move(reportTo)),
          fileCount(files.size()),
          threads(std::clamp(settings.threadCount, kMinThreads, kMaxThreads)),
          waiting(std::move(files))
    {
    }

    // A file whose try failed for a transient reason, until its next try is due. It holds no
    // worker: the others go on meanwhile.
    struct Retry {
        UploadFile file;
        size_t tries = 0;  // made so far
        Clock::time_point due;
        UploadFailure last;
        std::shared_ptr<KeptUpload> kept;  // what its tries share
    };

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
    std::vector<Retry> retrying;      // in the order they failed
    int running = 0;
    bool ended = false;  // the task has made its last report
    UploadTaskResult result;

    void run();
    // Under the lock: starts the file's next try on a worker (the lock is let go meanwhile).
    void launch(std::unique_lock<std::mutex>& hold, UploadFile file, size_t tries, std::shared_ptr<KeptUpload> kept);
    void runWorker(const UploadFile& file, size_t tries, const std::shared_ptr<KeptUpload>& kept);
    // The user's stop: a resumable upload the server still holds is dropped there.
    void cancelOnServer(KeptUpload& kept);
    void endFile(const std::shared_ptr<ImageData>& record, const UploadFailure& failure, bool holdsWorker);
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
    // The launch loop. Every wait is bounded and every change (a worker's end, a retry
    // scheduled, Stop) notifies under the lock, so no wake-up is lost and a retry falls due
    // on time whatever else happens.
    while (!stop->load()) {
        const Clock::time_point now = Clock::now();
        if (running < threads) {
            // A retry that is due goes first: the list's order is kept for the files not
            // yet tried.
            const auto due = std::min_element(retrying.begin(), retrying.end(),
                                              [](const Retry& a, const Retry& b) { return a.due < b.due; });
            if (due != retrying.end() && due->due <= now) {
                Retry next = std::move(*due);
                retrying.erase(due);
                ++result.retries;
                launch(hold, std::move(next.file), next.tries, std::move(next.kept));
                continue;
            }
            if (!waiting.empty()) {
                UploadFile file = std::move(waiting.back());
                waiting.pop_back();
                launch(hold, std::move(file), 0, std::make_shared<KeptUpload>());
                continue;
            }
        }
        if (running == 0 && waiting.empty() && retrying.empty())
            break;
        auto wait = std::chrono::milliseconds(SpeedMeter::kIntervalMs);
        for (const Retry& retry : retrying) {
            const auto untilDue = std::chrono::duration_cast<std::chrono::milliseconds>(retry.due - now);
            wait = std::max(std::chrono::milliseconds(1), std::min(wait, untilDue + std::chrono::milliseconds(1)));
        }
        changed.wait_for(hold, wait);
        meter.sample(GetTickCount());
    }
    while (running > 0) {
        changed.wait_for(hold, std::chrono::milliseconds(SpeedMeter::kIntervalMs));
        meter.sample(GetTickCount());
    }
    // Stopped: a file waiting for its next try has been tried, so it ends now with the
    // failure of its last try; files never tried get no report.
    std::vector<Retry> interrupted;
    interrupted.swap(retrying);
    hold.unlock();
    for (const Retry& retry : interrupted) {
        if (retry.kept)
            cancelOnServer(*retry.kept);
        endFile(retry.file.record, retry.last, false);
    }
    hold.lock();
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

void UploadQueue::Task::launch(std::unique_lock<std::mutex>& hold, UploadFile file, size_t tries,
                               std::shared_ptr<KeptUpload> kept)
{
    ++running;
    hold.unlock();
    const std::shared_ptr<ImageData> record = file.record;
    const bool started = RunOnModuleThread([self = shared_from_this(), file = std::move(file), tries, kept] {
        const Log::Scope log(self->settings.log.get());
        self->runWorker(file, tries, kept);
    });
    if (!started) {
        UploadFailure failure;
        failure.reason = FailureReason::CannotConnect;
        endFile(record, failure, true);
    }
    hold.lock();
}

void UploadQueue::Task::runWorker(const UploadFile& file, size_t tries, const std::shared_ptr<KeptUpload>& kept)
{
    UploadFailure failure;
    try {
        Uploader uploader(file.record, settings, stop, meter, *observer, *kept);
        failure = uploader.Run();
    } catch (...) {
        failure = UploadFailure{};
        failure.reason = FailureReason::Unreadable;
    }
    if (failure.reason != FailureReason::None && stop->load())
        cancelOnServer(*kept);
    ++tries;
    const auto delay = failure.reason == FailureReason::None || stop->load()
                           ? std::nullopt
                           : NextRetryDelay(failure, tries, settings.retryDelaysMs);
    if (!delay) {
        endFile(file.record, failure, true);
        return;
    }
    file.record->setUploadFailure(failure);
    file.record->setUploadPhase(UploadPhase::Retrying);
    Tell([&] { observer->FileRetrying(file.record, failure, tries, *delay); });
    // Waiting, the prepared bytes hold no memory.
    try {
        kept->picture.park();
    } catch (...) {
    }
    // The worker goes back first, then the file waits for its time without holding one.
    std::lock_guard<std::mutex> hold(lock);
    retrying.push_back({file, tries, Clock::now() + *delay, failure, kept});
    --running;
    changed.notify_all();
}

void UploadQueue::Task::cancelOnServer(KeptUpload& kept)
{
    if (settings.protocol == UploadProtocol::Tus)
        TerminateTus(kept.tus, settings);
}

void UploadQueue::Task::endFile(const std::shared_ptr<ImageData>& record, const UploadFailure& failure,
                                bool holdsWorker)
{
    // The one final report of the file, after its completion is on record; the worker is
    // given back only then, so the task's end always comes after it.
    const bool accepted = failure.reason == FailureReason::None;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (accepted)
            result.completed.push_back(record);
        else
            ++result.failed;
    }
    // An earlier try's failure goes once the file is accepted. A file the user stopped did
    // not fail: it goes back to waiting for the next task, unmarked, though the reason stays
    // on record for whoever reports the end to the page.
    const bool stopped = !accepted && failure.reason == FailureReason::Stopped;
    record->setUploadFailure(accepted ? UploadFailure{} : failure);
    record->setUploadPhase(accepted ? UploadPhase::Done : stopped ? UploadPhase::None : UploadPhase::Failed);
    if (accepted)
        Tell([&] { observer->FileCompleted(record); });
    else
        Tell([&] { observer->FileFailed(record, failure); });
    std::lock_guard<std::mutex> hold(lock);
    if (holdsWorker)
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
        // Each file's place in the list as the task found it (0 first), for "index".
        for (size_t i = 0; i < task->waiting.size(); ++i) {
            task->waiting[i].record->resetUploadState();
            task->waiting[i].record->setUploadIndex(static_cast<int64_t>(i));
        }
        RaiseConnectionLimit(static_cast<uint32_t>(task->threads));
        if (!StartModuleThread([task] {
                const Log::Scope log(task->settings.log.get());
                task->run();
            })) {
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
