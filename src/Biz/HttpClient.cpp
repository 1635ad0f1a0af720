#include "Biz/HttpClient.h"

#include "Biz/BodyPrefetch.h"
#include "Biz/Log.h"
#include "Biz/StallWatchdog.h"
#include "Biz/WritePacer.h"
#include "platform/ModuleThread.h"
#include "platform/TextConv.h"

#include <log4cplus/loggingmacros.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace Vantor {

// What WinInet's threads may touch: the events the status callback sets and the buffers of
// calls that complete later. Shared, so that a handle the platform has not let go of when the
// run ends (after the watchdog closed it) can never write into freed memory: such a state is
// kept alive for the rest of the process.
struct HttpClient::Events {
    // The status callback is the module's code: the module stays loaded for as long as a
    // handle may still call it (a state whose handles outlive the run is never freed).
    UniqueModule module = HoldThisModule();
    std::string headerText;
    INTERNET_BUFFERSA sendBuffers{};
    INTERNET_BUFFERSA receiveBuffers{};
    std::unique_ptr<char[]> readBuffer;  // kReadBlock bytes, made for the reply's first read
    // What the platform said during the read of the reply under way: that the read went to the
    // connection for bytes, and that it let the connection go (see endConfirmed).
    std::atomic<bool> readingReply{false};
    std::atomic<bool> receivedInRead{false};
    std::atomic<bool> closedInRead{false};
    // Whether the platform closed the connection while the request closed (see connectionKept).
    std::atomic<bool> closingRequest{false};
    std::atomic<bool> closedAtClose{false};

