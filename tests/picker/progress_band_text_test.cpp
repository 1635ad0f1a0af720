// The words of an item's progress band: a file waiting its turn and one being prepared must
// not both read "0%".
#include <gtest/gtest.h>

#include "picker/ProgressBandText.h"

using Vantor::ProgressBandText;
using Vantor::UploadPhase;
using Vantor::UploadStatus;

namespace {

UploadStatus Status(UploadPhase phase, uint32_t sent, uint32_t size)
{
    UploadStatus status;
    status.phase = phase;
    status.sent = sent;
    status.size = size;
    return status;
}

}  // namespace

TEST(ProgressBandText, WaitingAndPreparingSayWhatTheyAreAndNeverAShare)
{
    EXPECT_EQ(ProgressBandText(Status(UploadPhase::None, 0, 0)), L"");
    EXPECT_EQ(ProgressBandText(Status(UploadPhase::Waiting, 0, 0)), L"\u7B49\u5F85");
    // Bytes of an earlier try do not turn a waiting file into a share.
    EXPECT_EQ(ProgressBandText(Status(UploadPhase::Waiting, 500, 1000)), L"\u7B49\u5F85");
    EXPECT_EQ(ProgressBandText(Status(UploadPhase::Sending, 0, 0)), L"\u51C6\u5907\u4E2D");
    EXPECT_NE(ProgressBandText(Status(UploadPhase::Waiting, 0, 0)), ProgressBandText(Status(UploadPhase::Sending, 0, 0)));
}

TEST(ProgressBandText, APreparedFileShowsTheWholePerCentSentRoundedDown)
{
    EXPECT_EQ(ProgressBandText(Status(UploadPhase::Sending, 0, 1000)), L"0%");
    EXPECT_EQ(ProgressBandText(Status(UploadPhase::Sending, 29, 100)), L"29%");
    EXPECT_EQ(ProgressBandText(Status(UploadPhase::Sending, 999, 1000)), L"99%");
    EXPECT_EQ(ProgressBandText(Status(UploadPhase::Sending, 4000000000u, 4000000001u)), L"99%");
    EXPECT_EQ(ProgressBandText(Status(UploadPhase::Sending, 1200, 1000)), L"100%");
    // The last byte went out: not "100%" for as long as the server keeps its answer.
    EXPECT_EQ(ProgressBandText(Status(UploadPhase::AwaitingReply, 1000, 1000)), L"\u7B49\u5F85\u670D\u52A1\u5668");
    EXPECT_EQ(ProgressBandText(Status(UploadPhase::Done, 1000, 1000)), L"\u4E0A\u4F20\u6210\u529F");
}
