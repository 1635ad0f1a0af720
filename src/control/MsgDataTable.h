#pragma once
// The locked table of notification records: a worker adds a record and posts its key, the
// window thread's handler takes the record by that key. Each control has its own.
#include "control/MsgData.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace Vantor {

class MsgDataTable {
public:
    // Any thread: stores a new record under a fresh key and returns it. Fill the record
    // before posting its key.
    std::shared_ptr<MsgData> add(std::shared_ptr<ImageData> imageData);
    // Removes the record and hands it out; none when the key is unknown.
    std::shared_ptr<MsgData> take(int32_t key);
    size_t size() const;

private:
    mutable std::mutex lock_;
    int32_t counter_ = 0;
    std::unordered_map<int32_t, std::shared_ptr<MsgData>> records_;
};

}  // namespace Vantor
