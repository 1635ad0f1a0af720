#pragma once
// The messages a page that asked for "Events" receives while a task runs, besides
// "post_complete": each file's progress (at most kProgressPerSecond a second per file) and
// its one end, then a summary of the task.
//
//   {"id":"…","name":"file_progress","sent":65536,"total":240311}
//   {"id":"…","name":"file_done","svr":{"success":1}}              ("index" with SendIndex)
//   {"id":"…","name":"file_failed","reason":"http_status","reply":"…","status":503}
//   {"done":198,"failed":2,"name":"task_summary","not_started":0}
//
// Built on the window thread from what the engine reported; one object per control.
#include "Biz/UploadFailure.h"
#include "Biz/UploadObserver.h"

#include <json/value.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>

namespace Vantor {

class PageEvents {
public:
    static constexpr DWORD kProgressPerSecond = 5;

    // A new task: whether the page hears its events, and whether they carry "index".
    void begin(bool enabled, bool withIndex);
    bool enabled() const { return enabled_; }
    bool withIndex() const { return withIndex_; }

    // Whether a progress report of this file goes to the page now (tick: GetTickCount()); the
    // first always does, later ones at least 1000 / kProgressPerSecond ms apart.
    bool progressDue(const std::string& id, DWORD tick);
    // The file has ended: its progress clock goes.
    void ended(const std::string& id) { lastProgress_.erase(id); }

    static ::Json::Value FileProgress(const std::string& id, uint64_t sent, uint64_t total);
    // index < 0: no "index" member.
    static ::Json::Value FileDone(const std::string& id, const ::Json::Value& svr, int64_t index);
    static ::Json::Value FileFailed(const std::string& id, const UploadFailure& failure, int64_t index);
    static ::Json::Value TaskSummary(const UploadTaskResult& result);

private:
    bool enabled_ = false;
    bool withIndex_ = false;
    std::unordered_map<std::string, DWORD> lastProgress_;
};

}  // namespace Vantor
