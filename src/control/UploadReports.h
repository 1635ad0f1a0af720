#pragma once
// The control's side of the upload engine's reports: each report becomes a record in the
// control's MsgDataTable and a (name, key) pair in its MsgQueue, so that the handlers run on
// the control's window thread. Names: "post_process", "post_complete", "post_error",
// "task_end", "task_complete".
//
// The engine's threads may outlive the control: the control detaches this object when it
// goes, and reports made after that are dropped.
#include "Biz/UploadObserver.h"

#include <mutex>

namespace Vantor {

class MsgDataTable;
class MsgQueue;

class UploadReports : public UploadObserver {
public:
    UploadReports(MsgQueue& queue, MsgDataTable& records);

    // Once this returns, no report reaches the queue or the table.
    void detach();

    void FileProgress(const std::shared_ptr<ImageData>& file, uint32_t fileBytes) override;
    void FileCompleted(const std::shared_ptr<ImageData>& file) override;
    void FileFailed(const std::shared_ptr<ImageData>& file, const UploadFailure& why) override;
    void FileRetrying(const std::shared_ptr<ImageData>& file, const UploadFailure& why, size_t tries,
                      std::chrono::milliseconds delay) override;
    void TaskEnded(const UploadTaskResult& result) override;
    void TaskCompleted(const UploadTaskResult& result) override;

private:
    void post(const char* name, const std::shared_ptr<ImageData>& file, uint64_t progress,
              const UploadTaskResult* task);

    std::mutex lock_;  // held through each report, against detach()
    MsgQueue* queue_;
    MsgDataTable* records_;
};

}  // namespace Vantor
