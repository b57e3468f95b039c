#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/scheduler_test_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ObjectCommandsTest : public SchedulerTest {
protected:
    void SetUp() override { startWith("MaxHTTPConns=1\nMaxFTPConns=0\nPause=0\nNotify=63\n"); }
    // A stopped task whose starting object was retrieved, with failed objects beside it.
    TTask& taskWithFailures() {
        TTask& task = *create("t", "http://h/");
        TDnObj& start = *task.Objects.head();
        state().Queue.QueueRemove(start);
        --task.Queued;
        start.State = ObjectState::Done;
        state().SeenList.SeenInsert(start);
        settled(task, "http://h/failed", ObjectState::Failed);
        settled(task, "http://h/missing", ObjectState::ProtocolError, 404);
        settled(task, "http://h/removed", ObjectState::Removed);
        settled(task, "http://h/partial", ObjectState::Incomplete).Received = 100;
        task.State = TaskState::Stopped;
        return task;
    }
    ObjectState stateOf(TTask& task, const std::string& url) {
        return task.Objects.TaskFindObj(url)->State;
    }
};

TEST_F(ObjectCommandsTest, RetryingTasksQueuesEveryFailedObject) {
    TTask& task = taskWithFailures();
    m_view.selection = {&task};
    engine().RetryFailedLinks();
    EXPECT_EQ(task.Queued, 4);
    EXPECT_EQ(task.State, TaskState::Running);
    EXPECT_EQ(state().Queue.size(), 4u);
    for (const char* url : {"http://h/failed", "http://h/missing", "http://h/partial"}) {
        EXPECT_EQ(stateOf(task, url), ObjectState::Queued) << url;
    }
    EXPECT_EQ(stateOf(task, "http://h/"), ObjectState::Done);
}

TEST_F(ObjectCommandsTest, RetryingFromASavedObjectSkipsNotFoundAndResumes) {
    TTask& task = taskWithFailures();
    m_view.objectSelection[ObjectListPage::Saved] = {task.Objects.TaskFindObj("http://h/failed")};
    engine().RetryFailedLinks();
    EXPECT_EQ(task.Queued, 3);
    EXPECT_EQ(task.State, TaskState::Running);
    EXPECT_EQ(stateOf(task, "http://h/missing"), ObjectState::ProtocolError);
    EXPECT_EQ(stateOf(task, "http://h/partial"), ObjectState::Incomplete);
    EXPECT_EQ(task.Objects.TaskFindObj("http://h/partial")->InList, GlobalList::Queue);

    // A second retry finds the resuming object queued already and leaves it there once.
    engine().RetryFailedLinks();
    EXPECT_EQ(task.Queued, 3);
    EXPECT_EQ(state().Queue.size(), 3u);
}

TEST_F(ObjectCommandsTest, ObjectHeldByASlotIsNotQueuedAgain) {
    TTask& task = *create("t", "http://h/a");
    tick();
    m_view.selection = {&task};
    engine().AbortSelectedTasks();  // marks it incomplete; the abort completes later
    engine().RetryFailedLinks();
    EXPECT_TRUE(state().Queue.empty());
    EXPECT_EQ(task.Queued, 1);
}

TEST_F(ObjectCommandsTest, StartingSavedObjectsQueuesThemAndRunsTheirTask) {
    TTask& task = taskWithFailures();
    TDnObj& done = *task.Objects.TaskFindObj("http://h/");
    m_view.objectSelection[ObjectListPage::Saved] = {&done};
    engine().StartSelectedObjects();
    EXPECT_EQ(done.State, ObjectState::Queued);
    EXPECT_EQ(done.InList, GlobalList::Queue);
    EXPECT_EQ(task.Queued, 1);
    EXPECT_EQ(task.State, TaskState::Running);
    tick();
    EXPECT_EQ(http(0).Obj(), &done);

    m_view.objectSelection[ObjectListPage::BeingRetrieved] = {&done};
    engine().StopSelectedObjects();
    EXPECT_THAT(m_slots.log, ElementsAre("abort http"));
}

TEST_F(ObjectCommandsTest, RemovingTheLastQueuedObjectFinishesTheTaskQuietly) {
    TTask& task = *create("t", "http://h/a");
    TDnObj& first = *task.Objects.head();
    TDnObj& second = queue(task, "http://h/b");
    m_taskFiles.written.clear();

    m_view.objectSelection[ObjectListPage::Queued] = {&second};
    engine().RemoveSelectedFromQueue();
    EXPECT_EQ(task.Queued, 1);
    EXPECT_EQ(task.State, TaskState::Running);

    m_view.objectSelection[ObjectListPage::Queued] = {&first};
    engine().RemoveSelectedFromQueue();
    pump();
    EXPECT_EQ(task.Queued, 0);
    EXPECT_EQ(task.State, TaskState::Finished);
    EXPECT_EQ(first.State, ObjectState::Removed);
    EXPECT_EQ(first.InList, GlobalList::Seen);
    EXPECT_TRUE(state().Queue.empty());
    EXPECT_THAT(m_taskFiles.written, IsEmpty());
    EXPECT_THAT(m_view.notifications, IsEmpty());
}

}  // namespace
}  // namespace quillharbor::test
