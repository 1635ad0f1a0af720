// Decodes within bounds: the process's decode budget, a progressive scan bomb refused early
// and not handed to GDI+, a stop that ends a decode at once, and thumbnails that failed for a
// passing reason (memory, a locked file) made on a later try while the upload decides alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <thread>

#include "Biz/ImageData.h"
#include "image/DecodeBudget.h"
#include "image/JpegDecoder.h"
#include "image/PictureLoader.h"
#include "picture_files.h"
#include "platform/Handles.h"
#include "progressive_jpeg.h"

using namespace Vantor;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Waits, at most `limit`, for the condition.
bool Within(std::chrono::milliseconds limit, const std::function<bool()>& condition)
{
    const auto end = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::yield();
        Sleep(5);
    }
    return true;
}

void Gradient(uint32_t x, uint32_t y, uint8_t rgb[3])
{
    rgb[0] = static_cast<uint8_t>(x / 4);
    rgb[1] = static_cast<uint8_t>(y / 4);
    rgb[2] = static_cast<uint8_t>((x + y) / 8);
}

}  // namespace

TEST(DecodeBudgetTest, SharesWaitInTurnAnOversizedOneRunsAloneAndAStopEndsTheWait)
{
    DecodeBudget budget(100);
    DecodeBudget::Share first = budget.Acquire(60);
    ASSERT_TRUE(first);
    EXPECT_EQ(budget.inUse(), 60u);

    // 50 does not fit beside 60; a later 10 that would fit waits behind it.
    std::atomic<int> order{0}, fifty{0}, ten{0};
    std::thread big([&] {
        DecodeBudget::Share share = budget.Acquire(50);
        fifty = ++order;
        Within(5s, [&] { return ten != 0; });
    });
    ASSERT_TRUE(Within(5s, [&] { return budget.waiting() == 1; }));
    std::thread small([&] { DecodeBudget::Share share = budget.Acquire(10); ten = ++order; });
    ASSERT_TRUE(Within(5s, [&] { return budget.waiting() == 2; }));
    EXPECT_FALSE(Within(200ms, [&] { return fifty != 0 || ten != 0; }));
    first.Release();
    big.join();
    small.join();
    EXPECT_EQ(fifty.load(), 1);
    EXPECT_EQ(ten.load(), 2);
    EXPECT_EQ(budget.inUse(), 0u);
    EXPECT_LE(budget.peak(), 100u);

    // More than the whole budget is granted as all of it, when nothing else is held.
    {
        DecodeBudget::Share all = budget.Acquire(1000);
        ASSERT_TRUE(all);
        EXPECT_EQ(all.bytes(), 100u);
        std::atomic<bool> stop{false};
        std::atomic<bool> gaveUp{false};
        std::thread waiter([&] { gaveUp = !budget.Acquire(1, &stop); });
        EXPECT_FALSE(Within(200ms, [&] { return gaveUp.load(); }));
        const auto stopped = Clock::now();
        stop = true;
        waiter.join();
        EXPECT_TRUE(gaveUp.load());
        EXPECT_LT(SecondsSince(stopped), 1.0);
        EXPECT_EQ(budget.inUse(), 100u);
    }
    EXPECT_EQ(budget.inUse(), 0u);
}

TEST(BoundedDecodeTest, AProgressiveScanBombIsRefusedEarlyAndNotDecodedByTheSystem)
{
    // 8192 x 8192 grey, 3000 scans, a few hundred kilobytes: each scan a pass over a
    // million blocks.
    const std::vector<uint8_t> bomb = testpics::ScanBomb(8192, 2999);
    EXPECT_EQ(testpics::ScanCount(bomb), 3000);
    EXPECT_LT(bomb.size(), 600u * 1024);
    Jpeg::Header header;
    ASSERT_TRUE(Jpeg::ReadHeader(bomb.data(), bomb.size(), header));
    EXPECT_TRUE(header.multiScan);
    EXPECT_EQ(header.blocks, 1024u * 1024u);
    EXPECT_EQ(header.coefficientBytes, 1024ull * 1024 * 128);
    EXPECT_FALSE(ExceedsPictureCeiling(header.width, header.height));

    Pixels pixels;
    auto start = Clock::now();
    EXPECT_EQ(Jpeg::DecodeBounded(bomb.data(), bomb.size(), 120, 120, Jpeg::Limits{}, pixels),
              Jpeg::Outcome::TooMuchWork);
    std::printf("scan bomb refused by the decoder in %.2f s\n", SecondsSince(start));
    EXPECT_TRUE(pixels.empty());

    // Through the record: no thumbnail and nothing to send, the refusal final (not retried),
    // and no second decode by GDI+, which would pass over all 3000 scans for minutes and then
    // give the flat grey picture the file holds.
    testpics::TempFolder folder;
    const std::wstring path = folder.file(L"bomb.jpg");
    ASSERT_TRUE(testpics::WriteBytes(path, bomb));
    start = Clock::now();
    auto record = ImageData::Create(path);
    EXPECT_EQ(record->thumbnailState(), ImageData::ThumbnailState::Failed);
    EXPECT_FALSE(record->RetryThumbnail());
    EXPECT_TRUE(record->PrepareUpload().encoded.empty());
    std::printf("scan bomb: thumbnail and upload refused in %.2f s\n", SecondsSince(start));
    // The preview's and the editor's whole picture, the same.
    start = Clock::now();
    EXPECT_EQ(LoadPicture(path, 1), nullptr);
    std::printf("scan bomb: whole picture refused in %.2f s\n", SecondsSince(start));
}

