// Times uploads through the engine (the path fotopost and the workers take: body built,
// asynchronous client with watchdog, reply judged) and through a bare synchronous WinInet
// client that posts a ready body with the same 128 KiB writes and nothing else.
//
//   upload_bench compare URL FILE BODY CONTENT-TYPE ROUNDS CONCURRENCY FILES [WRITE-KIB]
//   upload_bench bare    URL BODY CONTENT-TYPE ROUNDS CONCURRENCY FILES
//
// BODY is the multipart body the engine makes of FILE (recorded by the server). Each round
// posts FILES uploads, CONCURRENCY at a time. WRITE-KIB sets the engine's largest write (its
// own when absent); the bare client writes 128 KiB, and also WRITE-KIB when that differs;
// "engine-inline" is the engine making each write ready between writes instead of during them. "bare" with ROUNDS 0 makes one upload and
// prints nothing (for whole-process timing). Exit code 0 when every upload succeeded.
#include "Biz/HttpClient.h"
#include "Biz/UploadName.h"
#include "Biz/UploadPost.h"
#include "Biz/UploadRequest.h"
#include "platform/Handles.h"
#include "platform/TextConv.h"

#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace Vantor;

namespace {

// The whole file in one buffer, read as fotopost reads it.
std::string ReadAll(const std::wstring& path)
{
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size))
        return {};
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        if (!ReadFile(file.get(), bytes.data() + done, want, &read, nullptr) || read == 0)
            break;
        done += read;
    }
    bytes.resize(done);
    return bytes;
}

// The platform's own cost: synchronous WinInet, 128 KiB writes, the reply read and dropped.
bool BarePost(const UrlParts& url, const std::string& headers, const std::string& body, size_t writeSize = 131072)
{
    UniqueInternetHandle session(InternetOpenW(L"bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    UniqueInternetHandle connection(InternetConnectW(session.get(), url.host.c_str(), url.port, nullptr, nullptr,
                                                     INTERNET_SERVICE_HTTP, 0, 0));
    UniqueInternetHandle request(HttpOpenRequestW(connection.get(), L"POST", url.object.c_str(), nullptr, nullptr,
                                                  nullptr, INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES, 0));
    if (!request)
        return false;
    INTERNET_BUFFERSA buffers{};
    buffers.dwStructSize = sizeof buffers;
    buffers.lpcszHeader = headers.c_str();
    buffers.dwHeadersLength = buffers.dwHeadersTotal = static_cast<DWORD>(headers.size());
    buffers.dwBufferTotal = static_cast<DWORD>(body.size());
    if (!HttpSendRequestExA(request.get(), &buffers, nullptr, 0, 0))
        return false;
    for (size_t position = 0; position < body.size();) {
        const DWORD n = static_cast<DWORD>(std::min<size_t>(writeSize, body.size() - position));
        DWORD written = 0;
        if (!InternetWriteFile(request.get(), body.data() + position, n, &written) || written == 0)
            return false;
        position += written;
    }
    if (!HttpEndRequestW(request.get(), nullptr, 0, 0))
        return false;
    char reply[256];
    DWORD read = 0;
    while (InternetReadFile(request.get(), reply, sizeof reply, &read) && read > 0) {
    }
    return true;
}

