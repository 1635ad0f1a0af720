#pragma once
// Sends one prepared request (method, header text, body in memory) with WinInet in
// asynchronous mode and collects the reply. One client serves one request of one file, on
// the thread that calls run(); the upload queue runs several clients on worker threads.
//
//   HttpClient client;
//   client.setHeaderText(request.headerText);
//   client.setBody(request.parts(), pictureLength);    // or one buffer and its length
//   client.setStopFlag(stop);                 // shared by the whole task
//   client.ProgressSignal.connect(...);       // (position, bytes of the write, file bytes)
//   int ok = client.run(url, L"", L"Parcelo7");
//   client.status(); client.reply(); client.failure(); client.platformError();
//
// The body goes out in writes of up to 1 MiB straight from the caller's buffers (a write that
// spans two of its parts is gathered first), each in one or more pieces sized to the link
// (WritePacer); the next write is made ready while one is sent (BodyPrefetch), and progress
// is reported per 128 KiB chunk as the bytes go. The stop flag is checked before every step and every write; a platform call
// still running half a second after the stop, a write that moves nothing for twice the time-out,
// or a reply that is not whole within the time-out once the body is out, ends the request.
// Redirects are not followed: a 3xx answer is a failure (its Location goes to the log).
// A HEAD request's reply has no body to read, whatever length its headers announce.
//
// Closing a request handle does not always end the platform call that is using it: under
// Wine a flood of reply headers is parsed inside the call, for far longer than any time-out.
// So the exchange with the server runs on a thread of its own, which owns everything the
// platform touches (handles, events, buffers) through shared ownership and keeps the module
// loaded. run() waits for it, or for the watchdog to give the request up once the caller's
// body is no longer in use (at once when the body has an owner): the run then ends with its
// failure, and whatever the platform does later finds nothing freed and reaches no caller
// (its late result and progress are dropped).
// Cost: a thread per request in flight, reused from one request to the next.
#include <boost/signals2/signal.hpp>

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Handles.h"

namespace Vantor {

class StallWatchdog;

using StopFlag = std::shared_ptr<std::atomic<bool>>;

// The step at which a run ended without success.
enum class HttpFailure {
    None,
    Stopped,      // the task's stop flag
    TimedOut,     // no progress for the time-out; the watchdog closed the request
    BadUrl,       // not an http or https address
    Session,      // no session, or the status callback was refused
    Connect,      // no connection or request handle
    Send,         // the request could not be sent (refused, certificate, name lookup)
    Write,        // a body write failed (reset, closed)
    EndRequest,   // the reply did not come
    Headers,      // the reply headers could not be read
    Status,       // the status code could not be read
    Reply,        // the reply did not arrive whole (cut short, or a read failed)
    Redirected,   // the server answered with a redirect, which is never followed
    Refused,      // the caller's chunk check refused the body before it was all sent
};
const char* HttpFailureName(HttpFailure failure);

// Lets the process open at least this many connections to one server at a time (WinInet's
// default is 2). Never lowers a limit already higher.
void RaiseConnectionLimit(uint32_t connections);

// The value of the first header of that name (any letter case) in a block of header lines
// ended by CRLF, spaces around it removed; empty when there is none.
std::string HeaderValue(std::string_view headerBlock, std::string_view name);

struct UrlParts {
    bool secure = false;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object;  // path and extra information ("/up.php?x=1"); "/" when empty
};
// Splits an http or https address with the platform's URL cracker; false for anything else.
bool SplitUrl(const std::wstring& url, UrlParts& parts);

class HttpRequest {
public:
    // Progress is reported per chunk of the body.
    static constexpr uint32_t kChunkSize = 131072;
    // The largest platform write. Each write costs about the same whatever its size, so large
    // writes would carry a fast link best, but under Wine a write blocked in a full socket does
    // not see the server reset the connection (it ends only at the write's allowance): with
    // 1 MiB writes one reset in about six went unnoticed for two minutes, with 128 KiB none in
    // fifteen. On a slow link writes are cut down further (WritePacer).
    static constexpr uint32_t kWriteSize = 131072;

    // 1: the request could not be sent; 2: the reply headers or status could not be read.
    boost::signals2::signal<void(int32_t code)> ErrorCodeSignal;
    // After each body write: position after it, bytes written, bytes of them that belong to
    // the file (the first fileLength bytes of the body count as the file's).
    boost::signals2::signal<void(uint32_t position, uint32_t written, uint32_t fileBytes)> ProgressSignal;

