// The hint strip's total progress line: units, the time left and its edge cases.
#include "control/TaskSummaryText.h"
#include "control/UploadEstimate.h"
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

TEST(ProgressText, AllSentAndWaitingForTheServerSaysSoInsteadOfATimeLeft)
{
    TotalProgress progress{9, 10, 5 * 1024 * 1024, 5 * 1024 * 1024, 1024 * 1024};
    progress.awaitingServer = true;
    const std::wstring line = FormatTotalProgress(progress);
    EXPECT_EQ(line, L"正在上传 9/10 张，5.0 MB/5.0 MB，已全部发出，等待服务器回应");
    EXPECT_EQ(line.find(L"剩余"), std::wstring::npos);
}

namespace {

FileBytes File(uint64_t onDisk, UploadPhase phase, uint32_t size = 0, uint32_t sent = 0)
{
    FileBytes file;
    file.fileSize = onDisk;
    file.state.phase = phase;
    file.state.size = size;
    file.state.sent = sent;
    return file;
}

constexpr uint64_t MB = 1024 * 1024;

}  // namespace

TEST(UploadEstimate, TheTotalIsSetAtTheStartAndSettlesOnceTheFirstFileIsPrepared)
{
    // Ten photos of 7 MB on disk that the page's settings make into 13 MB each.
    std::vector<FileBytes> files(10, File(7 * MB, UploadPhase::Waiting));
    TaskBytes bytes = EstimateTaskBytes(files);
    EXPECT_EQ(bytes.total, 70 * MB);
    EXPECT_EQ(bytes.done, 0u);
    EXPECT_FALSE(bytes.awaitingServer);

    // Being prepared: nothing counted as sent yet, the estimate unchanged.
    files[0] = File(7 * MB, UploadPhase::Sending, 0, 0);
    EXPECT_EQ(EstimateTaskBytes(files).total, 70 * MB);

    // One prepared: the others are expected to grow alike, so the total is right at once
    // rather than growing with every file prepared (70, 76, 82 ... MB).
    files[0] = File(7 * MB, UploadPhase::Sending, 13 * MB, 4 * MB);
    bytes = EstimateTaskBytes(files);
    EXPECT_EQ(bytes.total, 130 * MB);
    EXPECT_EQ(bytes.done, 4 * MB);
    files[1] = File(7 * MB, UploadPhase::Sending, 13 * MB, 0);
    files[0] = File(7 * MB, UploadPhase::Done, 13 * MB, 13 * MB);
    bytes = EstimateTaskBytes(files);
    EXPECT_EQ(bytes.total, 130 * MB);
    EXPECT_EQ(bytes.done, 13 * MB);

    // Files of other sizes scale by the same measure; a sent count beyond the size is capped.
    std::vector<FileBytes> mixed{File(2 * MB, UploadPhase::Sending, 1 * MB, 5 * MB),
                                 File(6 * MB, UploadPhase::Waiting)};
    bytes = EstimateTaskBytes(mixed);
    EXPECT_EQ(bytes.total, 4 * MB);
    EXPECT_EQ(bytes.done, 1 * MB);
}

TEST(UploadEstimate, FailedFilesCountWhatTheySentAndTheServerIsAwaitedOnlyAtTheEnd)
{
    std::vector<FileBytes> files{File(10 * MB, UploadPhase::Done, 10 * MB, 10 * MB),
                                 File(10 * MB, UploadPhase::Failed, 10 * MB, 3 * MB),
                                 File(10 * MB, UploadPhase::Failed),  // unreadable: nothing went out
                                 File(10 * MB, UploadPhase::AwaitingReply, 10 * MB, 10 * MB),
                                 File(10 * MB, UploadPhase::Waiting)};
    TaskBytes bytes = EstimateTaskBytes(files);
    EXPECT_EQ(bytes.total, 33 * MB);
    EXPECT_EQ(bytes.done, 23 * MB);
    EXPECT_FALSE(bytes.awaitingServer);  // one still waits its turn

    files[4] = File(10 * MB, UploadPhase::Retrying, 10 * MB, 6 * MB);
    EXPECT_FALSE(EstimateTaskBytes(files).awaitingServer);
    files[4] = File(10 * MB, UploadPhase::AwaitingReply, 10 * MB, 10 * MB);
    bytes = EstimateTaskBytes(files);
    EXPECT_TRUE(bytes.awaitingServer);
    EXPECT_EQ(bytes.done, bytes.total);

    // Nothing awaited when everything has ended.
    files[3] = File(10 * MB, UploadPhase::Done, 10 * MB, 10 * MB);
    files[4] = File(10 * MB, UploadPhase::Done, 10 * MB, 10 * MB);
    EXPECT_FALSE(EstimateTaskBytes(files).awaitingServer);
    EXPECT_FALSE(EstimateTaskBytes({}).awaitingServer);
}

TEST(TaskSummaryText, SaysWhatWasUploadedAndWhyTheOthersWereNot)
{
    TaskSummary summary;
    summary.uploaded = 18;
    summary.uploadedBytes = static_cast<uint64_t>(46.2 * MB);
    EXPECT_EQ(FormatTaskSummary(summary), L"18 张照片已上传（46.2 MB）");

    UploadFailure refused;
    refused.reason = FailureReason::HttpStatus;
    refused.status = 503;
    UploadFailure unreachable;
    unreachable.reason = FailureReason::CannotConnect;
    summary.failures = {unreachable};
    EXPECT_EQ(FormatTaskSummary(summary), L"18 张照片已上传（46.2 MB），1 张上传失败：无法连接服务器");
    summary.failures = {unreachable, refused, unreachable};
    EXPECT_EQ(FormatTaskSummary(summary),
              L"18 张照片已上传（46.2 MB），3 张上传失败：2 张无法连接服务器，1 张服务器拒绝 503");

    summary = TaskSummary{};
    summary.failures = {refused, refused};
    summary.cancelled = 5;
    EXPECT_EQ(FormatTaskSummary(summary), L"没有照片上传成功，2 张上传失败：服务器拒绝 503；5 张已取消");
    summary.failures.clear();
    EXPECT_EQ(FormatTaskSummary(summary), L"没有照片上传成功，5 张已取消");
}
