#include "control/PageEvents.h"

namespace Vantor {

void PageEvents::begin(bool enabled, bool withIndex)
{
    enabled_ = enabled;
    withIndex_ = withIndex;
    lastProgress_.clear();
}

bool PageEvents::progressDue(const std::string& id, DWORD tick)
{
    const auto last = lastProgress_.find(id);
    if (last != lastProgress_.end() && tick - last->second < 1000 / kProgressPerSecond)
        return false;
    lastProgress_[id] = tick;
    return true;
}

::Json::Value PageEvents::FileProgress(const std::string& id, uint64_t sent, uint64_t total)
{
    ::Json::Value message(::Json::objectValue);
    message["name"] = "file_progress";
    message["id"] = id;
    message["sent"] = static_cast<::Json::UInt64>(sent);
    message["total"] = static_cast<::Json::UInt64>(total);
    return message;
}

::Json::Value PageEvents::FileDone(const std::string& id, const ::Json::Value& svr, int64_t index)
{
    ::Json::Value message(::Json::objectValue);
    message["name"] = "file_done";
    message["id"] = id;
    message["svr"] = svr;
    if (index >= 0)
        message["index"] = static_cast<::Json::Int64>(index);
    return message;
}

::Json::Value PageEvents::FileFailed(const std::string& id, const UploadFailure& failure, int64_t index)
{
    ::Json::Value message(::Json::objectValue);
    message["name"] = "file_failed";
    message["id"] = id;
    message["reason"] = FailureCode(failure.reason);
    message["status"] = failure.status;
    message["reply"] = failure.reply;  // already cut at 1 KiB, on a character's edge
    if (index >= 0)
        message["index"] = static_cast<::Json::Int64>(index);
    return message;
}

::Json::Value PageEvents::TaskSummary(const UploadTaskResult& result)
{
    ::Json::Value message(::Json::objectValue);
    message["name"] = "task_summary";
    message["done"] = static_cast<::Json::UInt64>(result.completed.size());
    message["failed"] = static_cast<::Json::UInt64>(result.failed);
    message["not_started"] = static_cast<::Json::UInt64>(result.leftWaiting);
    return message;
}

}  // namespace Vantor
