// Prepares every JPEG of a folder for upload as the engine does, under each option set:
//   prepare_bench FOLDER ROUNDS [OUTPUT_FOLDER]
// Records are made first (their thumbnails are not timed). For each option set it prints the
// best of ROUNDS passes: "mode NAME SECONDS CPU_SECONDS FILES BYTES" (wall-clock and this
// thread's processor time; BYTES: all pictures prepared). With
// OUTPUT_FOLDER, each set's first picture is written there as NAME.jpg for inspection.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "../BenchClock.h"
#include "Biz/ImageData.h"

using Vantor::ImageData;
using Vantor::PrepareOptions;

namespace {

// Processor time of the calling thread (user and kernel), in seconds.
double ThreadSeconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0;
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

struct Mode {
    const char* name;
    PrepareOptions options;
};

std::vector<Mode> Modes()
{
    PrepareOptions q85;
    q85.jpegQuality = 85;
    PrepareOptions fit = q85;
    fit.maxWidth = fit.maxHeight = 2048;
    PrepareOptions original;
    original.sendOriginal = true;
    return {{"default", PrepareOptions{}}, {"q85", q85}, {"fit2048q85", fit}, {"original", original}};
}

bool WriteFile(const std::wstring& path, const Vantor::EncodedImage& encoded)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(encoded.data(), 1, encoded.size(), file) == encoded.size();
    return std::fclose(file) == 0 && ok;
}

int Run(const std::wstring& folder, int rounds, const std::wstring& output)
{
    std::vector<std::shared_ptr<ImageData>> records;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*.jpg").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 2;
    do {
        auto record = ImageData::Create(folder + L"\\" + found.cFileName);
        if (!record || !record->hasPicture()) {
            std::fwprintf(stderr, L"no picture from %ls\n", found.cFileName);
            return 1;
        }
        records.push_back(record);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    records.front()->PrepareUpload();  // loads what the codecs need; not counted

    for (const Mode& mode : Modes()) {
        double best = 1e30, bestCpu = 1e30;
        uint64_t bytes = 0;
        for (int round = 0; round < rounds; ++round) {
            uint64_t sent = 0;
            const double start = bench::NowSeconds();
            const double startCpu = ThreadSeconds();
            for (const auto& record : records) {
                const ImageData::UploadPicture upload = record->PrepareUpload(mode.options);
                if (upload.encoded.empty()) {
                    std::fprintf(stderr, "%s: a picture could not be prepared\n", mode.name);
                    return 1;
                }
                sent += upload.encoded.size();
            }
            best = std::min(best, bench::NowSeconds() - start);
            bestCpu = std::min(bestCpu, ThreadSeconds() - startCpu);
            bytes = sent;
        }
        std::printf("mode %s %.4f %.4f %u %llu\n", mode.name, best, bestCpu, static_cast<unsigned>(records.size()),
                    static_cast<unsigned long long>(bytes));
        std::fflush(stdout);
        if (!output.empty()) {
            const std::string name(mode.name);
            WriteFile(output + L"\\" + std::wstring(name.begin(), name.end()) + L".jpg",
                      records.front()->PrepareUpload(mode.options).encoded);
        }
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: prepare_bench FOLDER ROUNDS [OUTPUT_FOLDER]\n");
        return 2;
    }
    try {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
            return 1;
        const int rc = Run(argv[1], std::max(1, _wtoi(argv[2])), argc > 3 ? argv[3] : L"");
        Gdiplus::GdiplusShutdown(token);
        return rc;
    } catch (...) {
        return 1;
    }
}
