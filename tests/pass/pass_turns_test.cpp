#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/pass_turns.h"

namespace {

using tvx::PassTurns;

// Polls until the flag is set; false after five seconds.
bool Eventually(const std::atomic<bool>& flag) {
    for (int i = 0; i < 500 && !flag; ++i) ::Sleep(10);
    return flag;
}

TEST(PassTurns, AWaitingRequestGivesUpAsSoonAsANewerOneArrives) {
    PassTurns turns;
    ASSERT_TRUE(turns.Enter());  // a pass at work

    std::atomic<bool> olderDone{false}, newerDone{false};
    bool older = true, newer = false;
    std::thread first([&] {
        older = turns.Enter();
        if (older) turns.Leave();
        olderDone = true;
    });
    ::Sleep(100);  // let the first request take its ticket and wait
    std::thread second([&] {
        newer = turns.Enter();
        if (newer) turns.Leave();
        newerDone = true;
    });

    // The older request gives up while the pass is still at work; the newer one waits for it.
    EXPECT_TRUE(Eventually(olderDone));
    EXPECT_FALSE(older);
    ::Sleep(100);
    EXPECT_FALSE(newerDone);
    turns.Leave();
    EXPECT_TRUE(Eventually(newerDone));
    EXPECT_TRUE(newer);
    first.join();
    second.join();
}

TEST(PassTurns, CloseWaitsForWorkInProgressAndIsFinal) {
    PassTurns turns;
    ASSERT_TRUE(turns.Enter());
    std::atomic<bool> working{false}, release{false}, closed{false};
    std::thread pass([&] {
        turns.WhileOpen([&] {
            working = true;
            while (!release) ::Sleep(5);
        });
    });
    ASSERT_TRUE(Eventually(working));
    std::thread exit([&] {
        turns.Close();
        closed = true;
    });
    ::Sleep(100);
    EXPECT_FALSE(closed) << "Close did not wait for the work in progress";
    release = true;
    EXPECT_TRUE(Eventually(closed));
    exit.join();
    pass.join();

    // The pass that held the turn goes on outside its work, but no work starts again, and no
    // later pass gets a turn.
    bool ran = false;
    EXPECT_FALSE(turns.WhileOpen([&] { ran = true; }));
    EXPECT_FALSE(ran);
    turns.Leave();
    EXPECT_FALSE(turns.Enter());
}

TEST(PassTurns, WorkersDoneFollowsTheCount) {
    PassTurns turns;
    EXPECT_TRUE(turns.WaitForWorkers(0));
    turns.WorkerStarting();
    turns.WorkerStarting();
    EXPECT_FALSE(turns.WaitForWorkers(0));
    turns.WorkerEnded();
    EXPECT_EQ(::WaitForSingleObject(turns.WorkersDoneEvent(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    turns.WorkerEnded();
    EXPECT_TRUE(turns.WaitForWorkers(0));
}

}  // namespace