    UniqueKernelHandle requestComplete{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle connected{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle handleCreated{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle requestClosing{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle connectionClosing{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle aborted{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<DWORD_PTR> asyncResult{0};
    std::atomic<DWORD> asyncError{0};
    std::atomic<HINTERNET> request{nullptr};
    std::atomic<HINTERNET> connection{nullptr};

    bool valid() const
    {
        return requestComplete && connected && handleCreated && requestClosing && connectionClosing && aborted;
    }
};

// What an exchange run on a thread of its own hands back to the run() that waits for it.
// Shared by both: the waiting side may leave before the exchange has ended.
struct HttpClient::Handoff {
    UniqueKernelHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};      // the exchange has ended
    UniqueKernelHandle released{CreateEventW(nullptr, TRUE, FALSE, nullptr)};  // given up, body not in use
    int result = 0;  // written before done is set
    std::mutex lock;
    std::vector<int32_t> errorCodes;  // the exchange's ErrorCodeSignal, passed on by run()
    bool abandoned = false;           // run() has returned: nothing more reaches its client

    bool valid() const { return done && released; }
};

namespace {

void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength)
{
    try {
        auto* events = reinterpret_cast<HttpClient::Events*>(context);
        if (!events)
            return;
        switch (status) {
        case INTERNET_STATUS_CONNECTED_TO_SERVER:
            SetEvent(events->connected.get());
            break;
        case INTERNET_STATUS_HANDLE_CREATED:
            SetEvent(events->handleCreated.get());
            break;
        case INTERNET_STATUS_RESPONSE_RECEIVED:
            if (handle && handle == events->request.load() && events->readingReply.load())
                events->receivedInRead = true;
            break;
        case INTERNET_STATUS_CONNECTION_CLOSED:
            if (handle && handle == events->request.load() && events->readingReply.load())
                events->closedInRead = true;
            if (handle && handle == events->request.load() && events->closingRequest.load())
                events->closedAtClose = true;
            break;
        case INTERNET_STATUS_HANDLE_CLOSING:
            if (handle && handle == events->request.load())
                SetEvent(events->requestClosing.get());
            else if (handle && handle == events->connection.load())
                SetEvent(events->connectionClosing.get());
            break;
        case INTERNET_STATUS_REQUEST_COMPLETE:
            if (info && infoLength >= sizeof(INTERNET_ASYNC_RESULT)) {
                const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
                events->asyncResult = result->dwResult;
                events->asyncError = result->dwError;
            }
            SetEvent(events->requestComplete.get());
            break;
        default:
            break;
        }
    } catch (...) {
    }
}

// States whose handles the platform did not release in time; never freed.
void KeepForever(std::shared_ptr<HttpClient::Events> events)
{
    static std::mutex lock;
    static auto* kept = new std::vector<std::shared_ptr<HttpClient::Events>>();
    std::lock_guard<std::mutex> hold(lock);
    kept->push_back(std::move(events));
}

// The handles of one run, closed together: the request, then the connection (waiting up to
// waitMs for the platform to say it let go of them), then the session.
struct RunHandles {
    UniqueInternetHandle request;
    UniqueInternetHandle connection;
    UniqueInternetHandle session;
    bool requestOpened = false;
    std::shared_ptr<HttpClient::Events> events;

    void close(DWORD waitMs)
    {
        std::vector<HANDLE> closing;
        if (requestOpened && events)
            closing.push_back(events->requestClosing.get());
        if (connection && events)
            closing.push_back(events->connectionClosing.get());
        request.reset();
        connection.reset();
        if (!closing.empty()) {
            const DWORD woke = WaitForMultipleObjects(static_cast<DWORD>(closing.size()), closing.data(), TRUE, waitMs);
            if (woke == WAIT_TIMEOUT || woke == WAIT_FAILED)
                KeepForever(events);
        }
        if (session) {
            InternetSetStatusCallbackW(session.get(), nullptr);
            session.reset();
        }
        events.reset();
    }
};

}  // namespace

void RaiseConnectionLimit(uint32_t connections)
{
    // WinInet allows 2 connections per server by default, for the whole process; more
    // workers than that would wait for each other.
    static std::mutex lock;
    std::lock_guard<std::mutex> hold(lock);
    for (const DWORD option : {INTERNET_OPTION_MAX_CONNS_PER_SERVER, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER}) {
        DWORD current = 0;
        DWORD size = sizeof current;
        if (InternetQueryOptionW(nullptr, option, &current, &size) && current >= connections)
            continue;
        DWORD wanted = connections;
        InternetSetOptionW(nullptr, option, &wanted, sizeof wanted);
    }
}

const char* HttpFailureName(HttpFailure failure)
{
    switch (failure) {
    case HttpFailure::None: return "none";
    case HttpFailure::Stopped: return "stopped";
    case HttpFailure::TimedOut: return "timed out";
    case HttpFailure::BadUrl: return "bad address";
    case HttpFailure::Session: return "no session";
    case HttpFailure::Connect: return "no connection";
    case HttpFailure::Send: return "send failed";
    case HttpFailure::Write: return "body write failed";
    case HttpFailure::EndRequest: return "no reply";
    case HttpFailure::Headers: return "reply headers unreadable";
    case HttpFailure::Status: return "status unreadable";
    case HttpFailure::Reply: return "reply cut short";
    case HttpFailure::Redirected: return "redirected";
    case HttpFailure::Refused: return "body refused before sending";
    }
    return "unknown";
}

bool SplitUrl(const std::wstring& url, UrlParts& parts)
{
    URL_COMPONENTSW c{};
    c.dwStructSize = sizeof c;
    c.dwSchemeLength = c.dwHostNameLength = c.dwUrlPathLength = c.dwExtraInfoLength = 1;
    if (url.empty() || !InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &c))
        return false;
    if (c.nScheme != INTERNET_SCHEME_HTTP && c.nScheme != INTERNET_SCHEME_HTTPS)
        return false;
    if (!c.lpszHostName || c.dwHostNameLength == 0)
        return false;
    parts.secure = c.nScheme == INTERNET_SCHEME_HTTPS;
    parts.host.assign(c.lpszHostName, c.dwHostNameLength);
    parts.port = c.nPort ? c.nPort : (parts.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
    parts.object.clear();
    if (c.lpszUrlPath)
        parts.object.assign(c.lpszUrlPath, c.dwUrlPathLength);
    if (c.lpszExtraInfo)
        parts.object.append(c.lpszExtraInfo, c.dwExtraInfoLength);
    if (parts.object.empty() || parts.object[0] != L'/')
        parts.object.insert(0, L"/");
    return true;
}

void HttpRequest::setBody(const void* body, uint32_t length, int32_t fileLength)
{
    setBody({{static_cast<const uint8_t*>(body), body ? length : 0}}, fileLength);
}

void HttpRequest::setBody(std::vector<BodyPart> parts, int32_t fileLength)
{
    body_.clear();
    bodyLength_ = 0;
    for (const BodyPart& part : parts) {
        if (part.data && part.length > 0 && part.length <= UINT32_MAX - bodyLength_) {
            body_.push_back(part);
            bodyLength_ += part.length;
        }
    }
    fileLength_ = fileLength;
}

uint32_t HttpRequest::FileBytesOf(uint32_t p, uint32_t n, int32_t fileLength)
{
    if (fileLength <= 0)
        return n;
    const auto h = static_cast<uint32_t>(fileLength);
    return p >= h ? 0 : std::min(n, h - p);
}

HttpClient::HttpClient() = default;

HttpClient::~HttpClient()
{
    try {
        close();
    } catch (...) {
    }
}

bool HttpClient::fail(HttpFailure failure, DWORD error)
{
    if (failure_ == HttpFailure::None) {
        failure_ = failure;
        if (error)
            platformError_ = error;
    }
    return false;
}

int HttpClient::run(const std::wstring& url, const std::wstring& objectName, const std::wstring& agent)
{
    int result = 0;
    if (runApart(url, objectName, agent, result))
        return result;
    // No thread for the exchange: it runs here, and a platform call that does not return
    // holds this thread as it did before.
    return exchange(url, objectName, agent);
}

bool HttpClient::runApart(const std::wstring& url, const std::wstring& objectName, const std::wstring& agent,
                          int& result)
{
    resetOutcome();

    std::shared_ptr<Handoff> handoff;
    std::shared_ptr<HttpClient> apart;
    try {
        handoff = std::make_shared<Handoff>();
        if (!handoff->valid())
            return false;
        apart = std::make_shared<HttpClient>();
        apart->headerText_ = headerText_;
        apart->body_ = body_;
        apart->bodyLength_ = bodyLength_;
        apart->fileLength_ = fileLength_;
        apart->stop_ = stop_;
        apart->bodyOwner_ = bodyOwner_;
        apart->chunkCheck_ = chunkCheck_;
        apart->writeSize_ = writeSize_;
        apart->overlapWrites_ = overlapWrites_;
        apart->method_ = method_;
        apart->timeoutSeconds_ = timeoutSeconds_;
        apart->ignoreCertErrors_ = ignoreCertErrors_;
        apart->handoff_ = handoff;
        // Progress comes from the body's writes; a report in flight holds the lock, so the
        // run cannot be given up under it, and none is passed on once it has been.
        if (!ProgressSignal.empty()) {
            Handoff* const gate = handoff.get();
            apart->ProgressSignal.connect([this, gate](uint32_t position, uint32_t written, uint32_t fileBytes) {
                std::lock_guard<std::mutex> hold(gate->lock);
                if (!gate->abandoned)
                    ProgressSignal(position, written, fileBytes);
            });
        }
        // Error codes may come after the run was given up: kept, and passed on below.
        Handoff* const codes = handoff.get();
        apart->ErrorCodeSignal.connect([codes](int32_t code) {
            std::lock_guard<std::mutex> hold(codes->lock);
            codes->errorCodes.push_back(code);
        });
        const bool started = RunOnModuleThread([apart, url, objectName, agent] {
            int ended = 0;
            try {
                ended = apart->exchange(url, objectName, agent);
            } catch (...) {
                ended = 0;
            }
            // Published by the exchange itself before it closed its handles, unless it threw first.
            if (WaitForSingleObject(apart->handoff_->done.get(), 0) != WAIT_OBJECT_0) {
                apart->handoff_->result = ended;
                SetEvent(apart->handoff_->done.get());
            }
        });
        if (!started)
            return false;
    } catch (...) {
        return false;
    }

    const HANDLE waits[] = {handoff->done.get(), handoff->released.get()};
    DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0 + 1) {
        // Given up: a call that was merely waiting ends at once, so its own outcome is
        // taken when it comes promptly; a call the platform keeps running is left behind.
        woke = WaitForSingleObject(handoff->done.get(), kLateEndWaitMs) == WAIT_OBJECT_0 ? WAIT_OBJECT_0 : woke;
    } else if (woke != WAIT_OBJECT_0) {
        WaitForSingleObject(handoff->done.get(), INFINITE);  // the wait itself failed: the body may be in use
        woke = WAIT_OBJECT_0;
    }
    if (woke == WAIT_OBJECT_0) {
        status_ = apart->status_;
        reply_ = std::move(apart->reply_);
        failure_ = apart->failure_;
        platformError_ = apart->platformError_;
        replyWhole_ = apart->replyWhole_;
        redirectLocation_ = std::move(apart->redirectLocation_);
        retryAfter_ = std::move(apart->retryAfter_);
        replyHeaders_ = std::move(apart->replyHeaders_);
        result = handoff->result;
        std::vector<int32_t> codes;
        {
            std::lock_guard<std::mutex> hold(handoff->lock);
            codes.swap(handoff->errorCodes);
        }
        for (const int32_t code : codes)
            ErrorCodeSignal(code);
        return true;
    }
    // The platform is still inside a call on the request it was told to give up. The file's
    // outcome does not wait for it: the exchange's thread drops whatever comes back.
    {
        std::lock_guard<std::mutex> hold(handoff->lock);
        handoff->abandoned = true;
    }
    failure_ = stopped() ? HttpFailure::Stopped : HttpFailure::TimedOut;
    platformError_ = failure_ == HttpFailure::TimedOut ? ERROR_INTERNET_TIMEOUT : 0;
    result = 0;
    log4cplus::Logger& logger = Log::current();
    if (logger.isEnabledFor(log4cplus::WARN_LOG_LEVEL)) {
        LOG4CPLUS_WARN(logger, L"upload request given up while the platform still works on it ("
                                   << HttpFailureName(failure_) << L")");
    }
    return true;
}

void HttpClient::resetOutcome()
{
    failure_ = HttpFailure::None;
    platformError_ = 0;
    status_ = 0;
    reply_.clear();
    replyWhole_ = false;
    endAtClose_ = false;
    redirectLocation_.clear();
    retryAfter_.clear();
    replyHeaders_.clear();
}

int HttpClient::exchange(const std::wstring& url, const std::wstring& objectName, const std::wstring& agent)
{
    resetOutcome();
    bool ok = false;
    try {
        ok = runSteps(url, objectName, agent);
    } catch (...) {
        fail(HttpFailure::Connect);
    }
    watchdog_ = nullptr;
    if (stopped())
        failure_ = HttpFailure::Stopped;
    const int result = !stopped() && ok && failure_ == HttpFailure::None ? 1 : 0;
    if (handoff_) {
        // The outcome is complete: the waiting run takes it now. Closing the handles waits for
        // the platform to let go of them (up to kCloseWaitMs, outside every time-out), which
        // on a loaded machine held each failed file's end back by seconds.
        handoff_->result = result;
        SetEvent(handoff_->done.get());
    }
    close();
    return result;
}

bool HttpClient::runSteps(const std::wstring& url, const std::wstring& objectName, const std::wstring& agent)
{
    if (stopped())
        return fail(HttpFailure::Stopped);
    UrlParts parts;
    if (!SplitUrl(url, parts))
        return fail(HttpFailure::BadUrl);
    const std::wstring object = objectName.empty() ? parts.object : objectName;

    events_ = std::make_shared<Events>();
    if (!events_->valid())
        return fail(HttpFailure::Session, GetLastError());

    StallWatchdog watchdog(std::chrono::seconds(std::max(timeoutSeconds_, 0)), stop_, [this] { abortRequest(); });
    watchdog_ = &watchdog;
    struct Detach {
        HttpClient* client;
        ~Detach() { client->watchdog_ = nullptr; }
    } detach{this};

    bool ok = open(parts, object, agent);
    ok = ok && !stopped() && send();
    ok = ok && !stopped() && writeBody();
    ok = ok && !stopped() && readHeaders();
    if (ok && !stopped())
        readBody();
    ok = ok && !stopped() && readStatus();
    if (ok && status_ >= 300 && status_ <= 399) {
        noteRedirect();
        return false;
    }
    if (ok && endAtClose_ && !stopped() && !connectionKept()) {
        replyWhole_ = false;
        fail(HttpFailure::Reply, ERROR_HTTP_INVALID_SERVER_RESPONSE);
        ok = false;
    }
    // The watchdog, or the socket's own time-out, ended a request that stopped moving.
    const bool socketTimedOut = platformError_ == WSAETIMEDOUT || platformError_ == ERROR_INTERNET_TIMEOUT;
    if ((watchdog.fired() && watchdog.timedOut()) || (!ok && socketTimedOut)) {
        failure_ = HttpFailure::TimedOut;
        platformError_ = ERROR_INTERNET_TIMEOUT;
        return false;
    }
    return ok && !watchdog.fired();
}

bool HttpClient::open(const UrlParts& parts, const std::wstring& object, const std::wstring& agent)
{
    session_.reset(InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC));
    if (!session_)
        return fail(HttpFailure::Session, GetLastError());
    if (InternetSetStatusCallbackW(session_.get(), StatusCallback) == INTERNET_INVALID_STATUS_CALLBACK)
        return fail(HttpFailure::Session, GetLastError());

    const auto context = reinterpret_cast<DWORD_PTR>(events_.get());
    connection_.reset(InternetConnectW(session_.get(), parts.host.c_str(), parts.port, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, context));
    if (!connection_)
        return fail(HttpFailure::Connect, GetLastError());
    events_->connection = connection_.get();

    // A redirect is never followed: the platform would send the page's cookie to wherever
    // it points, drop the body on a 307 and count the other host's answer as this one's.
    DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (parts.secure) {
        flags |= INTERNET_FLAG_SECURE;
        if (ignoreCertErrors_)
            flags |= INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
    }
    ResetEvent(events_->requestComplete.get());
    HINTERNET handle = HttpOpenRequestW(connection_.get(), method_.c_str(), object.c_str(), nullptr, nullptr,
                                        nullptr, flags, context);
    const DWORD openError = handle ? 0 : GetLastError();
    if (!handle && openError == ERROR_IO_PENDING && !stopped()) {
        if (!watchdog_->enter())
            return fail(HttpFailure::Connect);
        const bool done = waitPending();
        watchdog_->leave();
        if (done)
            handle = reinterpret_cast<HINTERNET>(events_->asyncResult.load());
    }
    if (!handle)
        return fail(HttpFailure::Connect, platformError_ ? platformError_ : openError);
    {
        std::lock_guard<std::mutex> hold(requestLock_);
        request_.reset(handle);
        requestOpened_ = true;
    }
    events_->request = handle;

    if (timeoutSeconds_ > 0) {
        // A body write blocks inside the socket, where closing the handle does not reach it
        // under Wine: the socket's own send time-out ends it, at the same allowance the
        // watchdog gives a write. Waits for the reply are left to the watchdog (a receive
        // time-out there passes a silent server off as a reply).
        DWORD milliseconds = static_cast<DWORD>(std::min(timeoutSeconds_, 1000000)) * 2000;
        InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &milliseconds, sizeof milliseconds);
    }
    if (parts.secure && ignoreCertErrors_) {
        // For intranet servers with their own certificates: unknown authorities too.
        DWORD security = 0;
        DWORD size = sizeof security;
        if (InternetQueryOptionW(handle, INTERNET_OPTION_SECURITY_FLAGS, &security, &size)) {
            security |= SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_REVOCATION;
            InternetSetOptionW(handle, INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);
        }
    }
    return true;
}

bool HttpClient::complete(BOOL ok)
{
    if (ok)
        return true;
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
        platformError_ = error;
        return false;
    }
    return !stopped() && waitPending();
}

