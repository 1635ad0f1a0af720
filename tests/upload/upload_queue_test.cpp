// The upload queue against the recording server that run_http_tests.py starts on
// 127.0.0.1: order, concurrency, every file's one final report, stopping, and replies the
// server refuses. The pictures are real files the tests write.
#include "UploadTestSupport.h"

#include "Biz/HttpClient.h"
#include "Biz/SpeedMeter.h"
#include "image/GdiplusLease.h"
#include "platform/TextConv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <thread>

using namespace Vantor;
using namespace uploadtest;
using namespace std::chrono_literals;
using Kind = Recorder::Kind;

namespace {

class UploadQueueTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gdiplus = std::make_unique<GdiplusLease>(GdiplusLease::Acquire()); }
    static void TearDownTestSuite() { gdiplus.reset(); }

    // n small pictures, in list order.
    std::vector<UploadFile> Pictures(int n, uint32_t size = 40)
    {
        std::vector<std::wstring> paths;
        for (int i = 0; i < n; ++i)
            paths.push_back(MakePicture(folder, L"p" + std::to_wstring(i) + L".bmp", size, size, i + 1));
        return FilesOf(paths);
    }

    // Runs a task to its end and returns its reports.
    std::vector<Recorder::Event> RunToEnd(const std::vector<UploadFile>& files, const UploadSettings& settings)
    {
        UploadQueue queue;
        EXPECT_TRUE(queue.Start(files, settings, recorder));
        EXPECT_TRUE(queue.WaitUntilIdle(60s)) << "the task did not end";
        return recorder->events();
    }

    static inline std::unique_ptr<GdiplusLease> gdiplus;
    testpics::TempFolder folder;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

// Every file of the list has exactly one final report and the task's end comes after all.
void ExpectOneFinalEachThenTheEnd(const std::vector<Recorder::Event>& events, const std::vector<UploadFile>& files)
{
    for (const UploadFile& file : files)
        EXPECT_EQ(Recorder::Finals(events, file.id), 1u) << file.id;
    EXPECT_EQ(Recorder::Count(events, Kind::TaskEnded), 1u);
    EXPECT_GT(Recorder::IndexOf(events, Kind::TaskEnded), Recorder::LastFinalIndex(events));
}

}  // namespace

TEST_F(UploadQueueTest, OneAtATimeTheLastFileGoesFirst)
{
    const std::vector<UploadFile> files = Pictures(3);
    const auto events = RunToEnd(files, SettingsFor("/record", 1));
    ExpectOneFinalEachThenTheEnd(events, files);
    ASSERT_EQ(Recorder::Count(events, Kind::Completed), 3u);
    // Finished last first, and the server saw them in that order.
    std::vector<std::string> finished;
    for (const auto& e : events)
        if (e.kind == Kind::Completed)
            finished.push_back(e.id);
    EXPECT_EQ(finished, (std::vector<std::string>{files[2].id, files[1].id, files[0].id}));
    EXPECT_LT(files[2].record->Reply()["seq"].asInt(), files[1].record->Reply()["seq"].asInt());
    EXPECT_LT(files[1].record->Reply()["seq"].asInt(), files[0].record->Reply()["seq"].asInt());
    // The task's own record, in the same order; then "complete", since nothing was left.
    const UploadTaskResult result = recorder->ended();
    ASSERT_EQ(result.completed.size(), 3u);
    EXPECT_EQ(result.completed[0], files[2].record);
    EXPECT_EQ(result.completed[2], files[0].record);
    EXPECT_EQ(result.leftWaiting, 0u);
    EXPECT_GT(Recorder::IndexOf(events, Kind::TaskCompleted), Recorder::IndexOf(events, Kind::TaskEnded));
    for (const UploadFile& file : files) {
        // The progress reports add up to the picture sent, and the band says done.
        uint64_t sent = 0;
        for (const auto& e : events)
            if (e.kind == Kind::Progress && e.id == file.id)
                sent += e.bytes;
        EXPECT_EQ(sent, file.record->UploadSize.load());
        EXPECT_GT(sent, 0u);
        EXPECT_EQ(file.record->UploadState().phase, UploadPhase::Done);
        EXPECT_EQ(file.record->UploadState().share(), 1.0);
        EXPECT_EQ(RecordedBodiesContaining(file.id), 1);
        // Reported from a worker, never from the thread that started the task.
        for (const auto& e : events)
            EXPECT_NE(e.thread, GetCurrentThreadId());
    }
}

