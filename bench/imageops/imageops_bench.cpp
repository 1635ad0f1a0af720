// Times the raster operations on one picture given as raw BGR bytes:
//   imageops_bench PICTURE.bgr WIDTH HEIGHT ROUNDS [OPERATION]
// Prints one line per operation (or only the one named): its name and the best time of the rounds in milliseconds.
// Every round works on a fresh copy; making the copy is not timed.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "../BenchClock.h"
#include "image/CxImage.h"

using Vantor::CxImage;

namespace {

std::vector<uint8_t> ReadAll(const wchar_t* path)
{
    std::vector<uint8_t> bytes;
    FILE* file = _wfopen(path, L"rb");
    if (!file)
        return bytes;
    std::fseek(file, 0, SEEK_END);
    bytes.resize(static_cast<size_t>(std::ftell(file)));
    std::fseek(file, 0, SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
        bytes.clear();
    std::fclose(file);
    return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: imageops_bench PICTURE.bgr WIDTH HEIGHT ROUNDS [OPERATION]\n");
        return 1;
    }
    const auto width = static_cast<uint32_t>(std::wcstoul(argv[2], nullptr, 10));
    const auto height = static_cast<uint32_t>(std::wcstoul(argv[3], nullptr, 10));
    const int rounds = static_cast<int>(std::wcstol(argv[4], nullptr, 10));
    const std::vector<uint8_t> pixels = ReadAll(argv[1]);
    if (pixels.size() != static_cast<size_t>(width) * height * 3) {
        std::fprintf(stderr, "picture has %u bytes, expected %u\n", unsigned(pixels.size()), width * height * 3);
        return 1;
    }
    CxImage source;
    // The raw rows run top-down; with flip the first becomes the top row.
    if (!source.CreateFromArray(pixels.data(), width, height, 24, width * 3, true)) {
        std::fprintf(stderr, "%s\n", source.GetLastError());
        return 1;
    }

    const uint32_t newWidth = 1600;
    const uint32_t newHeight = static_cast<uint32_t>(static_cast<uint64_t>(height) * newWidth / width);
    const struct {
        const char* name;
        std::function<bool(CxImage&)> run;
    } operations[] = {
        {"resample", [&](CxImage& image) { return image.Resample(newWidth, newHeight, 0); }},
        {"rotate_right", [](CxImage& image) { return image.RotateRight(); }},
        {"light", [](CxImage& image) { return image.Light(20, 10); }},
        {"saturate", [](CxImage& image) { return image.Saturate(30, 1); }},
        {"crop", [&](CxImage& image) {
             return image.Crop(width / 4, height / 4, width / 4 + width / 2, height / 4 + height / 2);
         }},
    };
    for (const auto& operation : operations) {
        if (argc == 6 && std::wstring(argv[5]) != std::wstring(operation.name, operation.name + std::strlen(operation.name)))
            continue;
        double best = 1e30;
        for (int round = 0; round < rounds; ++round) {
            CxImage image(source);
            const double start = bench::NowMs();
            if (!operation.run(image)) {
                std::fprintf(stderr, "%s failed: %s\n", operation.name, image.GetLastError());
                return 1;
            }
            const double elapsed = bench::NowMs() - start;
            if (elapsed < best)
                best = elapsed;
        }
        std::printf("%s %.3f\n", operation.name, best);
    }
    return 0;
}