bool HttpClient::waitPending()
{
    const HANDLE waits[] = {events_->requestComplete.get(), events_->aborted.get()};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woke != WAIT_OBJECT_0)
        return false;  // the watchdog closed the request
    ResetEvent(events_->requestComplete.get());
    if (events_->asyncResult.load() == 0) {
        platformError_ = events_->asyncError.load();
        return false;
    }
    return true;
}

bool HttpClient::send()
{
    events_->headerText = headerText_;
    INTERNET_BUFFERSA& buffers = events_->sendBuffers;
    buffers = INTERNET_BUFFERSA{};
    buffers.dwStructSize = sizeof buffers;
    buffers.lpcszHeader = events_->headerText.c_str();
    buffers.dwHeadersLength = static_cast<DWORD>(events_->headerText.size());
    buffers.dwHeadersTotal = buffers.dwHeadersLength;
    buffers.dwBufferTotal = bodyLength_;
    ResetEvent(events_->requestComplete.get());
    if (!watchdog_->enter())
        return fail(HttpFailure::Send);
    const BOOL sent = HttpSendRequestExA(request(), &buffers, nullptr, 0,
                                         reinterpret_cast<DWORD_PTR>(events_.get()));
    const bool ok = complete(sent);
    watchdog_->leave();
    if (!ok) {
        fail(HttpFailure::Send, platformError_);
        ErrorCodeSignal(1);
        return false;
    }
    watchdog_->progress();
    return true;
}

