#include "Biz/TusUpload.h"

#include "Biz/JsonText.h"
#include "Biz/Log.h"
#include "Biz/MimeTable.h"
#include "Biz/RetryPolicy.h"
#include "Biz/UploadName.h"
#include "platform/TextConv.h"

#include <log4cplus/loggingmacros.h>

#include <algorithm>
#include <set>

namespace Vantor {
namespace {

// What one request of the protocol brought back.
struct Exchange {
    UploadOutcome outcome;  // status, reply text and failure of the request
    std::string headers;

    std::string header(std::string_view name) const { return HeaderValue(headers, name); }
    bool answered() const { return outcome.failure == HttpFailure::None; }
    bool ok() const { return answered() && outcome.status >= 200 && outcome.status <= 299; }
    bool gone() const { return answered() && (outcome.status == 404 || outcome.status == 410); }
};

struct Request {
    const wchar_t* method;
    std::wstring url;
    std::vector<std::pair<const char*, std::string>> headers;
    const uint8_t* body = nullptr;
    uint32_t length = 0;
    std::shared_ptr<const void> owner;
    const UploadCallbacks* callbacks = nullptr;
};

std::string HeaderLine(const char* name, std::string value)
{
    // A value cannot start a header of its own.
    value.erase(std::remove_if(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }),
                value.end());
    return std::string(name) + ": " + value + "\r\n";
}

bool SameServer(const std::wstring& a, const std::wstring& b)
{
    UrlParts x, y;
    return SplitUrl(a, x) && SplitUrl(b, y) && x.secure == y.secure && x.port == y.port &&
           _wcsicmp(x.host.c_str(), y.host.c_str()) == 0;
}

Exchange Run(const Request& request, const UploadSettings& settings, const StopFlag& stop, int timeoutSeconds)
{
    Exchange exchange;
    try {
        std::string text = HeaderLine("Tus-Resumable", kTusVersion);
        for (const auto& [name, value] : request.headers)
            text += HeaderLine(name, value);
        // The page's cookie is for the page's server: an upload address elsewhere does not get it.
        if (!settings.cookie.empty() && SameServer(settings.postUrl, request.url))
            text += HeaderLine("Cookie", settings.cookie);

        HttpClient client;
        client.setMethod(request.method);
        client.setHeaderText(text);
        if (request.body && request.length > 0)
            client.setBody(request.body, request.length, static_cast<int32_t>(request.length));
        if (request.owner)
            client.setBodyOwner(request.owner);
        client.setTimeout(timeoutSeconds);
        client.setWriteSize(settings.writeSize);
        client.setIgnoreCertErrors(settings.ignoreCertErrors);
        client.setStopFlag(stop);
        if (request.callbacks && request.callbacks->progress)
            client.ProgressSignal.connect(request.callbacks->progress);
        client.run(request.url, L"", kUploadAgent);
        exchange.outcome.status = client.status();
        exchange.outcome.reply = client.reply();
        exchange.outcome.failure = client.failure();
        exchange.outcome.platformError = client.platformError();
        exchange.outcome.retryAfter = client.retryAfter();
        exchange.headers = client.replyHeaders();
    } catch (...) {
        exchange.outcome.failure = HttpFailure::Send;
        exchange.outcome.platformError = ERROR_NOT_ENOUGH_MEMORY;
    }
    return exchange;
}

// The reason a request did not give what the protocol expects.
UploadFailure Judge(const Exchange& exchange)
{
    UploadFailure failure = ClassifyOutcome(exchange.outcome);
    if (exchange.answered() && exchange.outcome.status == 412) {
        failure.reason = FailureReason::Unsupported;
        failure.transient = false;
    } else if (exchange.answered() && (exchange.outcome.status == 409 || exchange.outcome.status == 423)) {
        // The offsets disagree, or the upload is still held by a request the server has not
        // let go of yet: the next try asks the server again.
        failure.transient = true;
    } else if (failure.reason == FailureReason::None) {
        failure.reason = FailureReason::BadReply;  // a 2xx without what the protocol asks for
    }
    return failure;
}

TusTry Fail(const Exchange& exchange, UploadFailure failure, const char* step)
{
    TusTry result;
    result.outcome = exchange.outcome;
    result.failure = std::move(failure);
    result.failure.status = exchange.outcome.status;
    log4cplus::Logger& logger = Log::current();
    if (logger.isEnabledFor(log4cplus::INFO_LOG_LEVEL)) {
        LOG4CPLUS_INFO(logger, L"tus " << step << L" failed (" << HttpFailureName(exchange.outcome.failure) << L", "
                                       << exchange.outcome.platformError << L", status " << exchange.outcome.status
                                       << L", " << FailureCode(result.failure.reason) << L")");
    }
    return result;
}

TusTry Stopped(const Exchange& exchange)
{
    UploadFailure failure;
    failure.reason = FailureReason::Stopped;
    return Fail(exchange, failure, "upload");
}

bool IsStopped(const StopFlag& stop) { return stop && stop->load(); }

std::string Base64(std::string_view bytes)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) | uint8_t(bytes[i + 2]);
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], kDigits[v & 63]};
    }
    if (i + 1 == bytes.size()) {
        const uint32_t v = uint8_t(bytes[i]) << 16;
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8);
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], '='};
    }
    return out;
}

