#pragma once
// The bytes a running task has to send in all, estimated from the start, and the share done.
// A file counts with its prepared size once it is prepared. Before that it counts with its
// size on disk, scaled by what preparing did to the files prepared so far (resizing and
// encoding shrink or grow every photo of a task much alike), so the total settles early
// instead of creeping up file by file. A file that failed counts with what it sent.
#include "Biz/UploadStatus.h"

#include <cstdint>
#include <vector>

namespace Vantor {

struct FileBytes {
    uint64_t fileSize = 0;  // on disk
    UploadStatus state;     // size: the prepared size, 0 until prepared
};

struct TaskBytes {
    uint64_t done = 0;   // picture bytes sent of the files
    uint64_t total = 0;  // the estimate of all of them
    // Every file still in the task has sent its last byte and waits for the server's answer.
    bool awaitingServer = false;
};

TaskBytes EstimateTaskBytes(const std::vector<FileBytes>& files);

}  // namespace Vantor