TEST_F(UploadQueueTest, TenFilesThreeAtATimeNeverMoreInFlight)
{
    const std::vector<UploadFile> files = Pictures(10);
    const auto events = RunToEnd(files, SettingsFor("/slow?group=ten", 3));
    ExpectOneFinalEachThenTheEnd(events, files);
    int peak = 0;
    for (const UploadFile& file : files)
        peak = std::max(peak, file.record->Reply()["peak"].asInt());
    // The server counted: three at once (so the three workers really overlapped), never four.
    EXPECT_EQ(peak, 3);
    EXPECT_EQ(Recorder::Count(events, Kind::Completed), 10u);
    EXPECT_EQ(Recorder::Count(events, Kind::TaskCompleted), 1u);
}

TEST_F(UploadQueueTest, EveryFileFailingStillEndsAndCompletesWithNothingUploaded)
{
    const std::vector<UploadFile> files = Pictures(3);
    const auto events = RunToEnd(files, SettingsFor("/html", 2));
    ExpectOneFinalEachThenTheEnd(events, files);
    EXPECT_EQ(Recorder::Count(events, Kind::Failed), 3u);
    EXPECT_EQ(Recorder::Count(events, Kind::TaskCompleted), 1u);
    EXPECT_GT(Recorder::IndexOf(events, Kind::TaskCompleted), Recorder::IndexOf(events, Kind::TaskEnded));
    const UploadTaskResult result = recorder->ended();
    EXPECT_TRUE(result.completed.empty());
    EXPECT_EQ(result.failed, 3u);
    for (const UploadFile& file : files) {
        EXPECT_EQ(file.record->UploadState().phase, UploadPhase::Failed);
        EXPECT_EQ(file.record->UploadState().share(), 0.0) << "a failed file shows no progress";
        EXPECT_TRUE(file.record->Reply().isNull()) << "an HTML page is no reply";
    }
}

TEST_F(UploadQueueTest, AReplyThatIsJsonButNotASuccessFailsAndIsKept)
{
    const std::vector<UploadFile> files = Pictures(1);
    const auto events = RunToEnd(files, SettingsFor("/refuse", 3));
    ExpectOneFinalEachThenTheEnd(events, files);
    EXPECT_EQ(Recorder::Count(events, Kind::Failed), 1u);
    EXPECT_EQ(files[0].record->Reply()["success"].asInt(), 0);
    EXPECT_EQ(files[0].record->Reply()["msg"].asString(), "refused");
    EXPECT_EQ(RecordedBodiesContaining(files[0].id), 1);
    EXPECT_TRUE(recorder->ended().completed.empty());
}

TEST_F(UploadQueueTest, PicturesThatCannotBePreparedAreNotSent)
{
    const std::wstring garbage = folder.file(L"garbage.jpg");
    ASSERT_TRUE(testpics::WriteBytes(garbage, std::vector<uint8_t>(5000, 0x5A)));
    const std::wstring moved = MakePicture(folder, L"moved.bmp", 30, 30, 7);
    const std::wstring good = MakePicture(folder, L"good.bmp", 30, 30, 9);
    const std::vector<UploadFile> files = FilesOf({garbage, moved, good});
    ASSERT_TRUE(DeleteFileW(moved.c_str()));  // gone after it was added
    const auto events = RunToEnd(files, SettingsFor("/record", 1));
    ExpectOneFinalEachThenTheEnd(events, files);
    EXPECT_EQ(Recorder::Count(events, Kind::Failed, files[0].id), 1u);
    EXPECT_EQ(Recorder::Count(events, Kind::Failed, files[1].id), 1u);
    EXPECT_EQ(Recorder::Count(events, Kind::Completed, files[2].id), 1u);
    EXPECT_EQ(RecordedBodiesContaining(files[0].id), 0) << "an undecodable picture went out";
    EXPECT_EQ(RecordedBodiesContaining(files[1].id), 0) << "a missing picture went out";
    EXPECT_EQ(RecordedBodiesContaining(files[2].id), 1);
    EXPECT_EQ(Recorder::Count(events, Kind::Progress, files[0].id), 0u);
}

