// The event queue from worker threads to the window thread, the record table and the run
// state, under real threads and a real window.
#include "TestSupport.h"

#include "control/AppState.h"
#include "control/MsgDataTable.h"
#include "control/MsgQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

using namespace Vantor;
using namespace std::chrono_literals;

namespace {

class EventQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        queue.clear();
        queue.drain();  // nothing left over from another test
        queue.setTarget(window.get());
    }
    void TearDown() override
    {
        queue.setTarget(nullptr);
        queue.clear();
    }

    MsgQueue queue;
    TestSupport::DrainWindow window{queue};
};

}  // namespace

TEST_F(EventQueueTest, ManyWorkersAreDrainedInOrderOnTheWindowThread)
{
    constexpr int kWorkers = 8;
    constexpr int kEach = 500;
    std::vector<std::pair<DWORD, int32_t>> handled;
    std::set<int> drainsThatWorked;
    queue.registerHandler("w", [&](int32_t argument) {
        handled.emplace_back(GetCurrentThreadId(), argument);
        drainsThatWorked.insert(window.drains());
    });

    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([this, w] {
            for (int i = 0; i < kEach; ++i)
                queue.post("w", w * 10000 + i);
        });
    for (std::thread& worker : workers)
        worker.join();
    ASSERT_TRUE(TestSupport::PumpUntil([&] { return handled.size() == kWorkers * kEach; }, 20s));
    TestSupport::PumpFor(50ms);

    ASSERT_EQ(handled.size(), size_t{kWorkers * kEach});  // each pair exactly once
    std::map<int, int32_t> last;
    for (const auto& [thread, argument] : handled) {
        EXPECT_EQ(thread, GetCurrentThreadId());
        const int worker = argument / 10000;
        if (last.count(worker)) {
            EXPECT_GT(argument, last[worker]) << "a worker's pairs came out of order";
        }
        last[worker] = argument;
    }
    // The posts outran the window thread, so drains found several pairs at once and the
    // later window messages found nothing.
    EXPECT_LT(drainsThatWorked.size(), size_t{kWorkers * kEach});
}

TEST_F(EventQueueTest, OneDrainHandlesEveryPairPostedBeforeIt)
{
    std::vector<std::pair<int, std::string>> handled;  // (drain number, what)
    queue.registerHandler("task_end", [&](int32_t) { handled.emplace_back(window.drains(), "task_end"); });
    queue.registerHandler("task_complete", [&](int32_t) { handled.emplace_back(window.drains(), "task_complete"); });
    // Several handlers under one name are each called, in the order registered.
    queue.registerHandler("task_complete", [&](int32_t) { handled.emplace_back(window.drains(), "second"); });

    queue.post("task_end", 0);
    queue.post("task_complete", 0);
    queue.post("nobody_listens", 5);
    EXPECT_EQ(queue.pending(), 3u);
    ASSERT_TRUE(TestSupport::PumpUntil([&] { return window.drains() == 3; }, 5s));

    ASSERT_EQ(handled.size(), 3u);
    EXPECT_EQ(handled[0], std::make_pair(1, std::string("task_end")));
    EXPECT_EQ(handled[1], std::make_pair(1, std::string("task_complete")));
    EXPECT_EQ(handled[2], std::make_pair(1, std::string("second")));
    EXPECT_EQ(queue.pending(), 0u);  // the later two messages found nothing to do
}

// A handler that pumps messages (a page function showing an alert) drains again on the
// same thread while a worker keeps posting: nothing hangs, nothing is lost or repeated.
TEST_F(EventQueueTest, HandlerThatPumpsMessagesWhileWorkersPostDoesNotHang)
{
    constexpr int kPosts = 1500;
    std::multiset<int32_t> seen;
    int nesting = 0, deepest = 0;
    queue.registerHandler("pump", [&](int32_t argument) {
        seen.insert(argument);
        ++nesting;
        deepest = std::max(deepest, nesting);
        TestSupport::PumpFor(1ms);
        --nesting;
    });
    // A handler may also post: its pair is handled by a later drain.
    std::atomic<int> followUps{0};
    queue.registerHandler("pump", [&](int32_t argument) {
        if (argument % 100 == 0)
            queue.post("follow_up", argument);
    });
    queue.registerHandler("follow_up", [&](int32_t) { ++followUps; });

    std::thread worker([this] {
        for (int i = 0; i < kPosts; ++i) {
            queue.post("pump", i);
            if (i % 50 == 0)
                std::this_thread::sleep_for(1ms);
        }
    });
    const bool done = TestSupport::PumpUntil([&] { return seen.size() == kPosts && followUps == kPosts / 100; }, 30s);
    worker.join();
    ASSERT_TRUE(done) << "handled " << seen.size() << " of " << kPosts;
    for (int32_t i = 0; i < kPosts; ++i)
        EXPECT_EQ(seen.count(i), 1u) << i;
    EXPECT_GE(deepest, 2) << "no drain ran inside another: the test did not exercise nesting";
}

TEST_F(EventQueueTest, HandlerExceptionEndsOnlyThatHandler)
{
    int after = 0;
    queue.registerHandler("x", [](int32_t) { throw std::runtime_error("handler failed"); });
    queue.registerHandler("x", [&](int32_t) { ++after; });
    queue.post("x", 1);
    queue.post("x", 2);
    ASSERT_TRUE(TestSupport::PumpUntil([&] { return after == 2; }, 5s));
}

TEST(MsgDataTableTest, KeysAreUniqueAcrossWorkersAndTakeRemoves)
{
    MsgDataTable table;
    const size_t before = table.size();
    constexpr int kWorkers = 6, kEach = 400;
    std::vector<std::vector<int32_t>> keys(kWorkers);
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < kEach; ++i)
                keys[w].push_back(table.add(nullptr)->key);
        });
    for (std::thread& worker : workers)
        worker.join();
    std::set<int32_t> all;
    for (const auto& list : keys)
        all.insert(list.begin(), list.end());
    ASSERT_EQ(all.size(), size_t{kWorkers * kEach});
    EXPECT_EQ(table.size(), before + kWorkers * kEach);

    const int32_t key = *all.begin();
    const auto record = table.take(key);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->key, key);
    EXPECT_EQ(record->progress, 0u);
    EXPECT_FALSE(table.take(key)) << "a record is handed out once";
    EXPECT_FALSE(table.take(-12345));
    for (int32_t k : all)
        table.take(k);
    EXPECT_EQ(table.size(), before);
}

TEST(AppStateTest, MovesFromNeverStartedToUploadingToFinished)
{
    AppState state;
    EXPECT_EQ(state.state(), AppState::NeverStarted);
    EXPECT_FALSE(state.isUploading());
    state.setUploading();
    EXPECT_TRUE(state.isUploading());
    state.setFinished();
    EXPECT_EQ(state.state(), AppState::Finished);
    EXPECT_FALSE(state.isUploading());
}
