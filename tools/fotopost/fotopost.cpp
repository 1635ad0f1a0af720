// fotopost: posts one file to an upload address exactly as the control does, for the people
// who write the receiving server.
//
//   fotopost [--as-is] ADDRESS FILE [SETTINGS]
//
// The picture is prepared as the control prepares it before it is sent; with --as-is the
// file's own bytes are sent instead, with width and height 0 (any file, any size: for trying
// a server's limits, and for measuring the transfer alone).
// SETTINGS is the JSON object the page gives "init" as "config" ("Fields", "Cookie",
// "FileFieldName", "FileNameGen", "EncodeType", "Timeout", "IgnoreCertErrors", "JpegQuality",
// "MaxWidth", "MaxHeight", "Reencode", "Metadata", "SendOriginal", "RetryDelays", "Protocol",
// "ChunkSize"). With
// "Protocol":"tus" ADDRESS is a tus creation endpoint and a failed try goes on from what the
// server holds. Prints one JSON line: {"id":...,"ok":true|false,
// "status":HTTP status,"svr":the parsed reply}.
// Exit code: 0 the server accepted the file, 1 it did not (or could not be reached, or the
// picture could not be prepared: then nothing is sent), 2 bad arguments.
#include "Biz/HttpClient.h"
#include "Biz/ImageData.h"
#include "Biz/RetryPolicy.h"
#include "Biz/TusUpload.h"
#include "Biz/UploadName.h"
#include "Biz/UploadPost.h"
#include "control/AppConfig.h"
#include "Biz/JsonText.h"
#include "control/MessageBridge.h"
#include "platform/ProgramEnd.h"
#include "platform/TextConv.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace Vantor;

namespace {

constexpr char kUsage[] =
    "usage: fotopost [--as-is] ADDRESS FILE [SETTINGS]\n"
    "  --as-is   send the file's own bytes (width and height 0) instead of the prepared picture\n"
    "  ADDRESS   http:// or https:// address the file is posted to\n"
    "  FILE      the picture to send\n"
    "  SETTINGS  JSON object as the page's \"init\" gives it as \"config\", for example\n"
    "            {\"Fields\":{\"album\":\"7\"},\"Cookie\":\"sid=1\",\"FileFieldName\":\"file\",\n"
    "             \"FileNameGen\":\"ori\",\"EncodeType\":\"utf-8\",\"Timeout\":60,\"IgnoreCertErrors\":false,\n"
    "             \"JpegQuality\":85,\"MaxWidth\":2048,\"MaxHeight\":2048,\"SendOriginal\":false,\n"
    "             \"Reencode\":false,\"Metadata\":\"safe\",\n"
    "             \"RetryDelays\":[1000,3000,10000],\"Protocol\":\"multipart\",\"ChunkSize\":5242880}\n"
    "            (\"Protocol\":\"tus\" makes ADDRESS a tus creation endpoint)\n"
    "prints {\"id\":...,\"ok\":...,\"status\":...,\"svr\":...}; exit 0 accepted, 1 not accepted or the\n"
    "picture could not be prepared (nothing sent), 2 bad arguments\n";

// How long the end of the program waits for the closing of given-up requests: a little
// more than the close itself may wait for the platform.
constexpr DWORD kEndWaitMs = HttpClient::kCloseWaitMs + 5000;

int BadArguments(const std::string& why)
{
    std::fprintf(stderr, "fotopost: %s\n%s", why.c_str(), kUsage);
    return 2;
}

// GDI+ for the length of the program (the picture is decoded and encoded as the control does).
class GdiplusSession {
public:
    GdiplusSession()
    {
        Gdiplus::GdiplusStartupInput input;
        ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession()
    {
        if (ok_)
            Gdiplus::GdiplusShutdown(token_);
    }
    bool ok() const { return ok_; }

private:
    ULONG_PTR token_ = 0;
    bool ok_ = false;
};

bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes)
{
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7F000000)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        if (!ReadFile(file.get(), bytes.data() + done, want, &read, nullptr) || read == 0)
            return false;
        done += read;
    }
    return true;
}

