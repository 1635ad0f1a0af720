#pragma once
// The upload engine of one control: one upload task at a time, each file sent by its own
// worker thread, at most ThreadCount at once.
//
//   UploadQueue queue;
//   queue.Start(files, settings, observer);   // window thread; returns at once
//   queue.Stop();                             // window thread; the task still ends normally
//
// Start receives everything as values: the files (record and id, in list order; the last
// file is sent first), a copy of the settings, and the observer the task reports to. The
// task and its workers read only those, so the page's later messages and the user's later
// changes to the list cannot reach a running task.
//
// Stop ends the requests in flight within about a second (the stall watchdog closes their
// handles) and starts no further file; the task then reports its end as usual. Files still
// waiting get no report. Over tus, the uploads the server holds for files not finished are
// deleted there before the task ends (TerminateTus: each bounded by the time-out, at most 10 s).
//
// The task thread and the workers are detached and share the task's state, so a queue may
// go away while they finish: its destructor only stops the task. The observer is shared with
// the task and must drop reports that come after its owner has gone.
#include "Biz/UploadObserver.h"
#include "Biz/UploadSettings.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Vantor {

class ImageData;

// One file of a task: the shared record and its id (never a list position or item).
struct UploadFile {
    std::string id;
    std::shared_ptr<ImageData> record;
};

// A running task's progress, for a total line.
struct UploadTaskProgress {
    bool running = false;
    size_t files = 0;     // in the task
    size_t ended = 0;     // completed or failed
    uint64_t bytesSent = 0;
    uint64_t bytesPerSecond = 0;
};

class UploadQueue {
public:
    static constexpr int kMinThreads = 1;
    static constexpr int kMaxThreads = 10;

    UploadQueue();
    ~UploadQueue();
    UploadQueue(const UploadQueue&) = delete;
    UploadQueue& operator=(const UploadQueue&) = delete;

    // False (and nothing happens) when a task is still running, there is no file, or the
    // task thread cannot be made. Every file's upload state is reset (waiting) first.
    bool Start(std::vector<UploadFile> files, UploadSettings settings, std::shared_ptr<UploadObserver> observer);
    // Any thread; returns at once.
    void Stop();

    bool Running() const;
    // Waits until no task runs; false when the time ran out.
    bool WaitUntilIdle(std::chrono::milliseconds limit) const;
    UploadTaskProgress Progress() const;

    struct Task;

private:
    std::shared_ptr<Task> task_;  // the latest task, running or ended
};

}  // namespace Vantor
