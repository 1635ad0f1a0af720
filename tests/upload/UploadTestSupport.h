#pragma once
// Shared by the upload queue's tests: the servers' addresses, picture files, and an
// observer that records every report with its thread and order.
#include "Biz/ImageData.h"
#include "Biz/UploadObserver.h"
#include "Biz/UploadQueue.h"
#include "Biz/UploadSettings.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "picture_files.h"

namespace uploadtest {

std::string Env(const char* name);
// The recording server's address with this path ("/record", "/slow?group=x").
std::wstring ServerUrl(const std::string& path);
// How many request bodies the recording server has kept that contain the text.
int RecordedBodiesContaining(const std::string& text);

// A BMP (quick to decode and encode) of the given size with a pattern that depends on seed.
std::wstring MakePicture(const testpics::TempFolder& folder, const std::wstring& name, uint32_t width,
                         uint32_t height, uint32_t seed);
// Records for the files, in list order.
std::vector<Vantor::UploadFile> FilesOf(const std::vector<std::wstring>& paths);

Vantor::UploadSettings SettingsFor(const std::string& path, int threads);

class Recorder : public Vantor::UploadObserver {
public:
    enum class Kind { Progress, Retrying, Completed, Failed, TaskEnded, TaskCompleted };
    struct Event {
        Kind kind;
        std::string id;  // empty for the task's reports
        uint32_t bytes = 0;  // progress: file bytes; retrying: the delay in milliseconds
        DWORD thread = 0;
        std::chrono::steady_clock::time_point at;
        Vantor::UploadFailure failure;  // failed and retrying
    };

    void FileProgress(const std::shared_ptr<Vantor::ImageData>& file, uint32_t fileBytes) override;
    void FileCompleted(const std::shared_ptr<Vantor::ImageData>& file) override;
    void FileFailed(const std::shared_ptr<Vantor::ImageData>& file, const Vantor::UploadFailure& why) override;
    void FileRetrying(const std::shared_ptr<Vantor::ImageData>& file, const Vantor::UploadFailure& why, size_t tries,
                      std::chrono::milliseconds delay) override;
    void TaskEnded(const Vantor::UploadTaskResult& result) override;
    void TaskCompleted(const Vantor::UploadTaskResult& result) override;

    std::vector<Event> events() const;
    // Waits until the predicate over the events holds; false on time-out.
    bool WaitFor(const std::function<bool(const std::vector<Event>&)>& done, std::chrono::milliseconds limit) const;
    Vantor::UploadTaskResult ended() const;

    // Counts over the events.
    static size_t Count(const std::vector<Event>& events, Kind kind, const std::string& id = {});
    static size_t Finals(const std::vector<Event>& events, const std::string& id);
    static int IndexOf(const std::vector<Event>& events, Kind kind, const std::string& id = {});
    static int LastFinalIndex(const std::vector<Event>& events);

private:
    void add(Kind kind, const std::string& id, uint32_t bytes = 0, const Vantor::UploadFailure& failure = {});

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::vector<Event> events_;
    Vantor::UploadTaskResult ended_;
};

}  // namespace uploadtest