void HttpClient::reportWritten(uint32_t upTo, uint32_t& reported)
{
    // Whole chunks only; the last chunk ends with the body. Once the task is stopped nothing
    // more is reported: the run ends with the write in progress.
    while (reported < bodyLength_ && !stopped()) {
        const uint32_t n = std::min(kChunkSize, bodyLength_ - reported);
        if (upTo < reported + n)
            return;
        const uint32_t fileBytes = FileBytesOf(reported, n, fileLength_);
        reported += n;
        ProgressSignal(reported, n, fileBytes);
    }
}

bool HttpClient::writeBody()
{
    const std::chrono::milliseconds timeout = std::chrono::seconds(std::max(timeoutSeconds_, 0));
    // A write counts as moving if it ends within twice the time-out: the one during which the
    // socket's buffers first fill was sized before the link showed its rate.
    const std::chrono::milliseconds writeAllowance = 2 * timeout;
    const uint32_t largest = WritePacer::LargestFor(writeSize_, timeout);
    WritePacer pacer(largest, timeout);
    std::vector<BodyPrefetch::Part> parts;
    parts.reserve(body_.size());
    for (const BodyPart& part : body_)
        parts.push_back({part.data, part.length});
    bool failed = !beginBodyUse();
    uint32_t position = 0;  // of the span being written
    uint32_t reported = 0;  // the body's bytes reported as written, in whole chunks
    bool refused = false;
    {
        // Goes before the body is let go: its helper may be reading the body.
        BodyPrefetch prefetch(std::move(parts), chunkCheck_);
        BodyPrefetch::Span span;
        if (!failed && !stopped())
            span = prefetch.Prepare(0, prefetch.LengthAt(0, largest));
        while (position < bodyLength_ && !failed && !stopped()) {
            if (!span.data) {
                platformError_ = ERROR_NOT_ENOUGH_MEMORY;
                failed = true;
                break;
            }
            if (!span.accepted) {
                refused = true;
                break;
            }
            const uint32_t next = position + span.length;
            if (next < bodyLength_ && overlapWrites_)
                prefetch.Start(next, prefetch.LengthAt(next, largest));
            // A write may take fewer bytes than offered; the rest of the span follows at once.
            uint32_t done = 0;
            while (done < span.length && !failed) {
                // The request-complete event is already reset: after the send's wait and after
                // every wait since (resetting it here too would cost a trip to the server per write).
                if (!watchdog_->enter(writeAllowance)) {
                    failed = true;
                    break;
                }
                const uint32_t piece = std::min(pacer.next(), span.length - done);
                const auto started = std::chrono::steady_clock::now();
                DWORD written = 0;
                const BOOL ok = InternetWriteFile(request(), span.data + done, piece, &written);
                if (!ok && GetLastError() == ERROR_IO_PENDING) {
                    failed = !complete(FALSE);
                    if (!failed)
                        written = static_cast<DWORD>(events_->asyncResult.load() ? piece : 0);
                } else if (!ok) {
                    platformError_ = GetLastError();
                    failed = true;
                }
                watchdog_->leave();
                if (!failed && written == 0)
                    failed = true;  // nothing taken and no error: the connection is gone
                if (failed)
                    break;
                done += written;
                watchdog_->progress();
                pacer.written(written, std::chrono::duration_cast<WritePacer::Duration>(
                                           std::chrono::steady_clock::now() - started));
                reportWritten(position + done, reported);
                if (stopped())
                    break;
            }
            if (failed) {
                // The chunk that was going out when the write failed is reported once more.
                if (reported < bodyLength_) {
                    const uint32_t n = std::min(kChunkSize, bodyLength_ - reported);
                    const uint32_t fileBytes = FileBytesOf(reported, n, fileLength_);
                    reported += n;
                    ProgressSignal(reported, n, fileBytes);
                }
                break;
            }
            if (done < span.length)
                break;  // stopped
            position = next;
            if (position < bodyLength_)
                span = overlapWrites_ ? prefetch.Take() : prefetch.Prepare(next, prefetch.LengthAt(next, largest));
        }
    }
    endBodyUse();
    if (refused)
        return fail(HttpFailure::Refused);
    if (failed)
        return fail(HttpFailure::Write, platformError_);
    if (stopped())
        return false;
    // The body is out: the whole reply must now arrive within the time-out, once what the
    // socket still holds has had the time to drain at the rate the link showed.
    watchdog_->startDeadline(pacer.drainTime());
    return endRequest();
}

