#include "control/UploadSession.h"

#include <utility>

namespace Vantor {
namespace {

// How long a start waits for the previous task's thread, which has made its last report and
// only returns. Far more than it needs; it never waits on a file or the network.
constexpr std::chrono::milliseconds kFinishingTask{2000};

}  // namespace

UploadSession::~UploadSession()
{
    engine_.Stop();
}

bool UploadSession::Start(std::vector<UploadFile> files, ItemIds items, UploadSettings settings,
                          std::shared_ptr<UploadObserver> observer)
{
    if (IsUploading())
        return false;
    // The ended task's thread may not quite have returned yet: a start waits for it.
    if (!engine_.WaitUntilIdle(kFinishingTask))
        return false;
    if (!engine_.Start(files, std::move(settings), std::move(observer)))
        return false;
    files_ = std::move(files);
    lastFiles_.clear();
    items_ = std::move(items);
    phase_ = Phase::Uploading;
    cancelled_ = false;
    changed();
    return true;
}

void UploadSession::Cancel()
{
    if (!IsUploading() || cancelled_)
        return;
    engine_.Stop();
    cancelled_ = true;
    changed();
}

void UploadSession::End()
{
    if (!IsUploading())
        return;
    phase_ = Phase::Finished;
    cancelled_ = false;
    lastFiles_ = std::move(files_);
    files_.clear();
    items_.clear();
    changed();
}

int32_t UploadSession::ItemOf(const std::string& fileId) const
{
    const auto found = items_.find(fileId);
    return found == items_.end() ? -1 : found->second;
}

void UploadSession::changed()
{
    try {
        Changed();
    } catch (...) {
    }
}

}  // namespace Vantor
