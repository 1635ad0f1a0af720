#pragma once
// One file's resumable upload over the tus protocol (version 1.0.0), the second way to send
// beside the multipart request. The page's address is the server's creation endpoint: a POST
// with the file's length and metadata creates the upload there, and PATCH requests of the
// chunk size send its bytes, each from the offset the server holds. The upload's address and
// what the server said about itself stay with the file from one try to the next, so a later
// try first asks the server how much it holds (HEAD) and sends only the rest; the file is
// never sent from its first byte again while its upload is alive.
//
//   TusUpload upload;                                       // kept across the file's tries
//   TusTry t = SendTus(picture, settings, stop, upload, callbacks);
//   t.failure.reason == FailureReason::None                 // every byte is on the server
//   NextRetryDelay(t.failure, tries, settings.retryDelaysMs)  // the retry rule, as for multipart
//   TerminateTus(upload, settings);                         // the user cancelled: the server drops it
//
// Every request carries Tus-Resumable: 1.0.0 and, when the upload's address is on the page's
// server, the page's Cookie. Transient failures are those of the retry rule (RetryPolicy.h)
// plus a 409 (the offsets disagree: the next try asks again). A 404 or 410 on the upload's
// address means the server has forgotten it: a new upload starts. A server whose Tus-Version
// does not list 1.0.0, or that answers 412, fails the file as Unsupported.
#include "Biz/UploadFailure.h"
#include "Biz/UploadPost.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Vantor {

struct TusUpload {
    std::wstring location;  // the upload's address; empty until created and once the server forgot it
    uint64_t length = 0;    // of the file, as announced
    uint64_t offset = 0;    // bytes the server holds, as it last said
    bool probed = false;    // the server's OPTIONS answer has been read
    std::string extensions;  // its Tus-Extension list
    bool finished = false;   // the server holds every byte

    // Whether the server offers to drop an unfinished upload (the termination extension).
    bool canTerminate() const;
};

struct TusTry {
    // Of the try's last request; on success svr is what the page receives as "svr": the server's
    // JSON reply when it sent one, else {"success":1,"location":the upload's address}.
    UploadOutcome outcome;
    UploadFailure failure;  // reason None: the upload is complete
};

inline constexpr char kTusVersion[] = "1.0.0";

// One try. callbacks.progress sees each write of a PATCH; callbacks.resumed the offset a
// try goes on from (after HEAD), and any offset the server corrects. Never throws.
TusTry SendTus(const UploadPicture& picture, const UploadSettings& settings, const StopFlag& stop,
               TusUpload& upload, const UploadCallbacks& callbacks = {});

// DELETE of an unfinished upload, when the server offers termination; bounded by the
// settings' time-out (at most 10 s) and not by the task's stop. True when the server no
// longer holds it.
bool TerminateTus(TusUpload& upload, const UploadSettings& settings);

// The Upload-Metadata value: "key base64(value)" pairs joined by commas. Keys that are
// empty, repeated, or hold a space, comma or a byte outside printable ASCII are left out.
std::string TusMetadata(const std::vector<std::pair<std::string, std::string>>& entries);
// The metadata of one file: "filename" (its own name), "name" (its upload name), "filetype",
// "id", "width", "height", "remark", "index" when sent, then the page's fields.
std::vector<std::pair<std::string, std::string>> TusMetadataOf(const UploadPicture& picture,
                                                                const std::string& uploadName,
                                                                const UploadSettings& settings);
// A Location header resolved against the address it answered: absolute, "//host/...",
// "/path" or a path relative to the address's folder.
std::wstring ResolveLocation(const std::wstring& base, const std::string& location);
// Whether a comma-separated header list holds the token (spaces ignored, letter case kept).
bool ListsToken(std::string_view list, std::string_view token);
// An Upload-Offset or Upload-Length value: decimal digits only, within 64 bits.
bool ParseTusNumber(std::string_view text, uint64_t& value);

}  // namespace Vantor
