#pragma once
// One notification's record: which file a worker's report is about, or what a whole task did.
#include "Biz/UploadObserver.h"

#include <cstdint>
#include <memory>

namespace Vantor {

class ImageData;

struct MsgData {
    std::shared_ptr<ImageData> imageData;  // the file's record, shared with the upload engine
    int32_t key = 0;
    uint64_t progress = 0;   // bytes of the file in this report
    UploadTaskResult task;   // "task_end" and "task_complete": the task's own record of its files
};

}  // namespace Vantor
