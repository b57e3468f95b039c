#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/engine_test_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

class TaskCommandsTest : public EngineTest {
protected:
    void SetUp() override {
        writeSettings("[General]\nMaxHTTPConns=1\nMaxFTPConns=1\n");
        start();
    }
    // Hands the task's starting object to a slot, as the scheduler does.
    TDnObj& serve(TTask& task, TransferSlot& slot) {
        TDnObj& object = *task.Objects.head();
        state().Queue.QueueRemove(object);
        state().SeenList.SeenInsert(object);
        slot.Start(object);
        return object;
    }
    TransferSlot& httpSlot() { return *state().HttpSlots[0]; }
    TransferSlot& ftpSlot() { return *state().FtpSlots[0]; }
    bool refreshedAnObject() {
        return std::any_of(m_view.calls.begin(), m_view.calls.end(), [](const std::string& call) {
            return call.starts_with("RefreshObjectRow");
        });
    }
};

TEST_F(TaskCommandsTest, EditChangesLimitsFlagsAndState) {
    TTask* task = create("t");
    TaskEditParams& edit = engine().taskEditParams();
    edit.Task = identityOf(*task);
    edit.BoundaryPrefix = "http://h/";
    edit.Extensions = " .gif ";
    edit.MaxFilesInf = true;
    edit.MaxLevels = 5;
    edit.FollowFTP = true;
    edit.TrySlashes = true;
    edit.Parse = false;
    edit.SkipCertificateCheck = true;
    post(EngineMessage::ApplyTaskEdit);
    pump();
    EXPECT_EQ(task->BoundaryPrefix, "http://h/");
    EXPECT_EQ(task->Extensions, " .gif ");
    EXPECT_EQ(task->MaxFiles, 0);
    EXPECT_EQ(task->MaxLevels, 5);
    EXPECT_EQ(task->Flags, 0x1030);
    EXPECT_EQ(task->State, TaskState::Stopped);  // queued objects and no delay

    edit.StartAfter = 5;
    engine().ApplyTaskEdit();
    EXPECT_EQ(task->State, TaskState::Waiting);
    EXPECT_EQ(task->StartCountdown, 1500);

    task->Queued = 0;
    engine().ApplyTaskEdit();
    EXPECT_EQ(task->State, TaskState::Finished);
}

TEST_F(TaskCommandsTest, StopReportsAtOnceOnlyWithoutARunningTransfer) {
    TTask* served = create("served");
    TTask* idle = create("idle");
    serve(*served, httpSlot());
    m_view.selection = {idle, served};
    engine().StopSelectedTasks();

    EXPECT_EQ(served->State, TaskState::Stopped);
    EXPECT_EQ(idle->State, TaskState::Stopped);
    EXPECT_THAT(m_view.notifications, ElementsAre("Task idle is stopped."));
    // idle rewrites its links (Parse is on by default): the request is posted.
    EXPECT_TRUE(m_loop.processPending());
}

TEST_F(TaskCommandsTest, AbortMarksServedObjectsIncompleteAndAbortsTheirTransfers) {
    TTask* overHttp = create("http");
    TTask* overFtp = create("ftp", "ftp://h/file");
    TDnObj& httpObject = serve(*overHttp, httpSlot());
    TDnObj& ftpObject = serve(*overFtp, ftpSlot());
    m_view.selection = {overHttp, overFtp};
    engine().AbortSelectedTasks();

    EXPECT_EQ(overHttp->State, TaskState::Aborted);
    EXPECT_EQ(overFtp->State, TaskState::Aborted);
    EXPECT_EQ(httpObject.State, ObjectState::Incomplete);  // until its completion arrives
    EXPECT_EQ(ftpObject.State, ObjectState::Incomplete);   // over what the FTP abort left
    EXPECT_THAT(m_slots.log, ElementsAre("abort http", "abort ftp"));
    pump();
    EXPECT_EQ(httpObject.State, ObjectState::Removed);
    EXPECT_EQ(m_view.calls.back(), "RefreshObjectRow http://h/docs/");
}