bool HttpClient::endRequest()
{
    ResetEvent(events_->requestComplete.get());
    if (!watchdog_->enter())
        return fail(HttpFailure::EndRequest);
    const BOOL ended = HttpEndRequestW(request(), nullptr, 0, reinterpret_cast<DWORD_PTR>(events_.get()));
    const bool ok = complete(ended);
    watchdog_->leave();
    if (!ok)
        return fail(HttpFailure::EndRequest, platformError_);
    watchdog_->progress();
    return true;
}

bool HttpClient::readHeaders()
{
    if (!watchdog_->enter())
        return fail(HttpFailure::Headers);
    DWORD length = 0;
    BOOL ok = HttpQueryInfoA(request(), HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &length, nullptr);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        std::vector<char> headers(length + 1, '\0');
        ok = HttpQueryInfoA(request(), HTTP_QUERY_RAW_HEADERS_CRLF, headers.data(), &length, nullptr);
        if (ok)
            replyHeaders_.assign(headers.data(), std::min<size_t>(length, headers.size() - 1));
    }
    const DWORD error = ok ? 0 : GetLastError();
    watchdog_->leave();
    if (!ok) {
        fail(HttpFailure::Headers, error);
        ErrorCodeSignal(2);
        return false;
    }
    return true;
}

void HttpClient::readBody()
{
    reply_.clear();
    status_ = 0;
    replyWhole_ = false;
    if (_wcsicmp(method_.c_str(), L"HEAD") == 0) {
        replyWhole_ = true;  // its Content-Length is that of the resource, not of a body
        return;
    }
    const ReplyFraming framing = replyFraming();
    if (!events_->readBuffer)
        events_->readBuffer.reset(new char[kReadBlock]);
    if (framing.hasLength && framing.length <= kMaxReply)
        reply_.reserve(static_cast<size_t>(framing.length));
    // One byte past the limit tells a reply that is too long from one that is exactly as long.
    const size_t readLimit = kMaxReply + 1;
    bool ended = false;
    DWORD readError = 0;
    // The last read that went to the connection for bytes kept it: the end it met, if any,
    // was a closed connection rather than the last chunk (see endConfirmed).
    bool endMetClosedConnection = false;
    events_->readingReply = true;
    while (!stopped()) {
        events_->receivedInRead = false;
        events_->closedInRead = false;
        char* const block = events_->readBuffer.get();
        INTERNET_BUFFERSA& buffers = events_->receiveBuffers;
        buffers = INTERNET_BUFFERSA{};
        buffers.dwStructSize = sizeof buffers;
        buffers.lpvBuffer = block;
        buffers.dwBufferLength = static_cast<DWORD>(std::min<size_t>(kReadBlock, readLimit - reply_.size()));
        const DWORD asked = buffers.dwBufferLength;
        ResetEvent(events_->requestComplete.get());
        if (!watchdog_->enter())
            break;
        const BOOL read = InternetReadFileExA(request(), &buffers, 0, reinterpret_cast<DWORD_PTR>(events_.get()));
        bool ok = read != FALSE;
        if (!ok) {
            readError = GetLastError();
            if (readError == ERROR_IO_PENDING && !stopped()) {
                ok = complete(FALSE);
                readError = ok ? 0 : platformError_;
            }
        }
        watchdog_->leave();
        if (events_->closedInRead.load())
            endMetClosedConnection = false;
        else if (events_->receivedInRead.load())
            endMetClosedConnection = true;
        if (!ok)
            break;
        const DWORD count = std::min<DWORD>(buffers.dwBufferLength, asked);
        if (count == 0) {
            ended = true;
            break;
        }
        // Every byte is kept, zeros included: the reply is judged as the server sent it.
        reply_.append(block, count);
        watchdog_->progress();
        if (reply_.size() > kMaxReply) {
            readError = ERROR_INSUFFICIENT_BUFFER;
            break;
        }
    }
    events_->readingReply = false;
    replyWhole_ = ended && endConfirmed(framing, reply_.size(), endMetClosedConnection);
    endAtClose_ = replyWhole_ && framing.chunked && framing.keepAlive;
    if (!replyWhole_)
        fail(HttpFailure::Reply, readError ? readError : ERROR_HTTP_INVALID_SERVER_RESPONSE);
}

