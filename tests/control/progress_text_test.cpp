// The hint strip's total progress line: units, the time left and its edge cases.
#include "control/UploadProgressText.h"

#include <gtest/gtest.h>

using namespace Vantor;

TEST(ProgressText, BytesInBinaryUnits)
{
    EXPECT_EQ(FormatBytes(0), L"0 B");
    EXPECT_EQ(FormatBytes(1023), L"1023 B");
    EXPECT_EQ(FormatBytes(1024), L"1.0 KB");
    EXPECT_EQ(FormatBytes(1536), L"1.5 KB");
    EXPECT_EQ(FormatBytes(5u * 1024 * 1024), L"5.0 MB");
    EXPECT_EQ(FormatBytes(3ull * 1024 * 1024 * 1024 / 2), L"1.50 GB");
}

TEST(ProgressText, TimeLeftRoundsUpAndIsUnknownWithoutSpeed)
{
    EXPECT_EQ(SecondsLeft(0, 0), 0);
    EXPECT_EQ(SecondsLeft(100, 0), -1);
    EXPECT_EQ(SecondsLeft(100, 100), 1);
    EXPECT_EQ(SecondsLeft(101, 100), 2);
    EXPECT_EQ(FormatDuration(4), L"0:04");
    EXPECT_EQ(FormatDuration(75), L"1:15");
    EXPECT_EQ(FormatDuration(3600 + 62), L"1:01:02");
}

TEST(ProgressText, TheWholeLine)
{
    TotalProgress progress{3, 10, 2 * 1024 * 1024, 5 * 1024 * 1024, 1024 * 1024};
    EXPECT_EQ(FormatTotalProgress(progress), L"正在上传 3/10 张，2.0 MB/5.0 MB，1.0 MB/s，剩余 0:03");
    // Before the speed is known the time left is left out.
    progress.bytesPerSecond = 0;
    EXPECT_EQ(FormatTotalProgress(progress), L"正在上传 3/10 张，2.0 MB/5.0 MB，0 B/s");
    // More sent than the estimate (a file larger once encoded): never a negative rest.
    progress = TotalProgress{1, 1, 700, 500, 100};
    EXPECT_EQ(FormatTotalProgress(progress), L"正在上传 1/1 张，700 B/700 B，100 B/s，剩余 0:00");
}