bool ValidKey(std::string_view key)
{
    return !key.empty() &&
           std::all_of(key.begin(), key.end(), [](char c) { return c > ' ' && c < 0x7F && c != ','; });
}

// The name the upload carries as "name": a generated one, or the file's own, as plain UTF-8.
std::string UploadNameOf(const UploadPicture& picture, const UploadSettings& settings)
{
    const std::string& gen = settings.fileNameGen;
    if (gen == "guid" || gen == "crc" || gen == "md5") {
        return UploadFileName(L"", L"", gen, false, picture.data, picture.data ? picture.length : 0) +
               Utf16ToUtf8(picture.extension);
    }
    return Utf16ToUtf8(picture.name);
}

}  // namespace

bool TusUpload::canTerminate() const { return ListsToken(extensions, "termination"); }

bool ListsToken(std::string_view list, std::string_view token)
{
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string_view::npos)
            end = list.size();
        std::string_view item = list.substr(start, end - start);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
            item.remove_prefix(1);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
            item.remove_suffix(1);
        if (item == token)
            return true;
        start = end + 1;
    }
    return false;
}

bool ParseTusNumber(std::string_view text, uint64_t& value)
{
    if (text.empty() || text.size() > 19)
        return false;
    uint64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    value = v;
    return true;
}