HttpClient::ReplyFraming HttpClient::replyFraming()
{
    ReplyFraming framing;
    char text[64] = {};
    DWORD size = sizeof text - 1;
    if (HttpQueryInfoA(request(), HTTP_QUERY_TRANSFER_ENCODING, text, &size, nullptr) && size > 0)
        framing.chunked = true;  // the platform reads only chunked bodies by their encoding

    std::memset(text, 0, sizeof text);
    size = sizeof text - 1;
    if (!framing.chunked && HttpQueryInfoA(request(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) {
        framing.hasLength = true;
        size_t i = 0;
        while (text[i] == ' ')
            ++i;
        framing.badLength = text[i] < '0' || text[i] > '9';
        for (; text[i] >= '0' && text[i] <= '9' && !framing.badLength; ++i) {
            if (framing.length > (UINT64_MAX - 9) / 10)
                framing.badLength = true;
            else
                framing.length = framing.length * 10 + static_cast<uint64_t>(text[i] - '0');
        }
    }

    // As the platform decides whether it may keep the connection for another request: an
    // HTTP/1.1 reply unless it says "close", any reply that says "Keep-Alive".
    char version[16] = {};
    size = sizeof version - 1;
    if (HttpQueryInfoA(request(), HTTP_QUERY_VERSION, version, &size, nullptr))
        framing.keepAlive = std::string(version, size) == "HTTP/1.1";
    std::memset(text, 0, sizeof text);
    size = sizeof text - 1;
    if (HttpQueryInfoA(request(), HTTP_QUERY_CONNECTION, text, &size, nullptr))
        framing.keepAlive = _stricmp(text, "Keep-Alive") == 0;
    return framing;
}

bool HttpClient::endConfirmed(const ReplyFraming& framing, uint64_t received, bool endMetClosedConnection) const
{
    if (framing.chunked) {
        // The platform's reads end a chunked body alike whether its last chunk came or the
        // server closed the connection after any chunk. One sign tells them apart when the
        // end is found by a read that goes to the connection for bytes: meeting the last chunk,
        // such a read lets the connection go before it returns (closes it, or keeps it for
        // another request when the server asked for that); meeting a closed connection, it
        // keeps it until the request is closed. So the last read that went to the connection
        // must have let it go. An end the platform had read before the reads began (the whole
        // reply came at once), or one that a read filled to its last byte took in, gives no
        // sign either way, nor does a connection kept for another request: such a reply stands
        // on its text, which must be a whole JSON value to be taken (see JudgeReply). A reply
        // that keeps its connection is confirmed when the request closes (connectionKept).
        return framing.keepAlive || !endMetClosedConnection;
    }
    if (framing.hasLength)
        return !framing.badLength && framing.length == received;
    return true;  // no length given: the reply ends where the server closed it
}

bool HttpClient::connectionKept()
{
    // Closing the request gives the connection of a reply read to its last chunk back for
    // another request, and closes that of one whose server closed it after any chunk: only
    // then does the request see the connection closed while it closes. The platform's work
    // for the last read may still hold the request for a moment, and the close is done on its
    // thread then: the answer waits for the request's end (bounded; without it the reply
    // stands on its text, as before).
    events_->closedAtClose = false;
    events_->closingRequest = true;
    UniqueInternetHandle request;
    {
        std::lock_guard<std::mutex> hold(requestLock_);
        request = std::move(request_);
    }
    request.reset();
    const HANDLE ends[] = {events_->requestClosing.get(), events_->aborted.get()};
    WaitForMultipleObjects(2, ends, FALSE, kEndAtCloseWaitMs);
    events_->closingRequest = false;
    return !events_->closedAtClose.load();
}

void HttpClient::noteRedirect()
{
    failure_ = HttpFailure::Redirected;
    platformError_ = 0;
    char location[2048] = {};
    DWORD size = sizeof location - 1;
    if (HttpQueryInfoA(request(), HTTP_QUERY_LOCATION, location, &size, nullptr))
        redirectLocation_.assign(location, size);
    log4cplus::Logger& logger = Log::current();
    if (logger.isEnabledFor(log4cplus::WARN_LOG_LEVEL)) {
        LOG4CPLUS_WARN(logger, L"upload redirected (status " << status_ << L"), not followed; Location: "
                                   << Utf8ToUtf16(redirectLocation_));
    }
}

bool HttpClient::readStatus()
{
    if (!watchdog_->enter())
        return fail(HttpFailure::Status);
    DWORD status = 0;
    DWORD size = sizeof status;
    BOOL ok = HttpQueryInfoA(request(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    DWORD error = ok ? 0 : GetLastError();
    watchdog_->leave();
    // A connection that ended without a status line leaves status 0: that is no reply.
    if (ok && (status < 100 || status > 999)) {
        ok = FALSE;
        error = ERROR_HTTP_INVALID_SERVER_RESPONSE;
    }
    if (!ok) {
        fail(HttpFailure::Status, error);
        ErrorCodeSignal(2);
        return false;
    }
    status_ = status;
    char retryAfter[128] = {};
    DWORD retryAfterSize = sizeof retryAfter - 1;
    if (HttpQueryInfoA(request(), HTTP_QUERY_RETRY_AFTER, retryAfter, &retryAfterSize, nullptr))
        retryAfter_.assign(retryAfter, std::min<DWORD>(retryAfterSize, sizeof retryAfter - 1));
    return true;
}

std::string HeaderValue(std::string_view block, std::string_view name)
{
    size_t start = 0;
    while (start < block.size()) {
        size_t end = block.find("\r\n", start);
        if (end == std::string_view::npos)
            end = block.size();
        const std::string_view line = block.substr(start, end - start);
        start = end + 2;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon != name.size() ||
            _strnicmp(line.data(), name.data(), name.size()) != 0)
            continue;
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
            value.remove_suffix(1);
        return std::string(value);
    }
    return {};
}

HINTERNET HttpClient::request()
{
    std::lock_guard<std::mutex> hold(requestLock_);
    return request_.get();
}

bool HttpClient::beginBodyUse()
{
    // Paired with abortRequest(): of the two stores, each side sees the other's, so either
    // the caller is not released or no write starts.
    bodyInUse_ = true;
    if (aborted_) {
        endBodyUse();
        return false;
    }
    return true;
}

void HttpClient::endBodyUse()
{
    bodyInUse_ = false;
    if (aborted_ && handoff_ && !bodyOwner_)
        SetEvent(handoff_->released.get());
}

void HttpClient::abortRequest()
{
    // On the watchdog's thread, which must not wait for the platform: wake the run's wait at
    // once, let the waiting caller go unless a write still reads its body, and close the
    // request handle (which ends a blocked write where the platform allows it) on a thread
    // of its own, since the close may wait for the platform's own work on the request.
    aborted_ = true;
    if (events_)
        SetEvent(events_->aborted.get());
    if (handoff_ && (!bodyInUse_ || bodyOwner_))
        SetEvent(handoff_->released.get());
    auto request = std::make_shared<UniqueInternetHandle>();
    {
        std::lock_guard<std::mutex> hold(requestLock_);
        *request = std::move(request_);
    }
    if (*request && !StartModuleThread([request] { request->reset(); }))
        request->release();  // left open rather than closed here
}

void HttpClient::close()
{
    auto handles = std::make_shared<RunHandles>();
    {
        std::lock_guard<std::mutex> hold(requestLock_);
        handles->request = std::move(request_);
        handles->requestOpened = requestOpened_;
        requestOpened_ = false;
    }
    handles->connection = std::move(connection_);
    handles->session = std::move(session_);
    handles->events = std::move(events_);
    if (aborted_.exchange(false)) {
        // The platform may go on with a request it was told to give up (a flood of reply
        // headers keeps its parser busy), and closing waits for it: the run's outcome does not.
        if (!StartModuleThread([handles] { handles->close(kCloseWaitMs); })) {
            handles->request.release();
            handles->connection.release();
            handles->session.release();
            KeepForever(handles->events);
        }
        return;
    }
    handles->close(kCloseWaitMs);
}

}  // namespace Vantor