TEST_F(UploadQueueTest, ThePagesPictureSettingsShapeWhatIsSent)
{
    // 43 x 41 shrunk to fit 17 x 17: 17 x 16 (41 * 17 / 43 = 16.2), a size no other test sends.
    const std::vector<UploadFile> files = FilesOf({MakePicture(folder, L"limited.bmp", 43, 41, 5)});
    UploadSettings settings = SettingsFor("/record", 1);
    settings.picture.maxWidth = 17;
    settings.picture.maxHeight = 17;
    const auto events = RunToEnd(files, settings);
    ExpectOneFinalEachThenTheEnd(events, files);
    EXPECT_EQ(Recorder::Count(events, Kind::Completed, files[0].id), 1u);
    EXPECT_EQ(RecordedBodiesContaining("name=\"width\"\r\n\r\n17\r\n"), 1);
    EXPECT_EQ(RecordedBodiesContaining("name=\"height\"\r\n\r\n16\r\n"), 1);
}

TEST_F(UploadQueueTest, StopWhileTwoFilesSendAndThreeWait)
{
    // 3 MB pictures to a server that reads slowly: the two first files are still sending.
    std::vector<std::wstring> paths;
    for (int i = 0; i < 5; ++i)
        paths.push_back(MakePicture(folder, L"big" + std::to_wstring(i) + L".bmp", 1000, 1000, i));
    const std::vector<UploadFile> files = FilesOf(paths);
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, SettingsFor("/slowread", 2), recorder));
    const bool twoSending = recorder->WaitFor(
        [&](const auto& events) {
            return Recorder::Count(events, Kind::Progress, files[4].id) > 0 &&
                   Recorder::Count(events, Kind::Progress, files[3].id) > 0;
        },
        30s);
    ASSERT_TRUE(twoSending);
    ASSERT_EQ(Recorder::Count(recorder->events(), Kind::Completed), 0u) << "the server read too fast for this test";
    const auto stopped = std::chrono::steady_clock::now();
    queue.Stop();
    ASSERT_TRUE(queue.WaitUntilIdle(10s));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count();
    EXPECT_LT(seconds, 2.0) << "Stop took " << seconds << " s";
    std::printf("stop to the task's end: %.3f s\n", seconds);

    const auto events = recorder->events();
    EXPECT_EQ(Recorder::Count(events, Kind::Failed, files[4].id), 1u);
    EXPECT_EQ(Recorder::Count(events, Kind::Failed, files[3].id), 1u);
    // Stopped in flight is not failed: back to waiting for the next task, unmarked, with the
    // reason kept for the report to the page.
    for (int i = 3; i < 5; ++i) {
        EXPECT_EQ(files[i].record->UploadState().phase, UploadPhase::None) << "file " << i;
        EXPECT_EQ(files[i].record->uploadFailure().reason, Vantor::FailureReason::Stopped) << "file " << i;
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Recorder::Count(events, Kind::Progress, files[i].id) + Recorder::Finals(events, files[i].id), 0u)
            << "a waiting file was reported";
        EXPECT_EQ(files[i].record->UploadState().phase, UploadPhase::None);
    }
    EXPECT_EQ(Recorder::Count(events, Kind::TaskEnded), 1u);
    EXPECT_EQ(Recorder::Count(events, Kind::TaskCompleted), 0u);
    const UploadTaskResult result = recorder->ended();
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.leftWaiting, 3u);
}

TEST_F(UploadQueueTest, StopBeforeTheTaskLoopSendsNothing)
{
    const std::vector<UploadFile> files = Pictures(3);
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, SettingsFor("/record", 2), recorder));
    queue.Stop();
    ASSERT_TRUE(queue.WaitUntilIdle(2s));
    const auto events = recorder->events();
    EXPECT_EQ(Recorder::Count(events, Kind::TaskEnded), 1u);
    EXPECT_EQ(Recorder::Count(events, Kind::TaskCompleted), 0u);
    EXPECT_EQ(Recorder::Count(events, Kind::Completed), 0u);
    for (const UploadFile& file : files) {
        EXPECT_LE(Recorder::Finals(events, file.id), 1u);
        EXPECT_EQ(RecordedBodiesContaining(file.id), 0);
    }
    EXPECT_TRUE(recorder->ended().stopped);
}

