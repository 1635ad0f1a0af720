// What keeps the engine's threads safe after their starter has gone: GDI+ held by leases
// (a record's thumbnail keeps it running), and detached module threads.
#include "UploadTestSupport.h"

#include "image/GdiplusLease.h"
#include "platform/ModuleThread.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Vantor;
using namespace std::chrono_literals;

TEST(GdiplusLeaseTest, ARecordKeepsGdiplusRunningAfterItsMakerLetGo)
{
    // Tasks of earlier tests may still be letting go of theirs.
    ASSERT_TRUE(WaitUntil([] { return GdiplusLease::ActiveCount() == 0; }, 10s));
    testpics::TempFolder folder;
    std::shared_ptr<ImageData> record;
    {
        const GdiplusLease lease = GdiplusLease::Acquire();
        ASSERT_TRUE(lease);
        const std::wstring path = uploadtest::MakePicture(folder, L"kept.bmp", 64, 48, 1);
        record = ImageData::Create(path);
        ASSERT_TRUE(record && record->thumbnail());
        EXPECT_EQ(GdiplusLease::ActiveCount(), 2);
    }
    // The maker's lease is gone; the record's holds GDI+, and its thumbnail still draws.
    EXPECT_EQ(GdiplusLease::ActiveCount(), 1);
    Gdiplus::Bitmap canvas(32, 32, PixelFormat24bppRGB);
    Gdiplus::Graphics graphics(&canvas);
    EXPECT_EQ(graphics.DrawImage(record->thumbnail().get(), 0, 0), Gdiplus::Ok);
    record.reset();
    EXPECT_EQ(GdiplusLease::ActiveCount(), 0);
    // And it starts again for the next user.
    const GdiplusLease again = GdiplusLease::Acquire();
    EXPECT_TRUE(again);
    EXPECT_EQ(GdiplusLease::ActiveCount(), 1);
}

TEST(ModuleThreadTest, RunsDetachedAndAnExceptionEndsOnlyItsThread)
{
    std::atomic<DWORD> ranOn{0};
    std::atomic<int> done{0};
    ASSERT_TRUE(StartModuleThread([&] {
        ranOn = GetCurrentThreadId();
        ++done;
        throw std::runtime_error("inside the thread");
    }));
    ASSERT_TRUE(WaitUntil([&] { return done == 1; }, 5s));
    EXPECT_NE(ranOn.load(), GetCurrentThreadId());
    ASSERT_TRUE(StartModuleThread([&] { ++done; }));
    EXPECT_TRUE(WaitUntil([&] { return done == 2; }, 5s)) << "the process did not survive the exception";
    EXPECT_TRUE(HoldThisModule()) << "no reference to the module could be taken";
}

TEST(ModuleThreadTest, AnIdleThreadIsReusedAndABusyOneIsNot)
{
    // Threads left idle by earlier tests end after their idle time.
    ASSERT_TRUE(WaitUntil([] { return IdleModuleThreads() == 0; }, 10s));
    std::atomic<DWORD> first{0}, second{0}, third{0}, fourth{0};
    ASSERT_TRUE(RunOnModuleThread([&] {
        first = GetCurrentThreadId();
        throw std::runtime_error("inside the thread");
    }));
    ASSERT_TRUE(WaitUntil([] { return IdleModuleThreads() == 1; }, 5s)) << "the thread did not wait for more work";
    ASSERT_TRUE(RunOnModuleThread([&] { second = GetCurrentThreadId(); }));
    ASSERT_TRUE(WaitUntil([&] { return second != 0 && IdleModuleThreads() == 1; }, 5s));
    EXPECT_EQ(second.load(), first.load()) << "the idle thread was not reused";

    // Two bodies at once: the idle thread takes one, a new thread the other.
    std::atomic<bool> release{false};
    ASSERT_TRUE(RunOnModuleThread([&] {
        third = GetCurrentThreadId();
        WaitUntil([&] { return release.load(); }, 10s);
    }));
    ASSERT_TRUE(RunOnModuleThread([&] {
        fourth = GetCurrentThreadId();
        WaitUntil([&] { return release.load(); }, 10s);
    }));
    ASSERT_TRUE(WaitUntil([&] { return third != 0 && fourth != 0; }, 5s)) << "a body waited for a busy thread";
    EXPECT_NE(third.load(), fourth.load());
    EXPECT_TRUE(third == first || fourth == first);
    release = true;
    EXPECT_TRUE(WaitUntil([] { return IdleModuleThreads() == 2; }, 5s));
}
