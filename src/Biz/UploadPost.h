#pragma once
// One file's upload after its picture is prepared: the texts encoded, the upload name made,
// headers and body built, the request run and the reply judged. The upload workers and the
// command-line poster both go through here, so a server sees the same request from either.
#include "Biz/HttpClient.h"
#include "Biz/UploadSettings.h"

#include <json/value.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace Vantor {

// The prepared picture and what is said about it.
struct UploadPicture {
    std::string id;          // 32 lower-case hex digits
    std::wstring name;       // the file's own name ("Holiday.JPG")
    std::wstring extension;  // as in the path, with its dot (".JPG")
    std::wstring remark;
    const void* data = nullptr;  // the bytes sent as the file; not owned
    uint32_t length = 0;
    // Optional: keeps data alive for as long as the platform may read it, so that a request
    // given up (time-out, stop) ends at once even inside a write the platform holds.
    std::shared_ptr<const void> owner;
    int64_t width = 0;  // of the picture sent, in pixels
    int64_t height = 0;
    // The file's place in the list when the task started, sent as the field "index"; -1: not sent.
    int64_t index = -1;
};

struct UploadOutcome {
    bool success = false;  // the reply's "success" was 1
    uint32_t status = 0;   // HTTP status, 0 when none was read
    std::string reply;     // the reply body as received
    ::Json::Value svr;     // the parsed reply; null when it did not parse
    std::string fileName;  // the upload file name used
    HttpFailure failure = HttpFailure::None;
    DWORD platformError = 0;
    std::string retryAfter;  // the reply's Retry-After header, empty when none
};

struct UploadCallbacks {
    std::function<void(uint32_t position, uint32_t written, uint32_t fileBytes)> progress;
    std::function<void(int32_t code)> error;  // the client's own failures (1 send, 2 reply)
    // A resumable upload goes on from this many bytes of the file (it starts from 0).
    std::function<void(uint64_t offset)> resumed;
};

inline constexpr wchar_t kUploadAgent[] = L"Parcelo7";

// Never throws; a failure of any step is an outcome without success.
UploadOutcome PostUpload(const UploadPicture& picture, const UploadSettings& settings, const StopFlag& stop,
                         const UploadCallbacks& callbacks = {});

}  // namespace Vantor
