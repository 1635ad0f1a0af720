// Write sizes follow the rate the link shows: a write that waited for the network makes the
// next ones fit a quarter of the time-out; writes that return at once grow back.
#include "Biz/WritePacer.h"

#include <gtest/gtest.h>

using namespace Vantor;
using std::chrono::milliseconds;

TEST(WritePacer, SlowWritesShrinkToAQuarterOfTheTimeoutAtTheRateShown)
{
    WritePacer pacer(131072, std::chrono::seconds(60));
    EXPECT_EQ(pacer.next(), 131072u);
    // 128 KiB in 128 s: 1 KiB/s, so 15 s of budget is 15 KiB.
    pacer.written(131072, milliseconds(128000));
    EXPECT_EQ(pacer.next(), 15u * 1024);
    // 15 KiB in 30 s (the link slowed again): 7.5 KiB fits, rounded down to whole KiB.
    pacer.written(15 * 1024, milliseconds(30000));
    EXPECT_EQ(pacer.next(), 7u * 1024);
    // Never below 1 KiB, however slow.
    pacer.written(1024, milliseconds(600000));
    EXPECT_EQ(pacer.next(), WritePacer::kSmallest);
}

TEST(WritePacer, QuickWritesGrowBackToTheLargest)
{
    WritePacer pacer(131072, std::chrono::seconds(2));
    pacer.written(131072, milliseconds(4000));  // 32 KiB/s, half a second of budget: 16 KiB
    EXPECT_EQ(pacer.next(), 16u * 1024);
    pacer.written(16 * 1024, milliseconds(20));  // neither slow nor quick: kept
    EXPECT_EQ(pacer.next(), 16u * 1024);
    const uint32_t expected[] = {32u * 1024, 64u * 1024, 131072u, 131072u};
    for (const uint32_t size : expected) {
        pacer.written(pacer.next(), milliseconds(1));
        EXPECT_EQ(pacer.next(), size);
    }
    // A slow write on a fast link (rate times budget above the largest) stays at the largest.
    pacer.written(131072, milliseconds(60));
    EXPECT_EQ(pacer.next(), 131072u);
}

TEST(WritePacer, WithoutATimeoutEveryWriteIsTheLargest)
{
    WritePacer pacer(131072, milliseconds(0));
    pacer.written(131072, milliseconds(100000));
    EXPECT_EQ(pacer.next(), 131072u);
}

TEST(WritePacer, AShortTimeoutBoundsTheLargestWriteToWhatASlowLinkCarriesInTime)
{
    // Two seconds: the allowance of a write is 4 s, in which 32 KiB/s carries 128 KiB.
    WritePacer shortWait(1u << 20, std::chrono::seconds(2));
    EXPECT_EQ(shortWait.next(), 128u * 1024);
    for (int i = 0; i < 8; ++i)
        shortWait.written(shortWait.next(), milliseconds(1));
    EXPECT_EQ(shortWait.next(), 128u * 1024);  // quick writes grow no further
    // A minute: 3.75 MiB would fit, so the largest write stays as asked.
    WritePacer longWait(1u << 20, std::chrono::seconds(60));
    EXPECT_EQ(longWait.next(), 1u << 20);
    // However short, never below the smallest write; without a time-out, nothing is bounded.
    EXPECT_EQ(WritePacer::LargestFor(1u << 20, milliseconds(1)), WritePacer::kSmallest);
    EXPECT_EQ(WritePacer::LargestFor(1u << 20, milliseconds(0)), 1u << 20);
}
