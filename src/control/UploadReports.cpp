#include "control/UploadReports.h"

#include "control/MsgDataTable.h"
#include "control/MsgQueue.h"

namespace Vantor {

UploadReports::UploadReports(MsgQueue& queue, MsgDataTable& records) : queue_(&queue), records_(&records) {}

void UploadReports::detach()
{
    std::lock_guard<std::mutex> hold(lock_);
    queue_ = nullptr;
    records_ = nullptr;
}

void UploadReports::post(const char* name, const std::shared_ptr<ImageData>& file, uint64_t progress,
                         const UploadTaskResult* task)
{
    try {
        std::lock_guard<std::mutex> hold(lock_);
        if (!queue_ || !records_)
            return;
        const std::shared_ptr<MsgData> record = records_->add(file);
        record->progress = progress;
        if (task)
            record->task = *task;
        queue_->post(name, record->key);
    } catch (...) {
    }
}

void UploadReports::FileProgress(const std::shared_ptr<ImageData>& file, uint32_t fileBytes)
{
    post("post_process", file, fileBytes, nullptr);
}

void UploadReports::FileCompleted(const std::shared_ptr<ImageData>& file) { post("post_complete", file, 0, nullptr); }

void UploadReports::FileFailed(const std::shared_ptr<ImageData>& file, const UploadFailure&)
{
    // The record holds the failure: the window thread reads it from there.
    post("post_error", file, 0, nullptr);
}

void UploadReports::FileRetrying(const std::shared_ptr<ImageData>& file, const UploadFailure&, size_t,
                                 std::chrono::milliseconds)
{
    // Not an end: the band shows that the file waits for its next try.
    post("post_process", file, 0, nullptr);
}

void UploadReports::TaskEnded(const UploadTaskResult& result) { post("task_end", nullptr, 0, &result); }

void UploadReports::TaskCompleted(const UploadTaskResult& result) { post("task_complete", nullptr, 0, &result); }

}  // namespace Vantor