template <typename Post>
bool Many(int files, int concurrency, Post post)
{
    std::atomic<int> next{0};
    std::atomic<bool> allOk{true};
    std::vector<std::thread> threads;
    for (int t = 0; t < concurrency; ++t) {
        threads.emplace_back([&] {
            while (next.fetch_add(1) < files) {
                if (!post())
                    allOk = false;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    return allOk;
}

template <typename Post>
int Rounds(int rounds, int concurrency, int files, Post post)
{
    if (rounds == 0)
        return post() ? 0 : 1;
    bool ok = true;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        ok = Many(files, concurrency, post) && ok;
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("round %.2f\n", ms);
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}

int Main(const std::vector<std::wstring>& args)
{
    if (args.size() >= 9 && args[1] == L"compare") {
        // Engine and bare client alternately, round by round, so that the machine's load
        // weighs on both alike: "engine <ms>", "bare <ms>", and "build <ms>" (building the
        // body with the boundary checked against the whole file first, which the engine no
        // longer does before sending: it checks each chunk as it goes out).
        const std::string bytes = ReadAll(args[3]);
        const std::string body = ReadAll(args[4]);
        const std::string headers = "Accept: */*\r\nConnection: Close\r\nContent-Type: " + Utf16ToUtf8(args[5]) + "\r\n";
        const int rounds = _wtoi(args[6].c_str()), concurrency = _wtoi(args[7].c_str()), files = _wtoi(args[8].c_str());
        UploadSettings settings;
        settings.postUrl = args[2];
        const uint32_t writeKib = args.size() >= 10 ? static_cast<uint32_t>(_wtoi(args[9].c_str())) : 0;
        settings.writeSize = writeKib << 10;
        UrlParts url;
        if (!SplitUrl(args[2], url))
            return 2;
        const auto stop = std::make_shared<std::atomic<bool>>(false);
        RaiseConnectionLimit(static_cast<uint32_t>(std::max(concurrency, 2)));  // as the upload queue does
        const std::string fileId = NewUuidHex();  // a file's id is made when it is added, not when it is sent
        const auto engine = [&] {
            UploadPicture picture;
            picture.id = fileId;
            picture.name = picture.remark = L"bench.bin";
            picture.extension = L".bin";
            picture.data = bytes.data();
            picture.length = static_cast<uint32_t>(bytes.size());
            return PostUpload(picture, settings, stop).success;
        };
        UploadSettings inline_ = settings;
        inline_.overlapWrites = false;
        const auto engineInline = [&] {
            UploadPicture picture;
            picture.id = fileId;
            picture.name = picture.remark = L"bench.bin";
            picture.extension = L".bin";
            picture.data = bytes.data();
            picture.length = static_cast<uint32_t>(bytes.size());
            return PostUpload(picture, inline_, stop).success;
        };
        const auto bare = [&] { return BarePost(url, headers, body); };
        const auto bareSame = [&] { return BarePost(url, headers, body, size_t(writeKib) << 10); };
        const bool same = writeKib != 0 && writeKib != 128;
        const auto timed = [&](const char* name, auto post) {
            const auto start = std::chrono::steady_clock::now();
            const bool ok = Many(files, concurrency, post);
            std::printf("%s %.2f\n", name, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            return ok;
        };
        bool ok = true;
        for (int r = 0; r < rounds; ++r) {
            if (r % 2 == 0)
                ok = timed("engine", engine) && timed("bare", bare) && (!same || timed("bare-same", bareSame)) &&
                     timed("engine-inline", engineInline) && ok;
            else
                ok = timed("engine-inline", engineInline) && (!same || timed("bare-same", bareSame)) &&
                     timed("bare", bare) && timed("engine", engine) && ok;
            UploadForm form;
            form.id = NewUuidHex();
            form.fileName = "bench%2Ebin";
            form.data = bytes.data();
            form.length = bytes.size();
            const auto start = std::chrono::steady_clock::now();
            UploadRequest request;
            BuildUploadRequest(form, request);
            std::printf("build %.2f\n", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        std::fflush(stdout);
        return ok ? 0 : 1;
    }
    if (args.size() >= 8 && args[1] == L"bare") {
        UrlParts url;
        if (!SplitUrl(args[2], url))
            return 2;
        const std::string body = ReadAll(args[3]);
        const std::string headers = "Accept: */*\r\nConnection: Close\r\nContent-Type: " + Utf16ToUtf8(args[4]) + "\r\n";
        const int rounds = _wtoi(args[5].c_str()), concurrency = _wtoi(args[6].c_str()), files = _wtoi(args[7].c_str());
        DWORD connections = 16;
        InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections, sizeof connections);
        InternetSetOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &connections, sizeof connections);
        return Rounds(rounds, concurrency, files, [&] { return BarePost(url, headers, body); });
    }
    std::fprintf(stderr, "usage: upload_bench compare URL FILE BODY CONTENT-TYPE ROUNDS CONCURRENCY FILES\n"
                         "       upload_bench bare URL BODY CONTENT-TYPE ROUNDS CONCURRENCY FILES\n");
    return 2;
}

}  // namespace

int main()
{
    try {
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
        std::vector<std::wstring> args(argv, argv + (argv ? count : 0));
        LocalFree(argv);
        return Main(args);
    } catch (...) {
        return 1;
    }
}
