#include "control/MsgDataTable.h"

namespace Vantor {

std::shared_ptr<MsgData> MsgDataTable::add(std::shared_ptr<ImageData> imageData)
{
    auto record = std::make_shared<MsgData>();
    record->imageData = std::move(imageData);
    const std::lock_guard<std::mutex> guard(lock_);
    record->key = counter_++;
    records_[record->key] = record;
    return record;
}

std::shared_ptr<MsgData> MsgDataTable::take(int32_t key)
{
    const std::lock_guard<std::mutex> guard(lock_);
    const auto found = records_.find(key);
    if (found == records_.end())
        return nullptr;
    std::shared_ptr<MsgData> record = std::move(found->second);
    records_.erase(found);
    return record;
}

size_t MsgDataTable::size() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return records_.size();
}

}  // namespace Vantor
