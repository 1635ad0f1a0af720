#include "control/MsgDataTable.h"

namespace Vantor {

MsgDataTable& MsgDataTable::instance()
{
    static MsgDataTable* const table = new MsgDataTable();  // lives until the module unloads
    return *table;
}

std::shared_ptr<MsgData> MsgDataTable::add(ListViewPostItem* item, std::shared_ptr<ImageData> imageData)
{
    auto record = std::make_shared<MsgData>();
    record->item = item;
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
