#include "UploadTestSupport.h"

#include "platform/TextConv.h"
#include "test_pictures.h"

#include <cstdlib>

using namespace Vantor;

namespace uploadtest {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::wstring ServerUrl(const std::string& path) { return Utf8ToUtf16(Env("FOTOLOFT_HTTP") + path); }

int RecordedBodiesContaining(const std::string& text)
{
    const std::wstring folder = Utf8ToUtf16(Env("FOTOLOFT_RECORD_DIR"));
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*.body").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do {
        const std::vector<uint8_t> bytes = testpics::ReadBytes(folder + L"\\" + found.cFileName);
        count += std::string(bytes.begin(), bytes.end()).find(text) != std::string::npos;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

std::wstring MakePicture(const testpics::TempFolder& folder, const std::wstring& name, uint32_t width,
                         uint32_t height, uint32_t seed)
{
    const CxImage image = testpics::Make24(width, height, [seed](uint32_t x, uint32_t y) {
        return RGBQUAD{static_cast<BYTE>(x * 7 + seed), static_cast<BYTE>(y * 3 + seed * 5),
                       static_cast<BYTE>((x ^ y) + seed * 11), 255};
    });
    const std::wstring path = folder.file(name);
    return testpics::WritePicture(path, image, L"bmp") ? path : std::wstring();
}

std::vector<UploadFile> FilesOf(const std::vector<std::wstring>& paths)
{
    std::vector<UploadFile> files;
    for (const std::wstring& path : paths) {
        std::shared_ptr<ImageData> record = ImageData::Create(path);
        files.push_back({record ? record->id() : std::string(), record});
    }
    return files;
}

UploadSettings SettingsFor(const std::string& path, int threads)
{
    UploadSettings settings;
    settings.postUrl = ServerUrl(path);
    settings.threadCount = threads;
    settings.retryDelaysMs = {};  // one try, unless a test asks for more
    return settings;
}

void Recorder::add(Kind kind, const std::string& id, uint32_t bytes, const UploadFailure& failure)
{
    std::lock_guard<std::mutex> hold(lock_);
    events_.push_back({kind, id, bytes, GetCurrentThreadId(), std::chrono::steady_clock::now(), failure});
    changed_.notify_all();
}

void Recorder::FileProgress(const std::shared_ptr<ImageData>& file, uint32_t fileBytes)
{
    add(Kind::Progress, file->id(), fileBytes);
}
void Recorder::FileCompleted(const std::shared_ptr<ImageData>& file) { add(Kind::Completed, file->id()); }
void Recorder::FileFailed(const std::shared_ptr<ImageData>& file, const UploadFailure& why)
{
    add(Kind::Failed, file->id(), 0, why);
}
void Recorder::FileRetrying(const std::shared_ptr<ImageData>& file, const UploadFailure& why, size_t,
                            std::chrono::milliseconds delay)
{
    add(Kind::Retrying, file->id(), static_cast<uint32_t>(delay.count()), why);
}
void Recorder::TaskEnded(const UploadTaskResult& result)
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        ended_ = result;
    }
    add(Kind::TaskEnded, {});
}
void Recorder::TaskCompleted(const UploadTaskResult&) { add(Kind::TaskCompleted, {}); }

std::vector<Recorder::Event> Recorder::events() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return events_;
}

bool Recorder::WaitFor(const std::function<bool(const std::vector<Event>&)>& done,
                       std::chrono::milliseconds limit) const
{
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, limit, [&] { return done(events_); });
}

UploadTaskResult Recorder::ended() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return ended_;
}

size_t Recorder::Count(const std::vector<Event>& events, Kind kind, const std::string& id)
{
    size_t n = 0;
    for (const Event& e : events)
        n += e.kind == kind && (id.empty() || e.id == id);
    return n;
}

size_t Recorder::Finals(const std::vector<Event>& events, const std::string& id)
{
    return Count(events, Kind::Completed, id) + Count(events, Kind::Failed, id);
}

int Recorder::IndexOf(const std::vector<Event>& events, Kind kind, const std::string& id)
{
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i].kind == kind && (id.empty() || events[i].id == id))
            return static_cast<int>(i);
    return -1;
}

int Recorder::LastFinalIndex(const std::vector<Event>& events)
{
    int last = -1;
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i].kind == Kind::Completed || events[i].kind == Kind::Failed)
            last = static_cast<int>(i);
    return last;
}

}  // namespace uploadtest
