// Which outcomes are tried again and after how long: the rule against outcomes as the client
// reports them (a failed step, a judged reply) and Retry-After as servers write it.
#include "Biz/JsonText.h"
#include "Biz/RetryPolicy.h"

#include <gtest/gtest.h>

#include <wininet.h>

using namespace Vantor;
using namespace std::chrono_literals;

namespace {

// A whole reply, judged (as PostUpload leaves it).
UploadOutcome Answered(uint32_t status, const std::string& reply, const char* retryAfter = "")
{
    UploadOutcome outcome;
    outcome.status = status;
    outcome.reply = reply;
    JsonText::ParseWhole(reply, outcome.svr);
    outcome.success = outcome.svr.isObject() && outcome.svr["success"] == 1;
    outcome.retryAfter = retryAfter;
    return outcome;
}

UploadOutcome FailedStep(HttpFailure step, DWORD platformError = 0)
{
    UploadOutcome outcome;
    outcome.failure = step;
    outcome.platformError = platformError;
    return outcome;
}

FILETIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME time{year, month, 0, day, hour, minute, second, 0};
    FILETIME file{};
    SystemTimeToFileTime(&time, &file);
    return file;
}

const FILETIME kNow = At(2026, 12, 10, 12, 0, 0);

}  // namespace

TEST(RetryPolicy, OnlyTransientFailuresAreTriedAgain)
{
    struct Case {
        UploadOutcome outcome;
        FailureReason reason;
        bool transient;
    };
    const Case cases[] = {
        {FailedStep(HttpFailure::Send, ERROR_INTERNET_CANNOT_CONNECT), FailureReason::CannotConnect, true},
        {FailedStep(HttpFailure::Send, ERROR_INTERNET_NAME_NOT_RESOLVED), FailureReason::CannotConnect, false},
        {FailedStep(HttpFailure::Send, ERROR_INTERNET_SEC_CERT_CN_INVALID), FailureReason::CannotConnect, false},
        {FailedStep(HttpFailure::Send, ERROR_INTERNET_CONNECTION_RESET), FailureReason::ConnectionLost, true},
        {FailedStep(HttpFailure::Write, WSAECONNRESET), FailureReason::ConnectionLost, true},
        {FailedStep(HttpFailure::Status, ERROR_HTTP_INVALID_SERVER_RESPONSE), FailureReason::ConnectionLost, true},
        {FailedStep(HttpFailure::Reply), FailureReason::ConnectionLost, true},
        {FailedStep(HttpFailure::TimedOut, ERROR_INTERNET_TIMEOUT), FailureReason::TimedOut, true},
        {FailedStep(HttpFailure::BadUrl), FailureReason::CannotConnect, false},
        {FailedStep(HttpFailure::Redirected), FailureReason::Redirected, false},
        {FailedStep(HttpFailure::Stopped), FailureReason::Stopped, false},
        // Judged replies: the statuses that say "not now" are tried again, whatever the body;
        // any other refusal, and a 2xx without success, is the server's answer.
        {Answered(503, "{\"success\":0}"), FailureReason::HttpStatus, true},
        {Answered(500, "<html>oops</html>"), FailureReason::HttpStatus, true},
        {Answered(408, ""), FailureReason::HttpStatus, true},
        {Answered(429, "{}"), FailureReason::HttpStatus, true},
        {Answered(502, ""), FailureReason::HttpStatus, true},
        {Answered(504, ""), FailureReason::HttpStatus, true},
        {Answered(400, "{\"success\":0}"), FailureReason::HttpStatus, false},
        {Answered(404, "<html/>"), FailureReason::HttpStatus, false},
        {Answered(501, ""), FailureReason::HttpStatus, false},
        {Answered(200, "{\"success\":0,\"msg\":\"too big\"}"), FailureReason::NotAccepted, false},
        {Answered(200, "<html>upload failed</html>"), FailureReason::BadReply, false},
        {Answered(200, ""), FailureReason::BadReply, false},
    };
    for (const Case& c : cases) {
        const UploadFailure failure = ClassifyOutcome(c.outcome, kNow);
        EXPECT_EQ(failure.reason, c.reason) << c.outcome.status << " " << HttpFailureName(c.outcome.failure);
        EXPECT_EQ(failure.transient, c.transient) << c.outcome.status << " " << HttpFailureName(c.outcome.failure);
        EXPECT_EQ(NextRetryDelay(failure, 1, {1000}).has_value(), c.transient);
    }
    // A success is no failure, even under an error status (the reply decides).
    EXPECT_EQ(ClassifyOutcome(Answered(500, "{\"success\":1}"), kNow).reason, FailureReason::None);
}