TEST_F(UploadQueueTest, ASecondTaskStartsFromAFreshStateAndOneTaskAtATime)
{
    const std::vector<UploadFile> files = Pictures(3);
    RunToEnd(files, SettingsFor("/refuse", 3));
    ASSERT_EQ(files[0].record->UploadState().phase, UploadPhase::Failed);
    ASSERT_FALSE(files[0].record->Reply().isNull());

    auto second = std::make_shared<Recorder>();
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, SettingsFor("/slow?group=again", 1), second));
    // The first file of the list goes last: it is waiting, with nothing left of the last try.
    const UploadStatus waiting = files[0].record->UploadState();
    EXPECT_EQ(waiting.phase, UploadPhase::Waiting);
    EXPECT_EQ(waiting.sent, 0u);
    EXPECT_TRUE(files[0].record->Reply().isNull());
    EXPECT_FALSE(queue.Start(files, SettingsFor("/record", 1), second)) << "a second task while one runs";
    ASSERT_TRUE(queue.WaitUntilIdle(30s));
    EXPECT_EQ(Recorder::Count(second->events(), Kind::Completed), 3u);
    EXPECT_EQ(files[0].record->UploadState().phase, UploadPhase::Done);
    EXPECT_EQ(files[0].record->Reply()["success"].asInt(), 1);
    EXPECT_FALSE(queue.Start({}, SettingsFor("/record", 1), second)) << "nothing to send";
}

TEST_F(UploadQueueTest, TwoQueuesReportOnlyTheirOwnFiles)
{
    const std::vector<UploadFile> all = Pictures(6);
    const std::vector<UploadFile> mine(all.begin(), all.begin() + 3), theirs(all.begin() + 3, all.end());
    auto other = std::make_shared<Recorder>();
    UploadQueue first, second;
    ASSERT_TRUE(first.Start(mine, SettingsFor("/slow?group=a", 2), recorder));
    ASSERT_TRUE(second.Start(theirs, SettingsFor("/slow?group=b", 2), other));
    ASSERT_TRUE(first.WaitUntilIdle(30s));
    ASSERT_TRUE(second.WaitUntilIdle(30s));
    const auto ids = [](const std::vector<UploadFile>& files) {
        std::set<std::string> set;
        for (const auto& f : files)
            set.insert(f.id);
        return set;
    };
    for (const auto& [observer, own] : {std::pair{recorder, ids(mine)}, std::pair{other, ids(theirs)}}) {
        const auto events = observer->events();
        EXPECT_EQ(Recorder::Count(events, Kind::Completed), 3u);
        for (const auto& e : events)
            if (!e.id.empty())
                EXPECT_TRUE(own.count(e.id)) << "a report of another task's file";
        EXPECT_EQ(observer->ended().completed.size(), 3u);
    }
}

TEST(SpeedMeterTest, AveragesTheLastThreeSecondsAndIgnoresEarlySamples)
{
    SpeedMeter meter;
    const uint32_t start = 0xFFFFF000u;  // the tick count wraps during the test
    meter.reset(start);
    meter.add(3000);
    EXPECT_EQ(meter.sample(start + 500), 0u) << "less than a second: unchanged";
    EXPECT_EQ(meter.sample(start + 1000), 1000u);  // 3000 / 3
    meter.add(6000);
    EXPECT_EQ(meter.sample(start + 2000), 3000u);  // (3000 + 6000) / 3
    meter.add(3000);
    EXPECT_EQ(meter.sample(start + 3000), 4000u);
    EXPECT_EQ(meter.sample(start + 4000), 3000u) << "the first second left the window";
    EXPECT_EQ(meter.sample(start + 5000), 1000u);
    EXPECT_EQ(meter.sample(start + 6000), 0u);
    EXPECT_EQ(meter.total(), 12000u);
}

