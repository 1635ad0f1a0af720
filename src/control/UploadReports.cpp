#include "control/UploadReports.h"

namespace Vantor {

UploadReports::UploadReports(WindowTasks::Poster window, Handlers handlers)
    : window_(std::move(window)), handlers_(std::make_shared<const Handlers>(std::move(handlers)))
{
}

void UploadReports::postFile(FileHandler which, const std::shared_ptr<ImageData>& file)
{
    try {
        window_.Post([handlers = handlers_, which, file] {
            if (const auto& handler = (*handlers).*which)
                handler(file);
        });
    } catch (...) {
    }
}

void UploadReports::postTask(TaskHandler which, const UploadTaskResult& result)
{
    try {
        window_.Post([handlers = handlers_, which, result] {
            if (const auto& handler = (*handlers).*which)
                handler(result);
        });
    } catch (...) {
    }
}

void UploadReports::FileProgress(const std::shared_ptr<ImageData>& file, uint32_t)
{
    postFile(&Handlers::postProcess, file);
}

void UploadReports::FileCompleted(const std::shared_ptr<ImageData>& file) { postFile(&Handlers::postComplete, file); }

void UploadReports::FileFailed(const std::shared_ptr<ImageData>& file, const UploadFailure&)
{
    // The record holds the failure: the window thread reads it from there.
    postFile(&Handlers::postError, file);
}

void UploadReports::FileRetrying(const std::shared_ptr<ImageData>& file, const UploadFailure&, size_t,
                                 std::chrono::milliseconds)
{
    // Not an end: the band shows that the file waits for its next try.
    postFile(&Handlers::postProcess, file);
}

void UploadReports::TaskEnded(const UploadTaskResult& result) { postTask(&Handlers::taskEnd, result); }

void UploadReports::TaskCompleted(const UploadTaskResult& result) { postTask(&Handlers::taskComplete, result); }

}  // namespace Vantor