int Main(std::vector<std::wstring> args)
{
    const bool asIs = args.size() > 1 && args[1] == L"--as-is";
    if (asIs)
        args.erase(args.begin() + 1);
    if (args.size() < 3 || args.size() > 4 || args[1] == L"-h" || args[1] == L"--help")
        return BadArguments(args.size() < 3 ? "too few arguments" : "unexpected arguments");

    ::Json::Value config(::Json::objectValue);
    if (args.size() == 4) {
        if (!JsonText::Parse(Utf16ToUtf8(args[3]), config) || !config.isObject())
            return BadArguments("SETTINGS is not a JSON object");
    }
    // The settings are read exactly as the control reads the page's "init".
    AppConfig settingsRecord;
    ::Json::Value init(::Json::objectValue);
    init["name"] = "init";
    init["config"] = config;
    MessageBridge bridge(settingsRecord, nullptr);
    bridge.handleUtf8(JsonText::WriteCompact(init));
    UploadSettings settings = settingsRecord.uploadSettings();
    settings.postUrl = args[1];
    UrlParts parts;
    if (!SplitUrl(settings.postUrl, parts))
        return BadArguments("ADDRESS is not an http or https address");

    const std::wstring& path = args[2];
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return BadArguments("cannot read FILE");

    const auto printLine = [](const std::string& id, const UploadOutcome& outcome) {
        ::Json::Value line(::Json::objectValue);
        line["id"] = id;
        line["svr"] = outcome.svr;
        line["ok"] = outcome.success;
        line["status"] = outcome.status;
        const std::string text = JsonText::WriteCompact(line);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    };

    UploadPicture picture;
    std::vector<uint8_t> bytes;
    std::optional<GdiplusSession> gdiplus;
    ImageData::UploadPicture prepared;
    if (asIs) {
        if (!ReadWholeFile(path, bytes))
            return BadArguments("cannot read FILE");
        picture.id = NewUuidHex();
        picture.name = PathFindFileNameW(path.c_str());
        picture.extension = PathFindExtensionW(path.c_str());
        picture.remark = picture.name;
        picture.data = bytes.data();
        picture.length = static_cast<uint32_t>(bytes.size());
    } else {
        // The picture as the control prepares it, sent with its size. A file that cannot be
        // prepared is not sent: the outcome is a failure.
        gdiplus.emplace();
        const std::shared_ptr<ImageData> record = gdiplus->ok() ? ImageData::Create(path) : nullptr;
        if (!record)
            return BadArguments("cannot prepare FILE");
        prepared = record->PrepareUpload(settings.picture);
        if (prepared.encoded.empty()) {
            std::fprintf(stderr, "fotopost: FILE cannot be prepared as a picture; nothing was sent\n");
            printLine(record->id(), UploadOutcome{});
            return 1;
        }
        picture.id = record->id();
        picture.name = record->uploadName(prepared.original);
        picture.extension = record->uploadExtension(prepared.original);
        picture.mimeType = record->uploadMimeType(prepared.original);
        picture.remark = record->remark();
        picture.data = prepared.encoded.data();
        picture.length = prepared.encoded.size();
        picture.width = prepared.width;
        picture.height = prepared.height;
    }

    // Transient failures are tried again after the settings' "RetryDelays", with the same id,
    // as the control does.
    const auto stop = std::make_shared<std::atomic<bool>>(false);
    UploadOutcome outcome;
    TusUpload tus;  // a tus upload's state, kept from one try to the next
    std::string lastReason;
    for (size_t tries = 1;; ++tries) {
        UploadFailure failure;
        if (settings.protocol == UploadProtocol::Tus) {
            const TusTry attempt = SendTus(picture, settings, stop, tus);
            outcome = attempt.outcome;
            failure = attempt.failure;
        } else {
            outcome = PostUpload(picture, settings, stop);
            failure = ClassifyOutcome(outcome);
        }
        lastReason = FailureCode(failure.reason);
        const auto delay = NextRetryDelay(failure, tries, settings.retryDelaysMs);
        if (!delay)
            break;
        std::fprintf(stderr, "fotopost: try %u failed (%s, status %u); trying again in %lld ms\n",
                     static_cast<unsigned>(tries), FailureCode(failure.reason), static_cast<unsigned>(outcome.status),
                     static_cast<long long>(delay->count()));
        Sleep(static_cast<DWORD>(delay->count()));
    }

    printLine(picture.id, outcome);
    if (!outcome.success) {
        std::fprintf(stderr, "fotopost: not accepted (%s, code %lu%s%s)\n", HttpFailureName(outcome.failure),
                     static_cast<unsigned long>(outcome.platformError), lastReason.empty() ? "" : ", ",
                     lastReason.c_str());
    }
    return outcome.success ? 0 : 1;
}

}  // namespace

int main()
{
    int code = 1;
    try {
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
        std::vector<std::wstring> args;
        for (int i = 0; argv && i < count; ++i)
            args.emplace_back(argv[i]);
        LocalFree(argv);
        code = Main(args);
    } catch (...) {
        std::fprintf(stderr, "fotopost: unexpected failure\n");
    }
    // A request that was given up may still be closing on threads of its own, or running
    // in the platform.
    EndProgram(code, kEndWaitMs);
}
