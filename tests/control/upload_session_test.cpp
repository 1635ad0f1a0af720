// The upload session alone says whether a task runs: refused starts change nothing, the
// state moves only forward, and a start right after a task's end is not lost to the engine's
// thread still returning from that task.
#include "control/UploadSession.h"

#include "Biz/ImageData.h"
#include "picture_files.h"
#include "test_pictures.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

namespace {

using Vantor::ImageData;
using Vantor::UploadFile;
using Vantor::UploadSession;
using namespace std::chrono_literals;

// A handle that closes itself.
struct Event {
    Event() : handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() { CloseHandle(handle); }
    void set() const { SetEvent(handle); }
    bool wait(DWORD ms) const { return WaitForSingleObject(handle, ms) == WAIT_OBJECT_0; }
    HANDLE handle;
};

// Counts the task's ends; its last report can be held back, which keeps the engine's task
// thread from returning after the end report is out.
class Reports : public Vantor::UploadObserver {
public:
    void FileProgress(const std::shared_ptr<ImageData>&, uint32_t) override {}
    void FileCompleted(const std::shared_ptr<ImageData>&) override {}
    void FileFailed(const std::shared_ptr<ImageData>&, const Vantor::UploadFailure&) override {}
    void TaskEnded(const Vantor::UploadTaskResult&) override { ++ended; }
    void TaskCompleted(const Vantor::UploadTaskResult&) override
    {
        if (!holdLast)
            return;
        lastHeld.set();
        release.wait(10000);
    }

    std::atomic<int> ended{0};
    std::atomic<bool> holdLast{false};
    Event lastHeld;
    Event release;
};

class UploadSessionTest : public ::testing::Test {
protected:
    std::vector<UploadFile> files(int n)
    {
        std::vector<UploadFile> out;
        for (int i = 0; i < n; ++i) {
            const std::wstring path = folder_.file(L"s" + std::to_wstring(i) + L".png");
            EXPECT_TRUE(testpics::WritePicture(path, testpics::Make24(16, 12, [](uint32_t, uint32_t) {
                                                   return RGBQUAD{40, 80, 120, 255};
                                               }),
                                               L"png"));
            auto record = ImageData::CreateUnloaded(path);
            out.push_back({record->id(), record});
        }
        return out;
    }
    // Nobody listens there: each file fails at once and the task ends by itself.
    static Vantor::UploadSettings nowhere()
    {
        Vantor::UploadSettings settings;
        settings.postUrl = L"http://127.0.0.1:1/up";
        settings.retryDelaysMs = {};
        settings.threadCount = 1;
        return settings;
    }
    bool waitForEnd(int count)
    {
        const ULONGLONG until = GetTickCount64() + 30000;
        while (reports_->ended < count && GetTickCount64() < until)
            std::this_thread::sleep_for(5ms);
        return reports_->ended >= count;
    }

    testpics::TempFolder folder_;
    const std::shared_ptr<Reports> reports_ = std::make_shared<Reports>();
    UploadSession session_;
    int changes_ = 0;
    boost::signals2::scoped_connection counting_ = session_.Changed.connect([this] { ++changes_; });
};

TEST_F(UploadSessionTest, ARefusedStartChangesNothingAndARunningTaskKeepsItsFiles)
{
    EXPECT_FALSE(session_.Start({}, {}, nowhere(), reports_)) << "no file";
    EXPECT_FALSE(session_.Start({{"gone", nullptr}}, {}, nowhere(), reports_)) << "no record";
    EXPECT_EQ(session_.phase(), UploadSession::Phase::NeverStarted);
    EXPECT_EQ(changes_, 0);
    session_.Cancel();
    session_.End();
    EXPECT_EQ(session_.phase(), UploadSession::Phase::NeverStarted) << "nothing ran: nothing to cancel or end";
    EXPECT_EQ(changes_, 0);

    const std::vector<UploadFile> first = files(2);
    ASSERT_TRUE(session_.Start(first, {{first[1].id, 7}}, nowhere(), reports_));
    EXPECT_EQ(changes_, 1);
    EXPECT_EQ(session_.ItemOf(first[1].id), 7);
    EXPECT_EQ(session_.ItemOf(first[0].id), -1);
    ASSERT_TRUE(waitForEnd(1));
    // The engine is done, but the end has not been handled: the task still runs.
    EXPECT_TRUE(session_.IsUploading());
    EXPECT_FALSE(session_.Start(files(1), {}, nowhere(), reports_)) << "one task at a time";
    ASSERT_EQ(session_.Files().size(), 2u);
    EXPECT_EQ(session_.Files()[0].record, first[0].record);
    EXPECT_EQ(changes_, 1);

    session_.Cancel();
    session_.Cancel();
    EXPECT_TRUE(session_.CancelRequested());
    EXPECT_EQ(changes_, 2) << "a second cancel is no change";
    session_.End();
    EXPECT_EQ(session_.phase(), UploadSession::Phase::Finished);
    EXPECT_FALSE(session_.CancelRequested());
    EXPECT_TRUE(session_.Files().empty());
    EXPECT_EQ(session_.ItemOf(first[1].id), -1);
    EXPECT_EQ(changes_, 3);
}

TEST_F(UploadSessionTest, AStartRightAfterTheEndWaitsForTheEngineThreadInsteadOfFailing)
{
    reports_->holdLast = true;
    ASSERT_TRUE(session_.Start(files(1), {}, nowhere(), reports_));
    // The end report is out; the task thread is held in its very last report.
    ASSERT_TRUE(reports_->lastHeld.wait(30000));
    ASSERT_EQ(reports_->ended, 1);
    session_.End();
    // Lets the task thread return a moment after the next start has begun.
    std::thread releaser([this] {
        std::this_thread::sleep_for(200ms);
        reports_->release.set();
    });
    const bool started = session_.Start(files(1), {}, nowhere(), reports_);
    releaser.join();
    EXPECT_TRUE(started);
    EXPECT_TRUE(session_.IsUploading());
    reports_->holdLast = false;
    ASSERT_TRUE(waitForEnd(2));
    session_.End();
    EXPECT_TRUE(session_.WaitUntilIdle(10s));
}

}  // namespace
