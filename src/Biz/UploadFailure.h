#pragma once
// Why a file's upload did not succeed, as a value: the list paints it on the item, the page
// receives it in "file_failed", and the retry rule (RetryPolicy.h) reads it.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace Vantor {

enum class FailureReason {
    None,
    Unreadable,      // the file cannot be read or decoded: nothing was sent
    CannotConnect,   // no connection to the server (refused, unknown name, certificate, address)
    ConnectionLost,  // the connection broke (reset, closed, the reply cut short)
    TimedOut,        // no answer within the time-out
    HttpStatus,      // the server answered with an error status
    NotAccepted,     // the server answered, and its reply's "success" is not 1
    BadReply,        // the server's answer is not a JSON reply
    Redirected,      // the server pointed elsewhere; redirects are never followed
    Unsupported,     // the server does not speak the upload protocol asked for (tus 1.0.0)
    Stopped,         // the user stopped the task
};

struct UploadFailure {
    // A reply's text as kept with the failure: at most this many bytes.
    static constexpr size_t kMaxReplyText = 1024;

    FailureReason reason = FailureReason::None;
    uint32_t status = 0;    // HTTP status, 0 when none was read
    std::string reply;      // the reply's text, cut at kMaxReplyText
    bool transient = false;  // another try may succeed
    // The wait the server asked for (Retry-After of a 429 or 503), already capped.
    std::optional<std::chrono::milliseconds> retryAfter;
};

// The page's code for a reason: "unreadable", "cannot_connect", "connection_lost", "timeout",
// "http_status", "not_accepted", "bad_reply", "redirected", "unsupported_protocol", "stopped" ("" for None).
const char* FailureCode(FailureReason reason);

}  // namespace Vantor
