// Makes picture records from the picture files of a folder, one after another:
//   thumbs_bench FOLDER ROUNDS HELD [PATTERN]
//   thumbs_bench FOLDER ROUNDS 0 scale
// PATTERN picks the files (default "*.jpg").
// Prints the best time of ROUNDS passes over the files ("pass SECONDS FILES"), the best of
// ROUNDS passes that only show their EXIF previews ("preview SECONDS SHOWN FILES"), then the
// process's memory with no record held, with one record per file held, and with HELD
// records held (made from the files in turn): "memory LABEL RECORDS COMMITTED_MIB ADDRESS_MIB".
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <cwchar>
#include <atomic>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "../BenchClock.h"
#include "Biz/ImageData.h"

using Vantor::ImageData;

namespace {

// Committed private memory and all address space in use (committed or reserved), in MiB,
// from a walk of the address space (Wine reports no private usage figure).
void Memory(double& committedMiB, double& addressMiB)
{
    size_t committed = 0, used = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (auto* address = static_cast<uint8_t*>(nullptr);
         VirtualQuery(address, &info, sizeof info) == sizeof info;
         address = static_cast<uint8_t*>(info.BaseAddress) + info.RegionSize) {
        if (info.State != MEM_FREE)
            used += info.RegionSize;
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            committed += info.RegionSize;
        if (static_cast<uint8_t*>(info.BaseAddress) + info.RegionSize < address)
            break;
    }
    committedMiB = committed / 1048576.0;
    addressMiB = used / 1048576.0;
}

void PrintMemory(const char* label, size_t records)
{
    double committed = 0, address = 0;
    Memory(committed, address);
    std::printf("memory %s %u %.2f %.2f\n", label, static_cast<unsigned>(records), committed, address);
    std::fflush(stdout);
}

int Run(const std::wstring& folder, int rounds, int held, const std::wstring& pattern)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 2;
    do
        files.push_back(folder + L"\\" + found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);

    // A first record loads what the decoders need; it is not counted.
    ImageData::Create(files.front());
    PrintMemory("none", 0);

    double best = 1e30;
    for (int round = 0; round < rounds; ++round) {
        const double start = bench::NowSeconds();
        for (const auto& file : files) {
            auto record = ImageData::Create(file);
            if (!record || !record->hasPicture()) {
                std::fwprintf(stderr, L"no picture from %ls\n", file.c_str());
                return 3;
            }
        }
        best = std::min(best, bench::NowSeconds() - start);
    }
    std::printf("pass %.4f %u\n", best, static_cast<unsigned>(files.size()));
    // The same files' EXIF previews, as the lists show them before the decode ends.
    double bestPreview = 1e30;
    unsigned shown = 0;
    for (int round = 0; round < rounds; ++round) {
        shown = 0;
        const double start = bench::NowSeconds();
        for (const auto& file : files) {
            auto record = ImageData::CreateUnloaded(file);
            shown += record && record->ShowPreview(ImageData::kThumbnailBox, ImageData::kThumbnailBox) ? 1 : 0;
        }
        bestPreview = std::min(bestPreview, bench::NowSeconds() - start);
    }
    std::printf("preview %.4f %u %u\n", bestPreview, shown, static_cast<unsigned>(files.size()));

    std::vector<std::shared_ptr<ImageData>> records;
    for (const auto& file : files)
        records.push_back(ImageData::Create(file));
    PrintMemory("files", records.size());
    while (records.size() < static_cast<size_t>(held))
        records.push_back(ImageData::Create(files[records.size() % files.size()]));
    PrintMemory("held", records.size());
    return 0;
}

}  // namespace

// The records of all files made on one thread, then on two threads taking the files in turn,
// best of ROUNDS each: "scale THREADS SECONDS FILES". Without the list and its window, this is
// what the decoding itself gives on more than one core.
int Scale(const std::wstring& folder, int rounds)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"\\*.jpg").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 2;
    do
        files.push_back(folder + L"\\" + found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    ImageData::Create(files.front());
    for (unsigned threads = 1; threads <= 2; ++threads) {
        double best = 1e30;
        for (int round = 0; round < rounds; ++round) {
            std::atomic<size_t> next{0};
            const double start = bench::NowSeconds();
            std::vector<std::thread> workers;
            for (unsigned t = 0; t < threads; ++t)
                workers.emplace_back([&] {
                    for (size_t i; (i = next.fetch_add(1)) < files.size();)
                        ImageData::Create(files[i]);
                });
            for (auto& worker : workers)
                worker.join();
            best = std::min(best, bench::NowSeconds() - start);
        }
        std::printf("scale %u %.4f %u\n", threads, best, static_cast<unsigned>(files.size()));
        std::fflush(stdout);
    }
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc == 5 && std::wstring(argv[4]) == L"scale") {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
            return 1;
        const int rc = Scale(argv[1], std::wcstol(argv[2], nullptr, 10));
        Gdiplus::GdiplusShutdown(token);
        return rc;
    }
    if (argc != 4 && argc != 5)
        return 1;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return 1;
    const int rc = Run(argv[1], std::wcstol(argv[2], nullptr, 10), std::wcstol(argv[3], nullptr, 10),
                       argc == 5 ? argv[4] : L"*.jpg");
    Gdiplus::GdiplusShutdown(token);
    return rc;
}
