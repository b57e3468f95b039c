#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/scheduler_test_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class TaskEndTest : public SchedulerTest {
protected:
    void end(TTask& task) {
        task.Queued = 0;
        post(EngineMessage::TaskEnded, identityOf(task));
    }
};

TEST_F(TaskEndTest, RewritingTasksPassThroughStateFiveToSix) {
    startWith("Notify=2\n");
    TTask& parse = *create("parse");
    TTask& plain = *create("plain");
    TaskClearFlag(plain, TaskFlag::Parse);
    m_taskFiles.written.clear();

    end(parse);
    m_loop.processPending();
    EXPECT_EQ(parse.State, TaskState::RewritePending);
    EXPECT_THAT(m_taskFiles.written, ElementsAre(engine().programDir() + "parse.tsf"));
    EXPECT_THAT(m_view.notifications, ElementsAre("Task parse is finished."));
    m_loop.processPending();
    EXPECT_EQ(parse.State, TaskState::Finished);
    EXPECT_THAT(m_rewriter.queued, ElementsAre("parse"));

    end(plain);
    pump();
    EXPECT_EQ(plain.State, TaskState::Finished);
    EXPECT_THAT(m_rewriter.queued, ElementsAre("parse"));
}

TEST_F(TaskEndTest, AllFinishedWaitsForWaitingTasks) {
    startWith("Notify=8\n");
    TTask& done = *create("done");
    TTask& waiting = *create("waiting");
    waiting.State = TaskState::Waiting;
    end(done);
    pump();
    EXPECT_THAT(m_view.notifications, IsEmpty());

    waiting.State = TaskState::Running;
    end(waiting);
    pump();
    EXPECT_THAT(m_view.notifications, ElementsAre("All tasks are finished"));
}

TEST_F(TaskEndTest, TaskWithObjectsQueuedAgainHasNotEnded) {
    startWith("Notify=2\n");
    TTask& task = *create("t");
    post(EngineMessage::TaskEnded, identityOf(task));  // stale: its object is still queued
    pump();
    EXPECT_EQ(task.State, TaskState::Running);
    EXPECT_THAT(m_view.notifications, IsEmpty());
}

TEST_F(TaskEndTest, IdleHangUpCountsOnlyRunningTasks) {
    startWith("BreakConnection=1\n");
    state().RasConnected = true;
    TTask& first = *create("first");
    TTask& second = *create("second");
    create("waiting")->State = TaskState::Waiting;
    end(first);
    pump();
    EXPECT_EQ(m_dialUp.hangups, 0);
    end(second);
    pump();
    EXPECT_EQ(m_dialUp.hangups, 1);
    EXPECT_EQ(m_view.status[1], "RAS disconnected");
    EXPECT_TRUE(state().RasWatching);
    EXPECT_FALSE(state().RasConnected);
}

TEST_F(TaskEndTest, FailedTaskFileWriteIsReported) {
    startWith("Notify=0\n");
    TTask& task = *create("t");
    m_taskFiles.failWith = Error{"Cannot write t.tsf", 28};
    end(task);
    pump();
    EXPECT_THAT(m_view.notifications, ElementsAre("Cannot write t.tsf"));
    EXPECT_EQ(task.State, TaskState::Finished);
}

}  // namespace
}  // namespace quillharbor::test