TEST(ConnectionLimitTest, IsRaisedOnlyAsFarAsAskedAndNeverLowered)
{
    const auto limit = [] {
        DWORD value = 0;
        DWORD size = sizeof value;
        InternetQueryOptionW(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &value, &size);
        return value;
    };
    const DWORD before = limit();
    RaiseConnectionLimit(before + 2);
    EXPECT_EQ(limit(), before + 2);
    RaiseConnectionLimit(1);
    EXPECT_EQ(limit(), before + 2);
}

TEST_F(UploadQueueTest, AClientFailureEndsTheFileOnceAndAZeroThreadCountStillRuns)
{
    // A refused connection makes the client report its own failure; the file still gets
    // one final report. ThreadCount 0 is taken as 1 rather than waiting for ever.
    const std::vector<UploadFile> files = Pictures(2);
    UploadSettings settings;
    settings.postUrl = Vantor::Utf8ToUtf16(Env("FOTOLOFT_REFUSED") + "/record");
    settings.threadCount = 0;
    settings.retryDelaysMs = {};
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, settings, recorder));
    ASSERT_TRUE(queue.WaitUntilIdle(20s)) << "a ThreadCount of 0 hung the task";
    const auto events = recorder->events();
    ExpectOneFinalEachThenTheEnd(events, files);
    EXPECT_EQ(Recorder::Count(events, Kind::Failed), 2u);
    EXPECT_EQ(Recorder::Count(events, Kind::TaskCompleted), 1u);
}

TEST_F(UploadQueueTest, StopWhileTheServerHoldsItsAnswerEndsWithinTwoSeconds)
{
    // Every byte is out and the platform waits for an answer that never comes: only closing
    // the request ends that wait.
    const std::vector<UploadFile> files = Pictures(2);
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, SettingsFor("/never", 2), recorder));
    ASSERT_TRUE(recorder->WaitFor(
        [&](const auto&) {
            return files[0].record->UploadState().phase == UploadPhase::AwaitingReply &&
                   files[1].record->UploadState().phase == UploadPhase::AwaitingReply;
        },
        20s));
    std::this_thread::sleep_for(200ms);  // well inside the platform's wait
    const auto stopped = std::chrono::steady_clock::now();
    queue.Stop();
    ASSERT_TRUE(queue.WaitUntilIdle(10s));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count();
    EXPECT_LT(seconds, 2.0) << "Stop took " << seconds << " s";
    std::printf("stop while waiting for the answer to the task's end: %.3f s\n", seconds);
    const auto events = recorder->events();
    ExpectOneFinalEachThenTheEnd(events, files);
    EXPECT_EQ(Recorder::Count(events, Kind::Failed), 2u);
    EXPECT_EQ(Recorder::Count(events, Kind::TaskCompleted), 1u) << "no file was left waiting";
}

TEST_F(UploadQueueTest, AHeaderFloodEndsEachFileOnceAtItsDeadlineAndHoldsUpNothing)
{
    // The platform goes on parsing the flood long after the deadline, inside its own call:
    // each file still fails once at the deadline, the task ends, and the next task runs.
    const std::vector<UploadFile> files = Pictures(2);
    UploadSettings settings;
    settings.postUrl = Vantor::Utf8ToUtf16(Env("FOTOLOFT_HOSTILE") + "/flood");
    settings.threadCount = 2;
    settings.timeoutSeconds = 2;
    settings.retryDelaysMs = {};
    const auto start = std::chrono::steady_clock::now();
    UploadQueue queue;
    ASSERT_TRUE(queue.Start(files, settings, recorder));
    ASSERT_TRUE(queue.WaitUntilIdle(15s)) << "the flood held the task";
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 6.0);
    const auto events = recorder->events();
    ExpectOneFinalEachThenTheEnd(events, files);
    EXPECT_EQ(Recorder::Count(events, Kind::Failed), 2u);

    const std::vector<UploadFile> next = Pictures(1);
    auto nextRecorder = std::make_shared<Recorder>();
    UploadQueue nextQueue;
    ASSERT_TRUE(nextQueue.Start(next, SettingsFor("/record", 1), nextRecorder));
    ASSERT_TRUE(nextQueue.WaitUntilIdle(15s));
    EXPECT_EQ(Recorder::Count(nextRecorder->events(), Kind::Completed), 1u);
}
