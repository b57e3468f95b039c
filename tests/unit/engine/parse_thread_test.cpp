#include "engine/parse_thread.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/gated_runner.h"

namespace quillharbor {
namespace {

using test::GatedRunner;
using test::tasksOf;
using Tasks = std::vector<std::uintptr_t>;

RewriteJob job(std::uintptr_t task, std::string dir = "/d/") {
    return RewriteJob{task, std::move(dir), false, {}};
}

// A job waits in the lowest free of 64 slots, is withdrawn or refreshed in place while it
// waits, and runs in slot order; stopping lets the running job end, keeps its result and drops
// every waiting one.
TEST(TParseThreadTest, SixtyFourSlotsTakenLowestFirstUntilStopped) {
    GatedRunner gate;
    TParseThread thread(gate.runner(), gate.resultsReady());
    ASSERT_TRUE(thread.queue(job(1000)));
    gate.waitUntilStarted(1);  // 1000 left its slot: 1 takes slot 0
    for (std::uintptr_t task = 1; task <= TParseThread::kSlotCount; ++task) {
        ASSERT_TRUE(thread.queue(job(task)));
    }
    EXPECT_FALSE(thread.queue(job(65)));
    EXPECT_TRUE(thread.withdraw(2));
    EXPECT_FALSE(thread.withdraw(2));
    ASSERT_TRUE(thread.queue(job(65)));  // slot 1 again, ahead of 3 and later
    EXPECT_TRUE(thread.replaceWaiting(job(3, "/new/")));
    EXPECT_FALSE(thread.replaceWaiting(job(1000)));  // running, not waiting
    EXPECT_EQ(thread.queuedCount(), 65);
    gate.open();
    gate.waitForResults(4);
    thread.requestStop();
    EXPECT_FALSE(thread.queue(job(66)));
    thread.stop();
    thread.stop();
    const Tasks started = tasksOf(gate.jobs());
    ASSERT_GE(started.size(), 4u);
    EXPECT_EQ(Tasks(started.begin(), started.begin() + 4), (Tasks{1000, 1, 65, 3}));
    EXPECT_EQ(gate.jobs()[3].Dir, "/new/");
    EXPECT_EQ(tasksOf(thread.takeResults()), started);
    EXPECT_TRUE(thread.takeResults().empty());
    EXPECT_EQ(thread.queuedCount(), 0);
}

TEST(TParseThreadTest, AJobQueuedWhileTheWorkerFallsAsleepIsNotLeftWaiting) {
    GatedRunner gate;
    gate.open();
    TParseThread thread(gate.runner(), gate.resultsReady());
    // Each job is queued right as the worker finishes the one before and goes back to sleep.
    for (int round = 1; round <= 300; ++round) {
        ASSERT_TRUE(thread.queue(job(round)));
        gate.waitForResults(round);
    }
    EXPECT_EQ(thread.takeResults().size(), 300u);
}

}  // namespace
}  // namespace quillharbor