TEST(RetryPolicy, TheDelaysSayHowManyTriesFollowAndHowFarApart)
{
    UploadFailure dropped;
    dropped.reason = FailureReason::ConnectionLost;
    dropped.transient = true;
    const std::vector<int> delays{1000, 3000, 10000};
    EXPECT_EQ(NextRetryDelay(dropped, 1, delays), 1000ms);
    EXPECT_EQ(NextRetryDelay(dropped, 2, delays), 3000ms);
    EXPECT_EQ(NextRetryDelay(dropped, 3, delays), 10000ms);
    EXPECT_FALSE(NextRetryDelay(dropped, 4, delays)) << "three retries, four tries in all";
    EXPECT_FALSE(NextRetryDelay(dropped, 1, {})) << "no delays: one try";
    // The server's own wait replaces the page's, within the cap.
    dropped.retryAfter = 2000ms;
    EXPECT_EQ(NextRetryDelay(dropped, 1, delays), 2000ms);
    EXPECT_FALSE(NextRetryDelay(dropped, 4, delays)) << "Retry-After adds no tries";
}

TEST(RetryPolicy, RetryAfterInSecondsOrAsADateIsCappedAtAMinute)
{
    EXPECT_EQ(ParseRetryAfter("2", kNow), 2000ms);
    EXPECT_EQ(ParseRetryAfter(" 0 ", kNow), 0ms);
    EXPECT_EQ(ParseRetryAfter("120", kNow), 60000ms);
    EXPECT_EQ(ParseRetryAfter("99999999999999999999", kNow), 60000ms);
    EXPECT_EQ(ParseRetryAfter("Thu, 10 Dec 2026 12:00:05 GMT", kNow), 5000ms);
    EXPECT_EQ(ParseRetryAfter("Thu, 10 Dec 2026 11:59:00 GMT", kNow), 0ms) << "a date in the past";
    EXPECT_EQ(ParseRetryAfter("Fri, 11 Dec 2026 12:00:00 GMT", kNow), 60000ms);
    for (const char* bad : {"", "soon", "-5", "1.5", "12abc"})
        EXPECT_FALSE(ParseRetryAfter(bad, kNow)) << bad;

    // Only a 429 or a 503 asks for a wait.
    EXPECT_EQ(ClassifyOutcome(Answered(429, "{}", "3"), kNow).retryAfter, 3000ms);
    EXPECT_EQ(ClassifyOutcome(Answered(503, "", "Thu, 10 Dec 2026 12:00:04 GMT"), kNow).retryAfter, 4000ms);
    EXPECT_FALSE(ClassifyOutcome(Answered(500, "", "3"), kNow).retryAfter);
}

TEST(RetryPolicy, TheReplyKeptWithAFailureIsCutAtOneKibOnACharactersEdge)
{
    // 1023 ASCII bytes, then a three-byte character across the 1 KiB mark.
    const std::string reply = std::string(1023, 'a') + "\xE4\xB8\x8A" + std::string(100, 'b');
    const UploadFailure failure = ClassifyOutcome(Answered(400, reply), kNow);
    EXPECT_EQ(failure.reply, std::string(1023, 'a'));
    EXPECT_EQ(failure.status, 400u);
    EXPECT_EQ(ClassifyOutcome(Answered(400, "short"), kNow).reply, "short");
}
