#pragma once
// The control's side of the upload engine's reports: each report becomes work on the
// control's window thread (WindowTasks), named after what it is:
//   post_process   a file's progress (or its wait for another try)
//   post_complete  one file's end with the server's reply; not the page's "post_complete",
//                  which the control sends once per task from task_complete
//   post_error     one file's failed end
//   task_end       the task's end, always, after every file's last report
//   task_complete  the task ended with no file left waiting (after task_end)
// Each carries the file's record or the task's own result as a value.
//
// The engine's threads may outlive the control: once the control's queue is closed, what
// they still report goes nowhere.
#include "Biz/UploadObserver.h"
#include "platform/WindowTasks.h"

#include <functional>
#include <memory>

namespace Vantor {

class UploadReports : public UploadObserver {
public:
    // What the window thread does with each report.
    struct Handlers {
        std::function<void(const std::shared_ptr<ImageData>& file)> postProcess;
        std::function<void(const std::shared_ptr<ImageData>& file)> postComplete;
        std::function<void(const std::shared_ptr<ImageData>& file)> postError;
        std::function<void(const UploadTaskResult& task)> taskEnd;
        std::function<void(const UploadTaskResult& task)> taskComplete;
    };

    UploadReports(WindowTasks::Poster window, Handlers handlers);

    void FileProgress(const std::shared_ptr<ImageData>& file, uint32_t fileBytes) override;
    void FileCompleted(const std::shared_ptr<ImageData>& file) override;
    void FileFailed(const std::shared_ptr<ImageData>& file, const UploadFailure& why) override;
    void FileRetrying(const std::shared_ptr<ImageData>& file, const UploadFailure& why, size_t tries,
                      std::chrono::milliseconds delay) override;
    void TaskEnded(const UploadTaskResult& result) override;
    void TaskCompleted(const UploadTaskResult& result) override;

private:
    using FileHandler = std::function<void(const std::shared_ptr<ImageData>&)> Handlers::*;
    using TaskHandler = std::function<void(const UploadTaskResult&)> Handlers::*;
    void postFile(FileHandler which, const std::shared_ptr<ImageData>& file);
    void postTask(TaskHandler which, const UploadTaskResult& result);

    const WindowTasks::Poster window_;
    const std::shared_ptr<const Handlers> handlers_;
};

}  // namespace Vantor
