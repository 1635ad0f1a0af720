// The upload queue's retries against the recording server's failing paths: transient
// failures are tried again (and stored once), judged replies and refusals are sent once, a
// server's Retry-After is waited for, and Stop ends a waiting retry at once.
#include "UploadTestSupport.h"

#include "image/GdiplusLease.h"
#include "platform/TextConv.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace Vantor;
using namespace uploadtest;
using namespace std::chrono_literals;
using Kind = Recorder::Kind;

namespace {

class RetryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gdiplus = std::make_unique<GdiplusLease>(GdiplusLease::Acquire()); }
    static void TearDownTestSuite() { gdiplus.reset(); }

    std::vector<UploadFile> Pictures(int n, const std::wstring& prefix)
    {
        std::vector<std::wstring> paths;
        for (int i = 0; i < n; ++i)
            paths.push_back(MakePicture(folder, prefix + std::to_wstring(i) + L".bmp", 24, 24, i + 50));
        return FilesOf(paths);
    }

    static UploadSettings Retrying(const std::string& path, int threads, std::vector<int> delays)
    {
        UploadSettings settings = SettingsFor(path, threads);
        settings.retryDelaysMs = std::move(delays);
        return settings;
    }

    std::vector<Recorder::Event> RunToEnd(const std::vector<UploadFile>& files, const UploadSettings& settings)
    {
        UploadQueue queue;
        EXPECT_TRUE(queue.Start(files, settings, recorder));
        EXPECT_TRUE(queue.WaitUntilIdle(90s)) << "the task did not end";
        return recorder->events();
    }

    static bool Fails(const UploadFile& file, unsigned every)
    {
        // The server's choice: the id as a number is a multiple of every.
        unsigned remainder = 0;
        for (const char c : file.id)
            remainder = (remainder * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10)) % every;
        return remainder == 0;
    }

    static inline std::unique_ptr<GdiplusLease> gdiplus;
    testpics::TempFolder folder;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

}  // namespace

TEST_F(RetryTest, DropsAndServerErrorsAreTriedAgainAndEveryFileIsStoredOnce)
{
    // Every third file fails its first two tries (a reset, then a 503).
    const std::vector<UploadFile> files = Pictures(24, L"f");
    const auto events = RunToEnd(files, Retrying("/flaky?every=3&fails=2", 3, {100, 200}));
    size_t failing = 0;
    for (const UploadFile& file : files) {
        const bool fails = Fails(file, 3);
        failing += fails;
        EXPECT_EQ(Recorder::Finals(events, file.id), 1u);
        EXPECT_EQ(Recorder::Count(events, Kind::Completed, file.id), 1u) << file.id;
        EXPECT_EQ(Recorder::Count(events, Kind::Retrying, file.id), fails ? 2u : 0u);
        EXPECT_EQ(file.record->Reply()["stored"].asInt(), 1) << "stored twice";
        EXPECT_EQ(file.record->Reply()["tries"].asInt(), fails ? 3 : 1);
        EXPECT_EQ(RecordedBodiesContaining(file.id), fails ? 3 : 1) << "every try carries the same id";
        EXPECT_EQ(file.record->UploadState().phase, UploadPhase::Done);
        EXPECT_EQ(file.record->uploadFailure().reason, FailureReason::None);
        // A retry's report comes before the file's one end, and says why.
        const int end = Recorder::IndexOf(events, Kind::Completed, file.id);
        for (size_t i = 0; i < events.size(); ++i) {
            if (events[i].id != file.id || events[i].kind != Kind::Retrying)
                continue;
            EXPECT_LT(static_cast<int>(i), end);
            EXPECT_TRUE(events[i].failure.transient);
            EXPECT_TRUE(events[i].failure.reason == FailureReason::ConnectionLost ||
                        (events[i].failure.reason == FailureReason::HttpStatus && events[i].failure.status == 503))
                << FailureCode(events[i].failure.reason) << " " << events[i].failure.status;
        }
    }
    ASSERT_GT(failing, 0u) << "no file of this run was chosen to fail";
    const UploadTaskResult result = recorder->ended();
    EXPECT_EQ(result.completed.size(), files.size());
    EXPECT_EQ(result.failed, 0u);
    EXPECT_EQ(result.retries, 2 * failing);
    EXPECT_EQ(Recorder::Count(events, Kind::TaskCompleted), 1u);
}

TEST_F(RetryTest, ABusyServersRetryAfterIsWaitedFor)
{
    const std::vector<UploadFile> files = Pictures(1, L"b");
    const auto events = RunToEnd(files, Retrying("/busy", 1, {50}));
    const int retry = Recorder::IndexOf(events, Kind::Retrying, files[0].id);
    const int done = Recorder::IndexOf(events, Kind::Completed, files[0].id);
    ASSERT_GE(retry, 0);
    ASSERT_GT(done, retry);
    EXPECT_EQ(events[retry].bytes, 2000u) << "the delay asked for";
    EXPECT_EQ(events[retry].failure.status, 429u);
    EXPECT_GE(events[done].at - events[retry].at, 2000ms) << "the second try went before its time";
}