std::string TusMetadata(const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::string out;
    std::set<std::string> seen;
    for (const auto& [key, value] : entries) {
        if (!ValidKey(key) || !seen.insert(key).second)
            continue;
        if (!out.empty())
            out += ',';
        out += key;
        if (!value.empty())
            out += ' ' + Base64(value);
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> TusMetadataOf(const UploadPicture& picture,
                                                                const std::string& uploadName,
                                                                const UploadSettings& settings)
{
    std::vector<std::pair<std::string, std::string>> entries = {
        {"filename", Utf16ToUtf8(picture.name)},
        {"name", uploadName},
        {"filetype", MimeTypeOf(uploadName)},
        {"id", picture.id},
        {"width", std::to_string(picture.width)},
        {"height", std::to_string(picture.height)},
        {"remark", Utf16ToUtf8(picture.remark)},
    };
    if (picture.index >= 0)
        entries.emplace_back("index", std::to_string(picture.index));
    for (const auto& field : settings.fields)
        entries.push_back(field);
    return entries;
}

std::wstring ResolveLocation(const std::wstring& base, const std::string& location)
{
    const std::wstring target = Utf8ToUtf16(location);
    if (target.empty())
        return {};
    const auto startsWith = [&target](const wchar_t* prefix) { return _wcsnicmp(target.c_str(), prefix, wcslen(prefix)) == 0; };
    if (startsWith(L"http://") || startsWith(L"https://"))
        return target;
    const size_t schemeEnd = base.find(L"://");
    if (schemeEnd == std::wstring::npos)
        return {};
    if (target.compare(0, 2, L"//") == 0)
        return base.substr(0, schemeEnd + 1) + target;
    const size_t pathStart = base.find_first_of(L"/?#", schemeEnd + 3);
    const std::wstring origin = base.substr(0, pathStart);
    if (target[0] == L'/')
        return origin + target;
    // Relative to the folder of the address (its path up to the last slash, query dropped).
    std::wstring path = pathStart == std::wstring::npos ? L"/" : base.substr(pathStart);
    path = path.substr(0, path.find_first_of(L"?#"));
    if (path.empty() || path[0] != L'/')
        path.insert(0, L"/");
    return origin + path.substr(0, path.rfind(L'/') + 1) + target;
}

TusTry SendTus(const UploadPicture& picture, const UploadSettings& settings, const StopFlag& stop,
               TusUpload& upload, const UploadCallbacks& callbacks)
{
    try {
        const uint64_t length = picture.data ? picture.length : 0;
        if (upload.length != length) {
            // Other bytes are another upload (the kept bytes make this a safeguard only).
            upload.location.clear();
            upload.offset = 0;
            upload.finished = false;
        }
        upload.length = length;
        const int timeout = settings.timeoutSeconds;
        const std::string uploadName = UploadNameOf(picture, settings);

        // What the server speaks, once per file. A server that does not answer OPTIONS at all
        // (404, 405) may still take uploads; one that names its versions must name ours.
        if (!upload.probed) {
            const Exchange options = Run({L"OPTIONS", settings.postUrl}, settings, stop, timeout);
            if (IsStopped(stop))
                return Stopped(options);
            const std::string versions = options.header("Tus-Version");
            if (options.answered() && (options.outcome.status == 412 ||
                                       (!versions.empty() && !ListsToken(versions, kTusVersion)))) {
                UploadFailure failure;
                failure.reason = FailureReason::Unsupported;
                failure.reply = "Tus-Version: " + versions;
                LOG4CPLUS_WARN(Log::current(),
                               L"the server does not speak tus 1.0.0 (Tus-Version: " << Utf8ToUtf16(versions) << L")");
                return Fail(options, failure, "OPTIONS");
            }
            if (!options.answered() || options.outcome.status >= 500 || options.outcome.status == 408 ||
                options.outcome.status == 429)
                return Fail(options, Judge(options), "OPTIONS");
            upload.probed = true;
            upload.extensions = options.header("Tus-Extension");
        }

        Exchange last;
        // Where to go on: the server's offset, or a new upload when it has forgotten this one.
        if (!upload.location.empty() && !upload.finished) {
            const Exchange head = Run({L"HEAD", upload.location}, settings, stop, timeout);
            if (IsStopped(stop))
                return Stopped(head);
            uint64_t offset = 0;
            if (head.gone()) {
                LOG4CPLUS_INFO(Log::current(),
                               L"tus upload gone from the server, starting again: " << upload.location);
                upload.location.clear();
                upload.offset = 0;
            } else if (!head.ok()) {
                return Fail(head, Judge(head), "HEAD");
            } else if (!ParseTusNumber(head.header("Upload-Offset"), offset) || offset > length) {
                return Fail(head, Judge(head), "HEAD");
            } else {
                uint64_t announced = 0;
                if (ParseTusNumber(head.header("Upload-Length"), announced) && announced != length) {
                    upload.location.clear();  // not this file's upload
                    upload.offset = 0;
                } else {
                    upload.offset = offset;
                    if (callbacks.resumed)
                        callbacks.resumed(offset);
                }
            }
            last = head;
        }

        if (upload.location.empty()) {
            Request create{L"POST", settings.postUrl};
            create.headers = {{"Upload-Length", std::to_string(length)},
                              {"Upload-Metadata", TusMetadata(TusMetadataOf(picture, uploadName, settings))}};
            const Exchange created = Run(create, settings, stop, timeout);
            if (IsStopped(stop))
                return Stopped(created);
            if (!created.ok())
                return Fail(created, Judge(created), "POST");
            const std::wstring location = ResolveLocation(settings.postUrl, created.header("Location"));
            UrlParts parts;
            if (location.empty() || !SplitUrl(location, parts))
                return Fail(created, Judge(created), "POST");
            upload.location = location;
            upload.offset = 0;
            upload.finished = false;
            if (callbacks.resumed)
                callbacks.resumed(0);
            last = created;
        }

        const uint32_t chunk = std::clamp(settings.chunkSize, UploadSettings::kMinChunkSize,
                                          UploadSettings::kMaxChunkSize);
        const auto* bytes = static_cast<const uint8_t*>(picture.data);
        while (upload.offset < length) {
            if (IsStopped(stop))
                return Stopped(last);
            Request patch{L"PATCH", upload.location};
            const uint64_t sent = upload.offset;
            patch.length = static_cast<uint32_t>(std::min<uint64_t>(chunk, length - sent));
            patch.body = bytes + sent;
            patch.owner = picture.owner;
            patch.callbacks = &callbacks;
            patch.headers = {{"Upload-Offset", std::to_string(sent)},
                             {"Content-Type", "application/offset+octet-stream"}};
            last = Run(patch, settings, stop, timeout);
            if (IsStopped(stop))
                return Stopped(last);
            if (last.gone()) {
                upload.location.clear();
                upload.offset = 0;
                UploadFailure failure = Judge(last);
                failure.transient = true;  // a new upload, on the next try
                return Fail(last, failure, "PATCH");
            }
            uint64_t offset = 0;
            if (!last.ok())
                return Fail(last, Judge(last), "PATCH");
            // The server's word on what it holds; it must have taken something, or the loop
            // would never end.
            if (!ParseTusNumber(last.header("Upload-Offset"), offset) || offset <= sent || offset > length)
                return Fail(last, Judge(last), "PATCH");
            upload.offset = offset;
            if (offset != sent + patch.length && callbacks.resumed)
                callbacks.resumed(offset);
        }

        upload.finished = true;
        TusTry result;
        result.outcome = last.outcome;
        result.outcome.fileName = uploadName;
        result.outcome.success = true;
        ::Json::Value reply;
        if (!last.outcome.reply.empty() && JsonText::Parse(last.outcome.reply, reply) && !reply.isNull()) {
            result.outcome.svr = reply;
        } else {
            result.outcome.svr = ::Json::Value(::Json::objectValue);
            result.outcome.svr["success"] = 1;
            result.outcome.svr["location"] = Utf16ToUtf8(upload.location);
        }
        return result;
    } catch (...) {
        TusTry result;
        result.failure.reason = FailureReason::ConnectionLost;
        return result;
    }
}

bool TerminateTus(TusUpload& upload, const UploadSettings& settings)
{
    try {
        if (upload.location.empty() || upload.finished || !upload.canTerminate())
            return false;
        // The task's stop is what asked for this: the request has a stop of its own.
        const auto stop = std::make_shared<std::atomic<bool>>(false);
        const int timeout = settings.timeoutSeconds > 0 ? std::min(settings.timeoutSeconds, 10) : 10;
        const Exchange deleted = Run({L"DELETE", upload.location}, settings, stop, timeout);
        const bool dropped = deleted.ok() || deleted.gone();
        LOG4CPLUS_INFO(Log::current(), L"tus upload " << (dropped ? L"deleted: " : L"not deleted: ")
                                                                 << upload.location << L" (status "
                                                                 << deleted.outcome.status << L")");
        if (dropped)
            upload.location.clear();
        return dropped;
    } catch (...) {
        return false;
    }
}

}  // namespace Vantor
