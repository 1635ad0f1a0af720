// fotopost: posts one file to an upload address exactly as the control does, for the people
// who write the receiving server.
//
//   fotopost ADDRESS FILE [SETTINGS]
//
// SETTINGS is the JSON object the page gives "init" as "config" ("Fields", "Cookie",
// "FileFieldName", "FileNameGen", "EncodeType", "Timeout", "IgnoreCertErrors"). Prints one
// JSON line: {"id":...,"ok":true|false,"status":HTTP status,"svr":the parsed reply}.
// Exit code: 0 the server accepted the file, 1 it did not (or could not be reached), 2 bad
// arguments.
#include "Biz/HttpClient.h"
#include "Biz/UploadName.h"
#include "Biz/UploadPost.h"
#include "control/AppConfig.h"
#include "control/JsonText.h"
#include "control/MessageBridge.h"
#include "platform/TextConv.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace Vantor;

namespace {

constexpr char kUsage[] =
    "usage: fotopost ADDRESS FILE [SETTINGS]\n"
    "  ADDRESS   http:// or https:// address the file is posted to\n"
    "  FILE      the picture to send\n"
    "  SETTINGS  JSON object as the page's \"init\" gives it as \"config\", for example\n"
    "            {\"Fields\":{\"album\":\"7\"},\"Cookie\":\"sid=1\",\"FileFieldName\":\"file\",\n"
    "             \"FileNameGen\":\"ori\",\"EncodeType\":\"utf-8\",\"Timeout\":60,\"IgnoreCertErrors\":false}\n"
    "prints {\"id\":...,\"ok\":...,\"status\":...,\"svr\":...}; exit 0 accepted, 1 not accepted, 2 bad arguments\n";

int BadArguments(const std::string& why)
{
    std::fprintf(stderr, "fotopost: %s\n%s", why.c_str(), kUsage);
    return 2;
}

bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes)
{
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FF00000)
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

int Main(const std::vector<std::wstring>& args)
{
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
    UploadSettings settings = UploadSettings::From(settingsRecord);
    settings.postUrl = args[1];
    UrlParts parts;
    if (!SplitUrl(settings.postUrl, parts))
        return BadArguments("ADDRESS is not an http or https address");

    const std::wstring& path = args[2];
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes))
        return BadArguments("cannot read FILE");

    UploadPicture picture;
    picture.id = NewUuidHex();
    picture.name = PathFindFileNameW(path.c_str());
    picture.extension = PathFindExtensionW(path.c_str());
    picture.remark = picture.name;
    picture.data = bytes.data();
    picture.length = static_cast<uint32_t>(bytes.size());

    const auto stop = std::make_shared<std::atomic<bool>>(false);
    const UploadOutcome outcome = PostUpload(picture, settings, stop);

    ::Json::Value line(::Json::objectValue);
    line["id"] = picture.id;
    line["svr"] = outcome.svr;
    line["ok"] = outcome.success;
    line["status"] = outcome.status;
    const std::string text = JsonText::WriteCompact(line);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (!outcome.success) {
        std::fprintf(stderr, "fotopost: not accepted (%s, code %lu)\n", HttpFailureName(outcome.failure),
                     static_cast<unsigned long>(outcome.platformError));
    }
    return outcome.success ? 0 : 1;
}

}  // namespace

int main()
{
    try {
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
        std::vector<std::wstring> args;
        for (int i = 0; argv && i < count; ++i)
            args.emplace_back(argv[i]);
        LocalFree(argv);
        return Main(args);
    } catch (...) {
        std::fprintf(stderr, "fotopost: unexpected failure\n");
        return 1;
    }
}