    HttpRequest() = default;
    virtual ~HttpRequest() = default;
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // 1 on success, 0 on failure. objectName, when not empty, replaces the URL's path.
    virtual int run(const std::wstring& url, const std::wstring& objectName, const std::wstring& agent) { return 1; }
    virtual void close() {}

    // One piece of the body; the pieces are sent one after the other as one body.
    struct BodyPart {
        const uint8_t* data;
        uint32_t length;
    };

    void setHeaderText(std::string text) { headerText_ = std::move(text); }
    // The body is not copied: it must outlive run().
    void setBody(const void* body, uint32_t length, int32_t fileLength);
    void setBody(std::vector<BodyPart> parts, int32_t fileLength);
    // Optional: an owner that keeps the body's memory alive for as long as a platform call
    // may still read it. With one, a run that was given up need not wait for a write that
    // the platform does not end (under Wine a blocked write ends only at the socket's
    // send time-out); without one, it waits for the write, since the body is the caller's.
    void setBodyOwner(std::shared_ptr<const void> owner) { bodyOwner_ = std::move(owner); }
    void setStopFlag(StopFlag stop) { stop_ = std::move(stop); }
    // Optional: sees each write's bytes, in order, before they are written (position in the
    // body, its bytes); false ends the request before that write, as HttpFailure::Refused, so
    // the server never receives the whole body. Runs on the exchange's thread or the helper
    // that prepares its writes, one call at a time, and must not throw.
    using ChunkCheck = std::function<bool(uint32_t position, const uint8_t* data, uint32_t length)>;
    void setChunkCheck(ChunkCheck check) { chunkCheck_ = std::move(check); }
    void setMethod(std::wstring method) { method_ = std::move(method); }
    // Bytes per platform write at most (kWriteSize unless set; 0 keeps it).
    void setWriteSize(uint32_t bytes) { writeSize_ = bytes ? bytes : writeSize_; }
    // Whether each write is made ready while the one before it is sent (on by default).
    void setOverlapWrites(bool overlap) { overlapWrites_ = overlap; }

    uint32_t status() const { return status_; }
    const std::string& reply() const { return reply_; }

    // The file's share of a write of n bytes at position p.
    static uint32_t FileBytesOf(uint32_t p, uint32_t n, int32_t fileLength);

protected:
    bool stopped() const { return stop_ && stop_->load(); }

    std::string headerText_;
    std::vector<BodyPart> body_;
    uint32_t bodyLength_ = 0;
    int32_t fileLength_ = 0;
    StopFlag stop_;
    std::shared_ptr<const void> bodyOwner_;
    ChunkCheck chunkCheck_;
    uint32_t writeSize_ = kWriteSize;
    bool overlapWrites_ = true;
    std::wstring method_ = L"POST";
    uint32_t status_ = 0;
    std::string reply_;
};

class HttpClient : public HttpRequest {
public:
    // A reply is a JSON text of at most this size; a longer one is refused.
    static constexpr size_t kMaxReply = 16u << 20;
    // Bytes asked for by one read of the reply. Every read is a trip through the platform's
    // asynchronous machinery (a task, an event, a callback thread), which under emulation
    // costs far more than the copy: small reads held a large reply to about 1 MB/s. One less
    // than a round number, so that a reply of a round size does not end exactly with a read
    // that the platform fills to its last byte (see endConfirmed).
    static constexpr uint32_t kReadBlock = (256u << 10) - 1;
    // How long closing may wait for the platform to let go of the handles.
    static constexpr DWORD kCloseWaitMs = 10000;
    // How long a chunked reply's end may wait for the request to close (connectionKept).
    static constexpr DWORD kEndAtCloseWaitMs = 2000;
    // How long a run given up by the watchdog waits for the exchange's own outcome.
    static constexpr DWORD kLateEndWaitMs = 200;

    HttpClient();
    ~HttpClient() override;

    // Seconds without progress before the request is abandoned; 0 turns the watchdog off.
    void setTimeout(int seconds) { timeoutSeconds_ = seconds; }
    // Accept any server certificate (unknown authority, wrong name, expired).
    void setIgnoreCertErrors(bool ignore) { ignoreCertErrors_ = ignore; }

