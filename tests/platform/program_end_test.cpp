#include "platform/ModuleThread.h"
#include "platform/ProgramEnd.h"

#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace Vantor;
using namespace std::chrono_literals;

// The end cannot be undone in a process: each case runs in a child process of its own and
// exits 0 when everything held.

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::fflush(stderr);
    std::_Exit(1);
}

void Require(bool held, const char* what)
{
    if (!held)
        Fail(what);
}

// Threads asked for just before the end are waited for, though they may not have begun.
void EndWaitsForThreadsNotYetBegun()
{
    constexpr int kThreads = 4;
    std::atomic<int> ran{0};
    for (int i = 0; i < kThreads; ++i)
        Require(StartModuleThread([&] { ++ran; }), "a thread could not be made");
    Require(EndModuleThreads(30000), "the threads did not end");
    Require(ran == kThreads, "returned before every thread asked for had run");
    std::_Exit(0);
}

// A running body holds the end back; an idle thread does not; afterwards no thread is made.
void EndWaitsForBusyBodiesAndMakesNoMore()
{
    std::atomic<bool> firstDone{false};
    Require(RunOnModuleThread([&] { firstDone = true; }), "no thread");
    Require(WaitUntil([&] { return firstDone && IdleModuleThreads() == 1; }, 10s), "no idle thread");
    std::atomic<bool> release{false};
    std::atomic<bool> busyDone{false};
    Require(RunOnModuleThread([&] {
        WaitUntil([&] { return release.load(); }, 60s);
        busyDone = true;
    }), "no thread");
    Require(WaitUntil([] { return IdleModuleThreads() == 0; }, 10s), "the idle thread did not take the body");
    Require(RunOnModuleThread([] {}), "no thread");  // a new thread, idle once its body is done
    Require(WaitUntil([] { return IdleModuleThreads() == 1; }, 10s), "no idle thread");

    Require(!ModuleThreadsEnding(), "ending before the end");
    Require(!EndModuleThreads(300), "ended while a body was still running");
    Require(ModuleThreadsEnding(), "not ending after the end");
    Require(WaitUntil([] { return IdleModuleThreads() == 0; }, 10s), "an idle thread stayed");
    Require(!busyDone, "the body ended by itself");
    release = true;
    Require(EndModuleThreads(30000), "the threads did not end");
    Require(busyDone, "returned before the body had finished");

    // The work is refused, and not left queued either.
    std::atomic<bool> lateRan{false};
    Require(!RunOnModuleThread([&] { lateRan = true; }), "work was taken after the end");
    Require(!StartModuleThread([&] { lateRan = true; }), "a thread was made after the end");
    Require(EndModuleThreads(30000), "the threads did not end");
    Require(!lateRan, "work ran after the end");
    std::_Exit(0);
}

// The program ends with its code, and what it printed but had not flushed still comes out,
// while a module thread is still at work.
void EndProgramWithWorkInFlight()
{
    std::setvbuf(stderr, nullptr, _IOFBF, 4096);
    std::atomic<bool> stop{false};
    Require(StartModuleThread([&] { WaitUntil([&] { return stop.load(); }, 2s); }), "no thread");
    std::fprintf(stderr, "printed before the end\n");
    EndProgram(7, 30000);
}

}  // namespace

TEST(ModuleThreadEndTest, WaitsForThreadsNotYetBegun)
{
    // Whether a new thread has begun when the end comes is up to the scheduler: a few tries.
    for (int round = 0; round < 5; ++round)
        EXPECT_EXIT(EndWaitsForThreadsNotYetBegun(), ::testing::ExitedWithCode(0), "") << "round " << round;
}

TEST(ModuleThreadEndTest, WaitsForBusyBodiesAndMakesNoMore)
{
    EXPECT_EXIT(EndWaitsForBusyBodiesAndMakesNoMore(), ::testing::ExitedWithCode(0), "");
}

TEST(ProgramEndTest, EndsWithItsCodeAndItsOutput)
{
    EXPECT_EXIT(EndProgramWithWorkInFlight(), ::testing::ExitedWithCode(7), "printed before the end");
}
