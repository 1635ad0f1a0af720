#include "picker/FolderLister.h"

#include <shlwapi.h>

#include <atomic>
#include <chrono>

#include "Biz/ImageData.h"
#include "picker/ItemDates.h"
#include "picker/ListView.h"

namespace Vantor {

struct FolderLister::State {
    explicit State(uint32_t number) : run(number) {}
    const uint32_t run;
    std::atomic<bool> stopped{false};
    std::atomic<bool> ended{false};  // the thread is about to return
    std::mutex lock;
    Records ready;
    bool finished = false;
};

FolderLister::FolderLister(HWND target, UINT message) : target_(target), message_(message) {}

FolderLister::~FolderLister()
{
    Stop();
    for (auto& [thread, state] : threads_)
        if (thread.joinable())
            thread.join();
}

uint32_t FolderLister::Start(const std::wstring& folder, const PictureKinds& kinds)
{
    Stop();
    // Threads of earlier listings that have returned are joined (no wait).
    for (auto it = threads_.begin(); it != threads_.end();) {
        if (it->second->ended) {
            if (it->first.joinable())
                it->first.join();
            it = threads_.erase(it);
        } else {
            ++it;
        }
    }
    current_ = std::make_shared<State>(++run_);
    try {
        threads_.emplace_back(std::thread(&FolderLister::Work, this, current_, folder, kinds), current_);
    } catch (...) {
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

void FolderLister::Work(std::shared_ptr<State> state, std::wstring folder, PictureKinds kinds)
{
    using Clock = std::chrono::steady_clock;
    const auto hand = [&](bool finished) {
        {
            std::lock_guard<std::mutex> guard(state->lock);
            state->finished = state->finished || finished;
        }
        PostMessageW(target_, message_, state->run, 0);
    };
    try {
        if (folder.empty() || folder.size() >= MAX_PATH) {
            hand(true);
            state->ended = true;
            return;
        }
        const std::wstring pattern = folder + (folder.back() == L'\\' ? L"*.*" : L"\\*.*");
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
        if (search == INVALID_HANDLE_VALUE) {
            hand(true);
            state->ended = true;
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
            std::shared_ptr<ImageData> record = ImageData::CreateUnloaded(full);
            if (!record || record->fileSize() == 0)
                continue;
            auto dates = std::make_shared<ItemDates>(record->path());
            {
                std::lock_guard<std::mutex> guard(state->lock);
                state->ready.push_back(Listed{std::move(record), std::move(dates)});
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
    state->ended = true;
}

}  // namespace Vantor
