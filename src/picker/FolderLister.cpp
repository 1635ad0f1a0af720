#include "picker/FolderLister.h"

#include <shlwapi.h>

#include <atomic>
#include <chrono>

#include "Biz/ImageData.h"
#include "picker/ItemDates.h"
#include "picker/ListView.h"
#include "platform/ModuleThread.h"

namespace Vantor {

// What one listing shares with its thread; the thread holds it to its end, whoever else has
// let go.
struct FolderLister::State {
    State(uint32_t number, HWND window, UINT report, Reader read)
        : run(number), target(window), message(report), reader(std::move(read))
    {
    }
    const uint32_t run;
    const HWND target;
    const UINT message;
    const Reader reader;
    std::atomic<bool> stopped{false};
    std::mutex lock;
    Records ready;
    bool finished = false;
};

std::optional<FolderLister::Listed> FolderLister::ReadFile(const std::wstring& path)
{
    std::shared_ptr<ImageData> record = ImageData::CreateUnloaded(path);
    if (!record || record->fileSize() == 0)
        return std::nullopt;
    auto dates = std::make_shared<ItemDates>(record->path());
    return Listed{std::move(record), std::move(dates)};
}

FolderLister::FolderLister(HWND target, UINT message, Reader reader)
    : target_(target), message_(message), reader_(std::move(reader))
{
}

FolderLister::~FolderLister() { Stop(); }

uint32_t FolderLister::Start(const std::wstring& folder, const PictureKinds& kinds)
{
    Stop();
    current_ = std::make_shared<State>(++run_, target_, message_, reader_);
    const bool started = StartModuleThread([state = current_, folder, kinds] { Work(state, folder, kinds); });
    if (!started) {
        std::lock_guard<std::mutex> guard(current_->lock);
        current_->finished = true;
        PostMessageW(target_, message_, run_, 0);
    }
    return run_;
}

void FolderLister::Stop()
{
    if (current_)
        current_->stopped = true;
    current_.reset();
}

FolderLister::Records FolderLister::Take(uint32_t run, bool& finished)
{
    finished = false;
    if (!current_ || current_->run != run)
        return {};
    std::lock_guard<std::mutex> guard(current_->lock);
    finished = current_->finished;
    Records taken;
    taken.swap(current_->ready);
    return taken;
}

bool FolderLister::IsListing() const
{
    if (!current_)
        return false;
    std::lock_guard<std::mutex> guard(current_->lock);
    return !current_->finished;
}

void FolderLister::Work(const std::shared_ptr<State>& state, const std::wstring& folder, const PictureKinds& kinds)
{
    using Clock = std::chrono::steady_clock;
    const auto hand = [&](bool finished) {
        {
            std::lock_guard<std::mutex> guard(state->lock);
            state->finished = state->finished || finished;
        }
        // A stopped listing's window may be gone: nothing is said to it any more.
        if (!state->stopped)
            PostMessageW(state->target, state->message, state->run, 0);
    };
    try {
        if (folder.empty() || folder.size() >= MAX_PATH) {
            hand(true);
            return;
        }
        const std::wstring pattern = folder + (folder.back() == L'\\' ? L"*.*" : L"\\*.*");
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
        if (search == INVALID_HANDLE_VALUE) {
            hand(true);
            return;
        }
        constexpr DWORD kSkipped = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
        auto lastHanded = Clock::now();
        bool handedAny = false;
        size_t waiting = 0;
        do {
            if (state->stopped)
                break;
            if (found.dwFileAttributes & kSkipped)
                continue;
            if (found.nFileSizeHigh == 0 && found.nFileSizeLow == 0)
                continue;
            wchar_t full[MAX_PATH] = {};
            if (!PathCombineW(full, folder.c_str(), found.cFileName) || !kinds.Accepts(full))
                continue;
            std::optional<Listed> listed = state->reader(full);
            if (!listed || state->stopped)
                continue;
            {
                std::lock_guard<std::mutex> guard(state->lock);
                state->ready.push_back(std::move(*listed));
            }
            // A first screen of pictures at once, then a batch every 100 ms.
            ++waiting;
            if ((!handedAny && waiting >= 12) || Clock::now() - lastHanded > std::chrono::milliseconds(100)) {
                hand(false);
                handedAny = true;
                lastHanded = Clock::now();
                waiting = 0;
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    } catch (...) {
    }
    hand(true);
}

}  // namespace Vantor