TEST(BoundedDecodeTest, OrdinaryProgressiveFilesStillDecodeAndAStopEndsADecodeAtOnce)
{
    const std::vector<uint8_t> colour = testpics::ProgressiveJpeg(640, 480, 85, false, Gradient);
    ASSERT_FALSE(colour.empty());
    EXPECT_GE(testpics::ScanCount(colour), 10);
    Pixels pixels;
    ASSERT_EQ(Jpeg::DecodeBounded(colour.data(), colour.size(), 640, 480, Jpeg::Limits{}, pixels),
              Jpeg::Outcome::Decoded);
    EXPECT_EQ(pixels.width, 640u);
    EXPECT_EQ(pixels.height, 480u);
    // Eleven passes over the picture's blocks are still within the bounds; fifteen are not.
    const std::vector<uint8_t> eleven = testpics::ScanBomb(256, 10);
    EXPECT_EQ(Jpeg::DecodeBounded(eleven.data(), eleven.size(), 256, 256, Jpeg::Limits{}, pixels),
              Jpeg::Outcome::Decoded);
    const std::vector<uint8_t> fifteen = testpics::ScanBomb(256, 14);
    EXPECT_EQ(Jpeg::DecodeBounded(fifteen.data(), fifteen.size(), 256, 256, Jpeg::Limits{}, pixels),
              Jpeg::Outcome::TooMuchWork);
    // More scans than allowed, whatever they cost.
    Jpeg::Limits fewScans;
    fewScans.maxScans = 8;
    EXPECT_EQ(Jpeg::DecodeBounded(eleven.data(), eleven.size(), 256, 256, fewScans, pixels),
              Jpeg::Outcome::TooMuchWork);

    // A long decode (the bomb with its work bound lifted) ends within milliseconds of a stop.
    const std::vector<uint8_t> bomb = testpics::ScanBomb(8192, 2999);
    std::atomic<bool> stop{false};
    Jpeg::Limits unbounded;
    unbounded.maxPasses = 100000;
    unbounded.maxScans = 100000;
    unbounded.stop = &stop;
    Jpeg::Outcome outcome = Jpeg::Outcome::Decoded;
    std::atomic<bool> returned{false};
    std::thread decode([&] {
        Pixels out;
        outcome = Jpeg::DecodeBounded(bomb.data(), bomb.size(), 8192, 8192, unbounded, out);
        returned = true;
    });
    EXPECT_FALSE(Within(500ms, [&] { return returned.load(); }));
    const auto stopped = Clock::now();
    stop = true;
    decode.join();
    const double latency = SecondsSince(stopped);
    std::printf("decode stopped %.3f s after the stop\n", latency);
    EXPECT_EQ(outcome, Jpeg::Outcome::Stopped);
    EXPECT_LT(latency, 1.0);
}

TEST(BoundedDecodeTest, AThumbnailThatFailedForNowIsMadeOnALaterTryAndTheUploadDecidesAlone)
{
    testpics::TempFolder folder;
    const std::wstring path = folder.file(L"photo.jpg");
    ASSERT_TRUE(testpics::WriteBytes(path, testpics::ProgressiveJpeg(3000, 2000, 80, false, Gradient)));

    // Locked by another program: no thumbnail for now, and nothing to send while locked.
    auto record = ImageData::CreateUnloaded(path);
    {
        UniqueFileHandle lock(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(lock);
        record->BuildThumbnail(ImageData::kThumbnailBox, ImageData::kThumbnailBox);
        EXPECT_EQ(record->thumbnailState(), ImageData::ThumbnailState::Unavailable);
        EXPECT_FALSE(record->RetryThumbnail());  // not again at once
        EXPECT_TRUE(record->PrepareUpload().encoded.empty());
    }
    // Released: tried again after the delay, and the upload goes from its own decode.
    EXPECT_FALSE(record->PrepareUpload().encoded.empty());
    ASSERT_TRUE(Within(5s, [&] { return record->RetryThumbnail(); }));
    EXPECT_EQ(record->thumbnailState(), ImageData::ThumbnailState::Pending);
    record->BuildThumbnail(ImageData::kThumbnailBox, ImageData::kThumbnailBox);
    EXPECT_EQ(record->thumbnailState(), ImageData::ThumbnailState::Ready);
    EXPECT_EQ(record->width(), 3000u);

    // The address space taken for a moment: the progressive decode's coefficients do not fit.
    auto second = ImageData::CreateUnloaded(path);
    {
        std::vector<void*> taken;
        for (SIZE_T chunk = SIZE_T(64) << 20; chunk >= SIZE_T(64) << 10; chunk /= 2)
            while (void* block = VirtualAlloc(nullptr, chunk, MEM_RESERVE, PAGE_NOACCESS))
                taken.push_back(block);
        // Room for the file and the small allocations, not for 3000 x 2000 of coefficients.
        for (int i = 0; i < 64 && !taken.empty(); ++i) {
            VirtualFree(taken.back(), 0, MEM_RELEASE);
            taken.pop_back();
        }
        second->BuildThumbnail(ImageData::kThumbnailBox, ImageData::kThumbnailBox);
        for (void* block : taken)
            VirtualFree(block, 0, MEM_RELEASE);
    }
    EXPECT_EQ(second->thumbnailState(), ImageData::ThumbnailState::Unavailable);
    ASSERT_TRUE(Within(5s, [&] { return second->RetryThumbnail(); }));
    second->BuildThumbnail(ImageData::kThumbnailBox, ImageData::kThumbnailBox);
    EXPECT_EQ(second->thumbnailState(), ImageData::ThumbnailState::Ready);
    EXPECT_FALSE(second->PrepareUpload().encoded.empty());
}