    int run(const std::wstring& url, const std::wstring& objectName, const std::wstring& agent) override;
    void close() override;

    HttpFailure failure() const { return failure_; }
    // True when the reply body was read to its end: as long as its Content-Length says, to
    // its last chunk when chunked, no longer than kMaxReply, and no read failed. Only a whole
    // reply is the server's answer.
    bool replyWhole() const { return replyWhole_; }
    // Where a redirect pointed (its Location header), empty when there was none.
    const std::string& redirectLocation() const { return redirectLocation_; }
    // The reply's Retry-After header as given, empty when there was none.
    const std::string& retryAfter() const { return retryAfter_; }
    // The reply's header block as received (status line first, lines ended by CRLF).
    const std::string& replyHeaders() const { return replyHeaders_; }
    // The value of the reply's first header of that name (HeaderValue).
    std::string replyHeader(std::string_view name) const { return HeaderValue(replyHeaders_, name); }
    // The WinInet or Winsock code behind the failure (12029 refused, 10054 reset, 12045
    // unknown authority...), 0 when none.
    DWORD platformError() const { return platformError_; }

    struct Events;  // reached from WinInet's threads
    struct Handoff;  // between run() and the thread that runs the exchange

private:
    void resetOutcome();  // forgets the last request's failure, status and reply
    // The whole exchange on the calling thread: what the exchange's thread runs.
    int exchange(const std::wstring& url, const std::wstring& objectName, const std::wstring& agent);
    // Waits for an exchange run on a thread of its own (false: no thread could be made).
    bool runApart(const std::wstring& url, const std::wstring& objectName, const std::wstring& agent, int& result);
    // The caller's body is (or is no longer) being read by this exchange's writes.
    bool beginBodyUse();
    void endBodyUse();
    bool runSteps(const std::wstring& url, const std::wstring& objectName, const std::wstring& agent);
    bool open(const UrlParts& parts, const std::wstring& object, const std::wstring& agent);
    bool send();
    bool writeBody();
    // Reports every whole chunk of the body that the first upTo bytes complete.
    void reportWritten(uint32_t upTo, uint32_t& reported);
    bool endRequest();
    bool readHeaders();
    void readBody();
    bool readStatus();
    // How the reply says where its body ends.
    struct ReplyFraming {
        bool chunked = false;      // Transfer-Encoding: its chunks say it
        bool hasLength = false;    // Content-Length: its length says it
        bool badLength = false;    // a Content-Length that is not a number
        uint64_t length = 0;
        bool keepAlive = false;    // the server means to keep the connection open
    };
    ReplyFraming replyFraming();
    // Whether the body read up to the end of the stream is the whole reply its framing
    // announced, as far as the platform lets it be seen.
    bool endConfirmed(const ReplyFraming& framing, uint64_t received, bool endMetClosedConnection) const;
    // For a chunked reply that keeps its connection: closes the request and tells whether the
    // platform kept the connection for another request, which it does only for a reply that
    // reached its last chunk.
    bool connectionKept();
    void noteRedirect();

    // Judges a call's immediate result, waiting for its completion when it pends.
    bool complete(BOOL ok);
    // Waits for the completion of a call that pends (or the watchdog's abort) and judges it.
    bool waitPending();
    bool fail(HttpFailure failure, DWORD error = 0);
    void abortRequest();
    HINTERNET request();

    int timeoutSeconds_ = 60;
    bool ignoreCertErrors_ = false;
    HttpFailure failure_ = HttpFailure::None;
    DWORD platformError_ = 0;
    bool replyWhole_ = false;
    bool endAtClose_ = false;  // the reply's end is confirmed by closing the request
    std::string redirectLocation_;
    std::string retryAfter_;
    std::string replyHeaders_;

    std::shared_ptr<Events> events_;
    StallWatchdog* watchdog_ = nullptr;  // the run's own, while it runs
    std::mutex requestLock_;             // the request handle, against the watchdog's close
    UniqueInternetHandle session_;
    UniqueInternetHandle connection_;
    UniqueInternetHandle request_;
    bool requestOpened_ = false;
    std::atomic<bool> aborted_{false};  // the watchdog gave the request up
    std::atomic<bool> bodyInUse_{false};
    std::shared_ptr<Handoff> handoff_;   // set on an exchange that runs for another client
};

}  // namespace Vantor
