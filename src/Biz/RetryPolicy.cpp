#include "Biz/RetryPolicy.h"

#include <wininet.h>

#include <algorithm>
#include <cctype>

namespace Vantor {
namespace {

bool TransientStatus(uint32_t status)
{
    switch (status) {
    case 408:
    case 429:
    case 500:
    case 502:
    case 503:
    case 504:
        return true;
    default:
        return false;
    }
}

// A send that failed: most say there is no server to talk to (an unknown name, a
// certificate the server cannot fix by itself), a few that the link broke on the way.
UploadFailure SendFailure(DWORD error)
{
    UploadFailure failure;
    switch (error) {
    case ERROR_INTERNET_CANNOT_CONNECT:
    case WSAECONNREFUSED:
        failure.reason = FailureReason::CannotConnect;
        failure.transient = true;
        break;
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
    case WSAECONNRESET:
    case WSAECONNABORTED:
        failure.reason = FailureReason::ConnectionLost;
        failure.transient = true;
        break;
    case ERROR_INTERNET_TIMEOUT:
    case WSAETIMEDOUT:
        failure.reason = FailureReason::TimedOut;
        failure.transient = true;
        break;
    default:
        failure.reason = FailureReason::CannotConnect;
        break;
    }
    return failure;
}

// At most kMaxReplyText bytes, never ending inside a UTF-8 character.
std::string Cut(const std::string& reply)
{
    if (reply.size() <= UploadFailure::kMaxReplyText)
        return reply;
    size_t end = UploadFailure::kMaxReplyText;
    while (end > 0 && (static_cast<unsigned char>(reply[end]) & 0xC0) == 0x80)
        --end;
    return reply.substr(0, end);
}

int64_t FileTimeTicks(const FILETIME& time)
{
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

}  // namespace

const char* FailureCode(FailureReason reason)
{
    switch (reason) {
    case FailureReason::None: return "";
    case FailureReason::Unreadable: return "unreadable";
    case FailureReason::CannotConnect: return "cannot_connect";
    case FailureReason::ConnectionLost: return "connection_lost";
    case FailureReason::TimedOut: return "timeout";
    case FailureReason::HttpStatus: return "http_status";
    case FailureReason::NotAccepted: return "not_accepted";
    case FailureReason::BadReply: return "bad_reply";
    case FailureReason::Redirected: return "redirected";
    case FailureReason::Unsupported: return "unsupported_protocol";
    case FailureReason::Stopped: return "stopped";
    }
    return "";
}

std::optional<std::chrono::milliseconds> ParseRetryAfter(std::string_view value, const FILETIME& now)
{
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
        value.remove_suffix(1);
    if (value.empty())
        return std::nullopt;
    if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        // Past ten digits it is far beyond the cap anyway.
        if (value.size() > 9)
            return kMaxRetryAfter;
        const long long seconds = std::stoll(std::string(value));
        return std::min<std::chrono::milliseconds>(std::chrono::seconds(seconds), kMaxRetryAfter);
    }
    // An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT" and the two older forms): a month's name
    // and a time of day at least, since the platform's reader makes a date of almost anything.
    const bool letters = std::any_of(value.begin(), value.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
    if (!letters || value.find(':') == std::string_view::npos)
        return std::nullopt;
    SYSTEMTIME when{};
    const std::string text(value);
    if (!InternetTimeToSystemTimeA(text.c_str(), &when, 0))
        return std::nullopt;
    FILETIME at{};
    if (!SystemTimeToFileTime(&when, &at))
        return std::nullopt;
    const int64_t ticks = FileTimeTicks(at) - FileTimeTicks(now);  // 100 ns each
    if (ticks <= 0)
        return std::chrono::milliseconds(0);
    return std::min<std::chrono::milliseconds>(std::chrono::milliseconds(ticks / 10000), kMaxRetryAfter);
}

UploadFailure ClassifyOutcome(const UploadOutcome& outcome, const FILETIME& now)
{
    UploadFailure failure;
    if (outcome.success)
        return failure;
    failure.status = outcome.status;
    failure.reply = Cut(outcome.reply);
    switch (outcome.failure) {
    case HttpFailure::None:
        // A whole reply, judged: the status says whether the server could not take the file
        // now; a 2xx reply is its answer about the file.
        if (TransientStatus(outcome.status)) {
            failure.reason = FailureReason::HttpStatus;
            failure.transient = true;
        } else if (outcome.status >= 400) {
            failure.reason = FailureReason::HttpStatus;
        } else {
            failure.reason = outcome.svr.isNull() ? FailureReason::BadReply : FailureReason::NotAccepted;
        }
        break;
    case HttpFailure::Stopped:
        failure.reason = FailureReason::Stopped;
        break;
    case HttpFailure::TimedOut:
        failure.reason = FailureReason::TimedOut;
        failure.transient = true;
        break;
    case HttpFailure::BadUrl:
    case HttpFailure::Session:
        failure.reason = FailureReason::CannotConnect;
        break;
    case HttpFailure::Connect:
        failure.reason = FailureReason::CannotConnect;
        failure.transient = true;
        break;
    case HttpFailure::Send: {
        const UploadFailure sent = SendFailure(outcome.platformError);
        failure.reason = sent.reason;
        failure.transient = sent.transient;
        break;
    }
    case HttpFailure::Write:
    case HttpFailure::EndRequest:
    case HttpFailure::Headers:
    case HttpFailure::Status:
    case HttpFailure::Reply:
        failure.reason = outcome.platformError == ERROR_INTERNET_CANNOT_CONNECT ? FailureReason::CannotConnect
                                                                                 : FailureReason::ConnectionLost;
        failure.transient = true;
        break;
    case HttpFailure::Redirected:
        failure.reason = FailureReason::Redirected;
        break;
    case HttpFailure::Refused:
        failure.reason = FailureReason::ConnectionLost;
        break;
    }
    if (failure.reason == FailureReason::HttpStatus && (outcome.status == 429 || outcome.status == 503))
        failure.retryAfter = ParseRetryAfter(outcome.retryAfter, now);
    return failure;
}

UploadFailure ClassifyOutcome(const UploadOutcome& outcome)
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return ClassifyOutcome(outcome, now);
}

std::optional<std::chrono::milliseconds> NextRetryDelay(const UploadFailure& failure, size_t tries,
                                                         const std::vector<int>& delaysMs)
{
    if (!failure.transient || tries == 0 || tries > delaysMs.size())
        return std::nullopt;
    if (failure.retryAfter)
        return std::min(*failure.retryAfter, kMaxRetryAfter);
    return std::chrono::milliseconds(std::max(delaysMs[tries - 1], 0));
}

}  // namespace Vantor
