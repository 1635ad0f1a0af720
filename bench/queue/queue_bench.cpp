// The upload engine alone: the files prepared and posted by an upload task with the
// control's own default settings and the given parallelism, without the control, its list,
// its panel or its notifications.
//
//   queue_bench URL THREADS FILE...
//
// Prints "engine <ms>" (from Start to the task's end) and "accepted <n>"; exit code 0 when
// the server accepted every file.
#include "Biz/ImageData.h"
#include "Biz/UploadObserver.h"
#include "Biz/UploadQueue.h"
#include "control/AppConfig.h"
#include "image/GdiplusLease.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

using namespace Vantor;

namespace {

class TaskEnd : public UploadObserver {
public:
    void FileProgress(const std::shared_ptr<ImageData>&, uint32_t) override {}
    void FileCompleted(const std::shared_ptr<ImageData>&) override {}
    void FileFailed(const std::shared_ptr<ImageData>&, const UploadFailure&) override {}
    void TaskEnded(const UploadTaskResult& result) override
    {
        std::lock_guard<std::mutex> hold(lock_);
        accepted_ = result.completed.size();
        ended_ = true;
        changed_.notify_all();
    }
    void TaskCompleted(const UploadTaskResult&) override {}

    // The number of accepted files, or -1 when the task did not end in time.
    long wait(std::chrono::seconds limit)
    {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, limit, [this] { return ended_; }) ? static_cast<long>(accepted_) : -1;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool ended_ = false;
    size_t accepted_ = 0;
};

int Run(const std::vector<std::wstring>& args)
{
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: queue_bench URL THREADS FILE...\n");
        return 2;
    }
    const GdiplusLease gdiplus = GdiplusLease::Acquire();
    AppConfig config;  // the control's defaults, as a page that sends only these two sees them
    config.PostUrl = args[1];
    config.ThreadCount = _wtoi(args[2].c_str());
    std::vector<UploadFile> files;
    for (size_t i = 3; i < args.size(); ++i) {
        std::shared_ptr<ImageData> record = ImageData::Create(args[i]);
        if (!record) {
            std::fprintf(stderr, "cannot read %ls\n", args[i].c_str());
            return 2;
        }
        files.push_back({record->id(), record});
    }
    const auto observer = std::make_shared<TaskEnd>();
    UploadQueue queue;
    const auto start = std::chrono::steady_clock::now();
    if (!queue.Start(files, config.uploadSettings(), observer))
        return 2;
    const long accepted = observer->wait(std::chrono::seconds(600));
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("engine %.1f\naccepted %ld\n", ms, accepted);
    std::fflush(stdout);
    return accepted == static_cast<long>(files.size()) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        return Run(std::vector<std::wstring>(argv, argv + argc));
    } catch (...) {
        return 1;
    }
}