TEST_F(TaskCommandsTest, StopAllAndAbortAllLeaveStoppedAbortedAndFinishedTasksAlone) {
    using enum TaskState;
    const std::vector<TaskState> before = {Running,        Stopped,  Aborted,
                                           RewritePending, Finished, Waiting};
    std::vector<TTask*> tasks;
    for (std::size_t i = 0; i < before.size(); ++i) {
        tasks.push_back(create("t" + std::to_string(i)));
    }
    const auto reset = [&] {
        for (std::size_t i = 0; i < before.size(); ++i) {
            tasks[i]->State = before[i];
        }
    };
    const auto states = [&tasks] {
        std::vector<TaskState> now;
        for (TTask* task : tasks) {
            now.push_back(task->State);
        }
        return now;
    };

    reset();
    engine().StopAllTasks();
    EXPECT_TRUE(state().StopAllPending);
    EXPECT_THAT(states(), ElementsAre(Stopped, Stopped, Aborted, Stopped, Finished, Stopped));

    reset();
    serve(*tasks[0], httpSlot());
    engine().AbortAllTasks();
    EXPECT_THAT(states(), ElementsAre(Aborted, Stopped, Aborted, Aborted, Finished, Aborted));
    EXPECT_THAT(m_slots.log, ElementsAre("abort http"));
}

TEST_F(TaskCommandsTest, RemoveFreesTheTaskAndItsTaskFileButKeepsItsSavedFiles) {
    TTask* kept = create("kept");
    TTask* removed = create("removed");
    TDnObj* queued = NewDnObj(*removed, "http://h/docs/queued", 2);
    state().Queue.Enqueue(*queued);
    const std::string directory = removed->Dir;
    ASSERT_TRUE(replaceFileAtomically(directory + "saved.html", "x").ok());
    m_view.selection = {removed};
    m_view.calls.clear();

    post(EngineMessage::RemoveSelectedTasks);
    pump();
    EXPECT_EQ(state().TaskList.TaskFind("removed"), nullptr);
    EXPECT_EQ(state().TaskList.head(), kept);
    EXPECT_EQ(state().Queue.size(), 1u);  // kept's starting object
    EXPECT_FALSE(std::filesystem::exists(m_dir / "removed.tsf"));
    EXPECT_TRUE(std::filesystem::exists(m_dir / "kept.tsf"));
    EXPECT_TRUE(std::filesystem::exists(directory + "saved.html"));
    EXPECT_THAT(m_rewriter.forgotten, ElementsAre("removed"));
    EXPECT_THAT(m_view.calls,
                ElementsAre("ClearCurrentTask", "DeleteTaskRow removed", "UpdateCommands"));
    EXPECT_TRUE(m_view.notifications.empty());
}

// Messages about a task's objects may still be on their way when the task is removed; they must
// be dropped, and a transfer aborted by the removal must not touch the freed object when its
// completion arrives. AddressSanitizer turns any use of the freed records into a failure.
TEST_F(TaskCommandsTest, MessagesAboutARemovedTaskAreDropped) {
    TTask* task = create("t");
    TDnObj& served = serve(*task, httpSlot());
    TDnObj& queued = *NewDnObj(*task, "http://h/docs/q", 2);
    state().Queue.Enqueue(queued);
    const std::uintptr_t servedId = identityOf(served);
    const std::uintptr_t queuedId = identityOf(queued);
    const std::uintptr_t taskId = identityOf(*task);

    // While the task lives, such a message reaches the view.
    post(EngineMessage::ObjectExcluded, queuedId);
    pump();
    EXPECT_TRUE(refreshedAnObject());
    m_view.calls.clear();

    m_view.selection = {task, task};
    post(EngineMessage::RemoveSelectedTasks);
    engine().AbortSelectedTasks();  // its completion is queued behind the removal
    post(EngineMessage::ObjectExcluded, servedId);
    post(EngineMessage::FtpRestartComplete, queuedId);
    post(EngineMessage::ScanLinks, servedId);
    post(EngineMessage::TaskEnded, taskId);
    post(EngineMessage::RewriteTaskLinks, taskId);
    engine().taskEditParams().Task = taskId;
    post(EngineMessage::ApplyTaskEdit);
    pump();

    EXPECT_TRUE(state().TaskList.empty());
    EXPECT_TRUE(state().Queue.empty());
    EXPECT_EQ(state().SeenList.size(), 0u);
    EXPECT_EQ(httpSlot().Obj(), nullptr);
    EXPECT_THAT(m_slots.log, Contains("abandon http"));
    EXPECT_FALSE(refreshedAnObject());
    // Selected twice, removed once.
    EXPECT_EQ(std::count(m_view.calls.begin(), m_view.calls.end(), "DeleteTaskRow t"), 1);
}

}  // namespace
}  // namespace quillharbor::test
