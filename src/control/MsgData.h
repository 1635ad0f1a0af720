#pragma once
// One notification's record: which file of the upload list a worker's report is about.
#include <cstdint>
#include <memory>

namespace Vantor {

class ListViewPostItem;
class ImageData;

struct MsgData {
    ListViewPostItem* item = nullptr;       // the file's item in the upload list (the list owns it)
    std::shared_ptr<ImageData> imageData;   // the file's record, shared with the upload engine
    int32_t key = 0;
    uint64_t progress = 0;                  // bytes sent so far
};

}  // namespace Vantor
