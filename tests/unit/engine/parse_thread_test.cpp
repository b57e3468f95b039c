#include "engine/parse_thread.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/gated_runner.h"

namespace quillharbor {
namespace {

using test::GatedRunner;
using Tasks = std::vector<std::uintptr_t>;

RewriteJob job(std::uintptr_t task, std::string dir = "/d/") {
    return RewriteJob{task, std::move(dir), false, {}};
}

Tasks tasksOf(const std::vector<RewriteResult>& results) {
    Tasks tasks;
    for (const RewriteResult& result : results) {
        tasks.push_back(result.task);
    }
    return tasks;
}

TEST(TParseThreadTest, TakesTheLowestSlotFirstAndRefreshesWaitingJobsInPlace) {
    GatedRunner gate;
    TParseThread thread(gate.runner(), gate.resultsReady());
    ASSERT_TRUE(thread.queue(job(1)));
    gate.waitUntilStarted(1);  // 1 left its slot: 2 takes slot 0
    ASSERT_TRUE(thread.queue(job(2)));
    ASSERT_TRUE(thread.queue(job(3)));
    ASSERT_TRUE(thread.queue(job(4)));
    EXPECT_TRUE(thread.withdraw(2));
    EXPECT_FALSE(thread.withdraw(2));
    ASSERT_TRUE(thread.queue(job(5)));  // slot 0 again, ahead of 3 and 4
    EXPECT_TRUE(thread.replaceWaiting(job(4, "/new/")));
    EXPECT_FALSE(thread.replaceWaiting(job(1)));  // running, not waiting
    EXPECT_EQ(thread.queuedCount(), 4);

    gate.open();
    gate.waitForResults(4);
    EXPECT_EQ(gate.tasks(), (Tasks{1, 5, 3, 4}));
    EXPECT_EQ(gate.jobs()[3].Dir, "/new/");
    EXPECT_EQ(tasksOf(thread.takeResults()), (Tasks{1, 5, 3, 4}));
    EXPECT_TRUE(thread.takeResults().empty());
    EXPECT_EQ(thread.queuedCount(), 0);
}

TEST(TParseThreadTest, SixtyFourSlotsThenNothingIsQueued) {
    GatedRunner gate;
    TParseThread thread(gate.runner(), gate.resultsReady());
    ASSERT_TRUE(thread.queue(job(1000)));
    gate.waitUntilStarted(1);
    for (std::uintptr_t task = 1; task <= TParseThread::kSlotCount; ++task) {
        ASSERT_TRUE(thread.queue(job(task)));
    }
    EXPECT_FALSE(thread.queue(job(65)));
    EXPECT_EQ(thread.queuedCount(), 65);
    EXPECT_TRUE(thread.withdraw(7));
    EXPECT_TRUE(thread.queue(job(65)));

    // Stopping lets the running job end, keeps its result and drops every waiting one.
    thread.requestStop();
    EXPECT_FALSE(thread.queue(job(66)));
    gate.open();
    thread.stop();
    thread.stop();
    EXPECT_EQ(gate.tasks(), Tasks{1000});
    EXPECT_EQ(tasksOf(thread.takeResults()), Tasks{1000});
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
