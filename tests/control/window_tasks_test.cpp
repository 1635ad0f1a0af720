// Work posted to a window's thread from worker threads, under real threads and real windows:
// order, batching, nesting, a window that comes late or goes, and an owner that goes first.
#include "TestSupport.h"

#include "platform/WindowTasks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

using namespace Vantor;
using namespace std::chrono_literals;

namespace {

class WindowTasksTest : public ::testing::Test {
protected:
    WindowTasks tasks;
    TestSupport::DrainWindow window{tasks};
};

}  // namespace

TEST_F(WindowTasksTest, ManyWorkersRunInOrderOnTheWindowThreadInFewWakeUps)
{
    constexpr int kWorkers = 8;
    constexpr int kEach = 500;
    std::vector<std::pair<DWORD, int32_t>> handled;
    std::set<int> wakeUpsThatWorked;

    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < kEach; ++i)
                tasks.Post([&, value = w * 10000 + i] {
                    handled.emplace_back(GetCurrentThreadId(), value);
                    wakeUpsThatWorked.insert(window.drains());
                });
        });
    for (std::thread& worker : workers)
        worker.join();
    ASSERT_TRUE(TestSupport::PumpUntil([&] { return handled.size() == kWorkers * kEach; }, 20s));
    TestSupport::PumpFor(50ms);

    ASSERT_EQ(handled.size(), size_t{kWorkers * kEach});  // each exactly once
    std::map<int, int32_t> last;
    for (const auto& [thread, value] : handled) {
        EXPECT_EQ(thread, GetCurrentThreadId());
        const int worker = value / 10000;
        if (last.count(worker)) {
            EXPECT_GT(value, last[worker]) << "a worker's work came out of order";
        }
        last[worker] = value;
    }
    // The posts outran the window thread: one wake-up ran many pieces of work.
    EXPECT_LT(wakeUpsThatWorked.size(), size_t{kWorkers * kEach} / 10);
    EXPECT_EQ(tasks.Pending(), 0u);
}

// Work that pumps messages (a page function showing an alert) runs later work inside itself
// while a worker keeps posting: nothing hangs, nothing is lost or repeated, and work may post.
TEST_F(WindowTasksTest, WorkThatPumpsMessagesWhileWorkersPostDoesNotHang)
{
    constexpr int kPosts = 1500;
    std::multiset<int32_t> seen;
    int nesting = 0, deepest = 0;
    std::atomic<int> followUps{0};
    std::thread worker([&] {
        for (int i = 0; i < kPosts; ++i) {
            tasks.Post([&, i] {
                seen.insert(i);
                ++nesting;
                deepest = std::max(deepest, nesting);
                if (i % 100 == 0)
                    tasks.Post([&] { ++followUps; });
                TestSupport::PumpFor(1ms);
                --nesting;
            });
            if (i % 50 == 0)
                std::this_thread::sleep_for(1ms);
        }
    });
    const bool done = TestSupport::PumpUntil([&] { return seen.size() == kPosts && followUps == kPosts / 100; }, 30s);
    worker.join();
    ASSERT_TRUE(done) << "ran " << seen.size() << " of " << kPosts;
    for (int32_t i = 0; i < kPosts; ++i)
        EXPECT_EQ(seen.count(i), 1u) << i;
    EXPECT_GE(deepest, 2) << "no work ran inside another: the test did not exercise nesting";
}

TEST_F(WindowTasksTest, WorkThatThrowsEndsOnlyItself)
{
    int after = 0;
    tasks.Post([] { throw std::runtime_error("work failed"); });
    tasks.Post([&] { ++after; });
    tasks.Post([&] { ++after; });
    ASSERT_TRUE(TestSupport::PumpUntil([&] { return after == 2; }, 5s));
}

// The object's windows come and go: work posted while it has none waits and runs in the next
// one, in order, and never in a window it no longer has.
TEST(WindowTasksLifeTest, WorkWaitsForTheNextWindowAndNeverRunsInAGoneOne)
{
    WindowTasks tasks;
    std::vector<int> ran;
    tasks.Post([&] { ran.push_back(1); });
    tasks.Post([&] { ran.push_back(2); });
    EXPECT_FALSE(tasks.HasWindow());
    TestSupport::PumpFor(30ms);
    EXPECT_TRUE(ran.empty()) << "no window, nothing runs";

    {
        TestSupport::DrainWindow first{tasks};
        ASSERT_TRUE(TestSupport::PumpUntil([&] { return ran.size() == 2; }, 5s));
        EXPECT_EQ(ran, (std::vector<int>{1, 2}));
        // A piece of work lets the window go: the rest waits for the next one.
        tasks.Post([&] {
            ran.push_back(3);
            tasks.SetWindow(nullptr);
        });
        tasks.Post([&] { ran.push_back(4); });
        ASSERT_TRUE(TestSupport::PumpUntil([&] { return ran.size() == 3; }, 5s));
        // The old window's wake-up is still in the queue: it runs nothing.
        const HWND gone = first.get();
        tasks.Post([&] { ran.push_back(5); });
        PostMessageW(gone, WindowTasks::WakeMessage(), 0, 0);
        TestSupport::PumpFor(30ms);
        EXPECT_EQ(ran.size(), 3u);
        EXPECT_EQ(tasks.Pending(), 2u);
    }
    TestSupport::DrainWindow second{tasks};
    ASSERT_TRUE(TestSupport::PumpUntil([&] { return ran.size() == 5; }, 5s));
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4, 5}));
}

// The owner goes while threads still post: what waits is dropped (and what it holds freed),
// and later posts go nowhere.
TEST(WindowTasksLifeTest, AfterTheOwnerGoesNothingRunsAndPostsAreRefused)
{
    auto held = std::make_shared<int>(7);
    std::weak_ptr<int> watch = held;
    std::atomic<int> ran{0};
    WindowTasks::Poster poster;
    {
        WindowTasks tasks;
        poster = tasks.poster();
        ASSERT_TRUE(poster.Post([held, &ran] { ++ran; }));
        held.reset();
        EXPECT_FALSE(watch.expired()) << "the waiting work holds what it captured";
    }
    EXPECT_TRUE(watch.expired()) << "the dropped work let go of what it held";
    std::atomic<int> refused{0};
    std::thread late([&] {
        for (int i = 0; i < 100; ++i)
            refused += poster.Post([&ran] { ++ran; }) ? 0 : 1;
    });
    late.join();
    EXPECT_EQ(refused, 100);
    TestSupport::PumpFor(30ms);
    EXPECT_EQ(ran, 0);
}
