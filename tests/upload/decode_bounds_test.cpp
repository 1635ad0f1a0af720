// Pictures that ask much of the decoder, through the upload queue against the recording
// server: ten progressive pictures just under the size ceiling at ten threads, with a list's
// thumbnail threads decoding them at the same time, all arrive; a stop while pictures are
// being prepared (scan bombs, near-ceiling pictures) ends the task within a second.
#include "UploadTestSupport.h"

#include "image/DecodeBudget.h"
#include "image/GdiplusLease.h"
#include "picker/ThumbnailLoader.h"
#include "progressive_jpeg.h"

#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>

using namespace Vantor;
using namespace uploadtest;
using namespace std::chrono_literals;
using Kind = Recorder::Kind;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kNearCeiling = 9400;  // 9400 x 9400 x 3 bytes, just under 2^28

class DecodeBoundsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gdiplus = std::make_unique<GdiplusLease>(GdiplusLease::Acquire());
        // One file, written once and copied: a smooth picture with some texture, about 1 MB.
        big = std::make_unique<std::vector<uint8_t>>(testpics::ProgressiveJpeg(
            kNearCeiling, kNearCeiling, 30, false, [](uint32_t x, uint32_t y, uint8_t rgb[3]) {
                rgb[0] = static_cast<uint8_t>(x / 37);
                rgb[1] = static_cast<uint8_t>(y / 37);
                rgb[2] = static_cast<uint8_t>(((x / 64) ^ (y / 64)) * 16);
            }));
    }
    static void TearDownTestSuite()
    {
        big.reset();
        gdiplus.reset();
    }

    // Records made as the list makes them: named, their thumbnails still to come.
    std::vector<UploadFile> Files(const std::vector<uint8_t>& bytes, int count, const std::wstring& stem)
    {
        std::vector<UploadFile> files;
        for (int i = 0; i < count; ++i) {
            const std::wstring path = folder.file(stem + std::to_wstring(i) + L".jpg");
            EXPECT_TRUE(testpics::WriteBytes(path, bytes));
            auto record = ImageData::CreateUnloaded(path);
            files.push_back({record->id(), record});
        }
        return files;
    }

    static std::vector<ThumbnailLoader::Job> JobsFor(const std::vector<UploadFile>& files)
    {
        std::vector<ThumbnailLoader::Job> jobs;
        for (size_t i = 0; i < files.size(); ++i) {
            ThumbnailLoader::Job job;
            job.itemId = static_cast<int32_t>(i);
            job.record = files[i].record;
            jobs.push_back(std::move(job));
        }
        return jobs;
    }

    static inline std::unique_ptr<GdiplusLease> gdiplus;
    static inline std::unique_ptr<std::vector<uint8_t>> big;
    testpics::TempFolder folder;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

double MiB(uint64_t bytes)
{
    return static_cast<double>(bytes) / (1 << 20);
}

}  // namespace

TEST_F(DecodeBoundsTest, TenNearCeilingProgressivePicturesAtTenThreadsAllArrive)
{
    ASSERT_FALSE(big->empty());
    std::printf("near-ceiling progressive picture: %.2f MiB, %d scans\n", MiB(big->size()),
                testpics::ScanCount(*big));
    const std::vector<UploadFile> files = Files(*big, 10, L"big");
    ThumbnailLoader thumbnails;
    thumbnails.Schedule(JobsFor(files));
    const auto start = Clock::now();
    // Sent shrunk, so that the test spends its time decoding rather than encoding: each
    // decode still keeps the whole picture's coefficients (about 253 MiB).
    UploadSettings settings = SettingsFor("/hash", 10);
    settings.picture.maxWidth = 2048;
    settings.picture.maxHeight = 2048;
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, settings, recorder));
    ASSERT_TRUE(queue.WaitUntilIdle(500s)) << "the task did not end";
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    const auto events = recorder->events();
    for (const UploadFile& file : files) {
        EXPECT_EQ(Recorder::Count(events, Kind::Completed, file.id), 1u) << file.id;
        EXPECT_EQ(file.record->UploadState().phase, UploadPhase::Done);
    }
    EXPECT_EQ(recorder->ended().failed, 0u);
    ASSERT_TRUE(Recorder::Count(events, Kind::TaskCompleted) == 1u);
    // The thumbnails too, sooner or later: none failed for memory.
    const auto end = Clock::now() + 120s;
    auto ready = [&] {
        for (const UploadFile& file : files)
            if (file.record->thumbnailState() != ImageData::ThumbnailState::Ready)
                return false;
        return true;
    };
    while (!ready() && Clock::now() < end)
        Sleep(20);
    EXPECT_TRUE(ready());

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory)));
    const DecodeBudget& budget = DecodeBudget::Process();
    std::printf("ten near-ceiling pictures sent in %.1f s; peak pagefile usage %.0f MiB, peak of the decode "
                "budget %.0f of %.0f MiB\n",
                seconds, MiB(memory.PeakPagefileUsage), MiB(budget.peak()), MiB(budget.capacity()));
    EXPECT_LE(budget.peak(), budget.capacity());
}

TEST_F(DecodeBoundsTest, AStopWhilePicturesArePreparedEndsTheTaskWithinASecond)
{
    // Scan bombs and near-ceiling pictures, all being decoded or waiting for memory.
    std::vector<UploadFile> files = Files(testpics::ScanBomb(8192, 2999), 3, L"bomb");
    for (UploadFile& file : Files(*big, 3, L"big"))
        files.push_back(std::move(file));
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, SettingsFor("/hash", 4), recorder));
    // Stopped once the decodes hold their shares or wait for them, whatever the machine's pace.
    const DecodeBudget& budget = DecodeBudget::Process();
    const auto limit = Clock::now() + 30s;
    auto decoding = [&] { return budget.inUse() > 0 || budget.waiting() > 0; };
    while (!decoding() && Clock::now() < limit)
        Sleep(5);
    ASSERT_TRUE(decoding()) << "no decode began";
    Sleep(200);  // well into them
    ASSERT_FALSE(queue.WaitUntilIdle(0ms)) << "the pictures were prepared too fast to stop";
    const auto stopped = Clock::now();
    queue.Stop();
    ASSERT_TRUE(queue.WaitUntilIdle(60s));
    const double latency = std::chrono::duration<double>(Clock::now() - stopped).count();
    std::printf("the task ended %.3f s after the stop\n", latency);
    EXPECT_LT(latency, 1.0);
    EXPECT_EQ(Recorder::Count(recorder->events(), Kind::Completed), 0u);
    EXPECT_TRUE(recorder->ended().stopped);
}
