#pragma once
// How the upload queue reports: the engine calls these from its task and worker threads
// (never the window thread); whoever started the task implements them, and a control hands
// each report to its own window thread. An implementation must not block for long and must
// not throw.
//
// Per file: any number of FileProgress, then exactly one of FileCompleted or FileFailed. A
// try that fails for a transient reason and gets another is FileRetrying (not an end): the
// file's progress then starts again from nothing. Files still waiting when the task is
// stopped get no report; a file waiting for its next try then ends with FileFailed. Per task, after every file's
// last report: TaskEnded, then TaskCompleted only when no file was left waiting.
#include "Biz/UploadFailure.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace Vantor {

class ImageData;

// What a task did, kept by the task itself (not read back from any list).
struct UploadTaskResult {
    // The files the server accepted, in the order they finished.
    std::vector<std::shared_ptr<ImageData>> completed;
    size_t failed = 0;       // files that ended without success
    size_t leftWaiting = 0;  // files never started because the task was stopped
    size_t retries = 0;      // tries after a file's first
    bool stopped = false;    // Stop was called
};

class UploadObserver {
public:
    virtual ~UploadObserver() = default;

    // fileBytes of the picture went out in one write.
    virtual void FileProgress(const std::shared_ptr<ImageData>& file, uint32_t fileBytes) = 0;
    virtual void FileCompleted(const std::shared_ptr<ImageData>& file) = 0;
    // why: the last try's failure (the record keeps it too).
    virtual void FileFailed(const std::shared_ptr<ImageData>& file, const UploadFailure& why) = 0;
    // The try numbered tries failed for a transient reason; the next goes after delay.
    virtual void FileRetrying(const std::shared_ptr<ImageData>& file, const UploadFailure& why, size_t tries,
                              std::chrono::milliseconds delay)
    {
    }
    virtual void TaskEnded(const UploadTaskResult& result) = 0;
    virtual void TaskCompleted(const UploadTaskResult& result) = 0;
};

}  // namespace Vantor
