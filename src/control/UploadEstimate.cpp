#include "control/UploadEstimate.h"

#include <algorithm>

namespace Vantor {

TaskBytes EstimateTaskBytes(const std::vector<FileBytes>& files)
{
    // What preparing made of the files prepared so far.
    uint64_t preparedOnDisk = 0, prepared = 0;
    for (const FileBytes& file : files)
        if (file.state.size > 0 && file.fileSize > 0) {
            preparedOnDisk += file.fileSize;
            prepared += file.state.size;
        }
    const auto estimate = [&](uint64_t onDisk) -> uint64_t {
        if (preparedOnDisk == 0)
            return onDisk;
        return static_cast<uint64_t>(static_cast<long double>(onDisk) * prepared / preparedOnDisk + 0.5L);
    };

    TaskBytes bytes;
    bool anyAwaiting = false, anyToSend = false;
    for (const FileBytes& file : files) {
        const UploadStatus& state = file.state;
        const uint64_t size = state.size > 0 ? state.size : estimate(file.fileSize);
        const uint64_t sent = std::min<uint64_t>(state.sent, size);
        switch (state.phase) {
        case UploadPhase::Done:
            bytes.total += size;
            bytes.done += size;
            break;
        case UploadPhase::AwaitingReply:
            bytes.total += size;
            bytes.done += size;
            anyAwaiting = true;
            break;
        case UploadPhase::Failed:
            // It sends nothing more.
            bytes.total += sent;
            bytes.done += sent;
            break;
        case UploadPhase::Sending:
            bytes.total += size;
            bytes.done += state.size > 0 ? sent : 0;
            anyToSend = true;
            break;
        default:  // waiting, waiting to try again, or taken back by a cancel
            bytes.total += size;
            anyToSend = true;
            break;
        }
    }
    bytes.awaitingServer = anyAwaiting && !anyToSend;
    return bytes;
}

}  // namespace Vantor