TEST_F(RetryTest, RefusalsJudgedRepliesAndUnreadableFilesAreTriedOnceEachWithItsReason)
{
    struct Case {
        std::string path;
        FailureReason reason;
        uint32_t status;
    };
    const Case cases[] = {
        {"/status400", FailureReason::HttpStatus, 400},
        {"/refuse", FailureReason::NotAccepted, 200},
        {"/html", FailureReason::BadReply, 200},
    };
    for (const Case& c : cases) {
        auto own = std::make_shared<Recorder>();
        const std::vector<UploadFile> files = Pictures(1, Utf8ToUtf16(c.path.substr(1)));
        UploadQueue queue;
        ASSERT_TRUE(queue.Start(files, Retrying(c.path, 1, {20, 20}), own));
        ASSERT_TRUE(queue.WaitUntilIdle(30s));
        const auto events = own->events();
        EXPECT_EQ(Recorder::Count(events, Kind::Retrying), 0u) << c.path;
        EXPECT_EQ(RecordedBodiesContaining(files[0].id), 1) << c.path << " sent again";
        const int failed = Recorder::IndexOf(events, Kind::Failed, files[0].id);
        ASSERT_GE(failed, 0) << c.path;
        EXPECT_EQ(events[failed].failure.reason, c.reason) << c.path;
        EXPECT_EQ(events[failed].failure.status, c.status) << c.path;
        EXPECT_FALSE(events[failed].failure.reply.empty()) << c.path;
        EXPECT_EQ(files[0].record->uploadFailure().reason, c.reason) << "the record keeps the reason";
        EXPECT_EQ(files[0].record->UploadState().phase, UploadPhase::Failed);
    }
    // A file that cannot be read is not sent at all, and not tried again either.
    const std::wstring garbage = folder.file(L"garbage.jpg");
    ASSERT_TRUE(testpics::WriteBytes(garbage, std::vector<uint8_t>(4000, 0x11)));
    const std::vector<UploadFile> unreadable = FilesOf({garbage});
    const auto events = RunToEnd(unreadable, Retrying("/record", 1, {20}));
    ASSERT_EQ(Recorder::Count(events, Kind::Failed), 1u);
    EXPECT_EQ(events[Recorder::IndexOf(events, Kind::Failed)].failure.reason, FailureReason::Unreadable);
    EXPECT_EQ(Recorder::Count(events, Kind::Retrying), 0u);
}

TEST_F(RetryTest, AServerThatCannotBeReachedIsTriedAsOftenAsTheDelaysSay)
{
    const std::vector<UploadFile> files = Pictures(1, L"r");
    UploadSettings settings;
    settings.postUrl = Utf8ToUtf16(Env("FOTOLOFT_REFUSED") + "/record");
    settings.retryDelaysMs = {30, 30};
    const auto events = RunToEnd(files, settings);
    EXPECT_EQ(Recorder::Count(events, Kind::Retrying), 2u);
    const int failed = Recorder::IndexOf(events, Kind::Failed, files[0].id);
    ASSERT_GE(failed, 0);
    EXPECT_EQ(events[failed].failure.reason, FailureReason::CannotConnect);
    EXPECT_EQ(recorder->ended().failed, 1u);
}

TEST_F(RetryTest, WithoutDelaysAFileIsTriedOnceAsBefore)
{
    const std::vector<UploadFile> files = Pictures(1, L"n");
    const auto events = RunToEnd(files, Retrying("/flaky?every=1&fails=1", 1, {}));
    EXPECT_EQ(Recorder::Count(events, Kind::Retrying), 0u);
    EXPECT_EQ(Recorder::Count(events, Kind::Failed, files[0].id), 1u);
    EXPECT_EQ(RecordedBodiesContaining(files[0].id), 1);
    EXPECT_EQ(files[0].record->uploadFailure().reason, FailureReason::ConnectionLost);
}

TEST_F(RetryTest, StopDuringARetryWaitEndsTheTaskWithinASecond)
{
    // The one file fails and waits 30 s for its next try; the next file of the list waits for
    // the worker, which the retry does not hold: it is sent meanwhile.
    const std::vector<UploadFile> files = Pictures(3, L"s");
    UploadSettings settings = Retrying("/flaky?every=1&fails=5", 1, {30000});
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, settings, recorder));
    ASSERT_TRUE(recorder->WaitFor([&](const auto& e) { return Recorder::Count(e, Kind::Retrying) >= 2; }, 30s));
    EXPECT_EQ(files[2].record->UploadState().phase, UploadPhase::Retrying);
    const auto stopped = std::chrono::steady_clock::now();
    queue.Stop();
    ASSERT_TRUE(queue.WaitUntilIdle(5s));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count();
    EXPECT_LT(seconds, 1.0) << "Stop took " << seconds << " s";
    std::printf("stop during a retry wait to the task's end: %.3f s\n", seconds);
    const auto events = recorder->events();
    for (const UploadFile& file : {files[2], files[1]}) {
        ASSERT_EQ(Recorder::Count(events, Kind::Failed, file.id), 1u) << "a tried file ends once";
        // It ends with the failure of its last try, not with the stop.
        EXPECT_EQ(events[Recorder::IndexOf(events, Kind::Failed, file.id)].failure.reason,
                  FailureReason::ConnectionLost);
        EXPECT_EQ(file.record->UploadState().phase, UploadPhase::Failed);
    }
    EXPECT_GT(Recorder::IndexOf(events, Kind::TaskEnded), Recorder::LastFinalIndex(events));
    EXPECT_TRUE(recorder->ended().stopped);
}
