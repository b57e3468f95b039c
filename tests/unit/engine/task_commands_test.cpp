#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/engine_test_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

class TaskCommandsTest : public EngineTest {
protected:
    void SetUp() override { startWith("MaxHTTPConns=1\nMaxFTPConns=1\nPause=0\nNotify=2\n"); }
    // Hands the task's starting object to a slot, as the scheduler does.
    TDnObj& serve(TTask& task, TransferSlot& slot) {
        TDnObj& object = *task.Objects.head();
        state().Queue.QueueRemove(object);
        state().SeenList.SeenInsert(object);
        slot.Start(object);
        return object;
    }
    // A new object of task that has ended for good in state, as a transfer would leave it.
    TDnObj& settled(TTask& task, const std::string& url, ObjectState ended, int status = 0) {
        TDnObj& object = *NewDnObj(task, url, 2);
        --task.Queued;
        object.State = ended;
        object.Status = status;
        state().SeenList.SeenInsert(object);
        return object;
    }
};

// The commands over all tasks leave stopped, aborted and finished tasks alone. An abort marks the
// served objects incomplete and aborts their transfers; the HTTP abort completes from the loop.
TEST_F(TaskCommandsTest, StopAllAndAbortAllLeaveStoppedAbortedAndFinishedTasksAlone) {
    using enum TaskState;
    const std::vector<TaskState> before = {Running,  Stopped, Aborted, RewritePending,
                                           Finished, Waiting, Running};
    std::vector<TTask*> tasks;
    for (std::size_t i = 0; i < before.size(); ++i) {
        tasks.push_back(create("t" + std::to_string(i), i == 6 ? "ftp://h/file" : "http://h/"));
    }
    const auto statesAfter = [&](void (Engine::*command)()) {
        for (std::size_t i = 0; i < before.size(); ++i) {
            tasks[i]->State = before[i];
        }
        (engine().*command)();
        std::vector<TaskState> now;
        for (TTask* task : tasks) {
            now.push_back(task->State);
        }
        return now;
    };
    EXPECT_THAT(statesAfter(&Engine::StopAllTasks),
                ElementsAre(Stopped, Stopped, Aborted, Stopped, Finished, Stopped, Stopped));
    EXPECT_TRUE(state().StopAllPending);
    TDnObj& overHttp = serve(*tasks[0], *state().HttpSlots[0]);
    TDnObj& overFtp = serve(*tasks[6], *state().FtpSlots[0]);
    EXPECT_THAT(statesAfter(&Engine::AbortAllTasks),
                ElementsAre(Aborted, Stopped, Aborted, Aborted, Finished, Aborted, Aborted));
    EXPECT_THAT(m_slots.log, ElementsAre("abort http", "abort ftp"));
    EXPECT_EQ(overFtp.State, ObjectState::Incomplete) << "over what the FTP abort left";
    EXPECT_EQ(overHttp.State, ObjectState::Incomplete) << "until its completion";
    pump();
    EXPECT_EQ(overHttp.State, ObjectState::Removed);
    EXPECT_THAT(m_view.calls, Contains("RefreshObjectRow http://h/"));
}

// Removal frees the task (selected twice, removed once) and its task file but keeps its saved
// files; messages about its objects still on their way are dropped, and the aborted transfer's
// completion never touches the freed object (AddressSanitizer turns any use into a failure).
TEST_F(TaskCommandsTest, RemoveFreesTheTaskAndDropsMessagesAboutIt) {
    TTask* kept = create("kept");
    TTask* task = create("t");
    TDnObj& served = serve(*task, *state().HttpSlots[0]);
    TDnObj& queued = queue(*task, "http://h/docs/q");
    ASSERT_TRUE(replaceFileAtomically(task->Dir + "saved.html", "x").ok());
    const std::string dir = task->Dir;
    const std::uintptr_t servedId = identityOf(served), queuedId = identityOf(queued);
    const std::uintptr_t taskId = identityOf(*task);
    post(EngineMessage::ObjectExcluded, queuedId);  // while the task lives it reaches the view
    pump();
    EXPECT_THAT(m_view.calls, Contains(StartsWith("RefreshObjectRow")));
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
    EXPECT_EQ(state().TaskList.head(), kept);
    EXPECT_EQ(state().TaskList.size(), 1u);
    EXPECT_EQ(state().Queue.size(), 1u);  // kept's starting object
    EXPECT_EQ(state().SeenList.size(), 0u);
    EXPECT_EQ(state().HttpSlots[0]->Obj(), nullptr);
    EXPECT_THAT(m_slots.log, Contains("abandon http"));
    EXPECT_THAT(m_view.calls, Not(Contains(StartsWith("RefreshObjectRow"))));
    EXPECT_EQ(std::ranges::count(m_view.calls, "DeleteTaskRow t"), 1);
    EXPECT_THAT(m_view.calls, Contains("ClearCurrentTask"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "t.tsf"));
    EXPECT_TRUE(std::filesystem::exists(m_dir / "kept.tsf"));
    EXPECT_TRUE(std::filesystem::exists(dir + "saved.html"));
    EXPECT_THAT(m_rewriter.forgotten, ElementsAre("t"));
    EXPECT_THAT(m_view.notifications, IsEmpty());
}

// Retry from a saved object skips what was not found and resumes the partial file; retry of
// the task takes every failure; nothing is queued twice, nor while a slot still holds it.
TEST_F(TaskCommandsTest, RetryQueuesFailedObjectsOnce) {
    TTask& held = *create("held", "http://h/held");
    serve(held, *state().HttpSlots[0]);
    onSelected(&Engine::AbortSelectedTasks,
               {&held});  // marks it incomplete; the abort completes later
    engine().RetryFailedLinks();
    EXPECT_TRUE(state().Queue.empty()) << "its slot still holds it";
    EXPECT_EQ(held.Queued, 1);

    TTask& task = *create("t", "http://h/");
    TDnObj& start = serve(task, *state().FtpSlots[0]);
    start.State = ObjectState::Done;
    --task.Queued;
    settled(task, "http://h/failed", ObjectState::Failed);
    settled(task, "http://h/missing", ObjectState::ProtocolError, 404);
    settled(task, "http://h/removed", ObjectState::Removed);
    TDnObj& partial = settled(task, "http://h/partial", ObjectState::Incomplete);
    partial.Received = 100;
    task.State = TaskState::Stopped;
    state().FtpSlots[0]->Finish();
    m_view.selection.clear();
    m_view.objectSelection[ObjectListPage::Saved] = {find(task, "http://h/failed")};
    for (int twice = 0; twice < 2; ++twice) {
        engine().RetryFailedLinks();
        EXPECT_EQ(task.Queued, 3);
        EXPECT_EQ(state().Queue.size(), 3u);
    }
    EXPECT_EQ(task.State, TaskState::Running);
    EXPECT_EQ(find(task, "http://h/missing")->State, ObjectState::ProtocolError);
    EXPECT_EQ(partial.State, ObjectState::Incomplete);
    EXPECT_EQ(partial.InList, GlobalList::Queue);
    m_view.objectSelection.clear();
    m_view.selection = {&task};
    engine().RetryFailedLinks();
    EXPECT_EQ(task.Queued, 4);
    EXPECT_EQ(find(task, "http://h/missing")->State, ObjectState::Queued);
    EXPECT_EQ(start.State, ObjectState::Done);
}

// Starting a saved object queues it and runs its task; stopping it aborts its transfer;
// removing the last queued object finishes the task quietly.
TEST_F(TaskCommandsTest, ObjectCommandsStartStopAndRemove) {
    TTask& task = *create("t", "http://h/a");
    TDnObj& first = *task.Objects.head();
    TDnObj& second = queue(task, "http://h/b");
    m_taskFiles.written.clear();
    onObjects(&Engine::RemoveSelectedFromQueue, ObjectListPage::Queued, {&second});
    EXPECT_EQ(task.State, TaskState::Running);
    onObjects(&Engine::RemoveSelectedFromQueue, ObjectListPage::Queued, {&first});
    pump();
    EXPECT_EQ(task.State, TaskState::Finished);
    EXPECT_EQ(first.State, ObjectState::Removed);
    EXPECT_EQ(first.InList, GlobalList::Seen);
    EXPECT_TRUE(state().Queue.empty());
    EXPECT_THAT(m_taskFiles.written, IsEmpty());
    EXPECT_THAT(m_view.notifications, IsEmpty());

    onObjects(&Engine::StartSelectedObjects, ObjectListPage::Saved, {&second});
    EXPECT_EQ(second.InList, GlobalList::Queue);
    EXPECT_EQ(task.Queued, 1);
    EXPECT_EQ(task.State, TaskState::Running);
    tick();
    EXPECT_EQ(http(0).Obj(), &second);
    onObjects(&Engine::StopSelectedObjects, ObjectListPage::BeingRetrieved, {&second});
    EXPECT_THAT(m_slots.log, ElementsAre("abort http"));
}

// Reports without an object have texts of their own; those of a removed task say nothing.
TEST_F(TaskCommandsTest, ErrorTextsFollowTheirNotifyBits) {
    TDnObj& failed = *create("t", "http://h/x.html")->Objects.head();
    failed.Status = 404;
    const std::uintptr_t object = identityOf(failed);
    const auto report = [&](int notify, std::vector<std::pair<EngineMessage, int>> reports) {
        engine().globalOptions().Notify = notify;
        for (const auto& [message, code] : reports) {
            post(message, code < 0 ? 0 : object, code);
        }
        pump();
    };
    using enum EngineMessage;
    report(2, {{HttpError, 404}, {NetworkError, 10061}, {TransferAborted, 0}});
    EXPECT_THAT(m_view.notifications, IsEmpty());
    EXPECT_THAT(m_view.calls, Contains("RefreshObjectRow http://h/x.html"));
    report(16, {{HttpError, 404}, {FtpError, 550}, {NetworkError, 10061}});
    failed.Status = 10061;
    report(32, {{NetworkError, 10061}, {TransferAborted, 0}});
    report(48, {{NetworkError, -1}, {HttpError, -1}, {FtpError, -1}, {TransferAborted, -1}});
    onSelected(&Engine::RemoveSelectedTasks, {state().TaskList.head()});
    EXPECT_TRUE(state().TaskList.empty());
    report(48, {{HttpError, 404}, {ObjectDone, 0}});
    EXPECT_THAT(m_view.notifications,
                ElementsAre("HTTP protocol error 404 when retrieving URL http://h/x.html",
                            "FTP protocol error 404 when retrieving URL http://h/x.html",
                            "Network error 10061 when retrieving URL http://h/x.html",
                            "Transfer from the http://h/x.html was aborted. The reason: 10061",
                            "Unknown network error", "Unknown HTTP protocol error",
                            "Unknown FTP protocol error", "Trasfer aborted"));
}

// A stopped task is reported when its last transfer ends, and its links are rewritten with
// the task kept stopped; only the one selected task's lists are refilled after rewriting.
TEST_F(TaskCommandsTest, StoppedTaskIsReportedWhenItsLastTransferEnds) {
    startWith("MaxHTTPConns=2\nMaxFTPConns=0\nPause=0\nNotify=2\n");
    TTask& task = *create("t", "http://h/a");
    queue(task, "http://h/b");
    tick();
    onSelected(&Engine::StopSelectedTasks, {&task});
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_THAT(m_view.notifications, IsEmpty());
        TDnObj& object = *http(slot).Obj();
        http(slot).complete(ObjectState::Done, "f");
        post(EngineMessage::ObjectDone, identityOf(object));
        pump();
    }
    EXPECT_THAT(m_view.notifications, ElementsAre("Task t is stopped."));
    EXPECT_THAT(m_rewriter.queued, ElementsAre("t"));
    EXPECT_EQ(task.State, TaskState::Stopped);

    TTask& other = *create("other");
    m_view.calls.clear();
    m_view.selection = {&task, &other};
    post(EngineMessage::RewriteTaskLinks, identityOf(other));
    pump();
    EXPECT_THAT(m_view.calls, Not(Contains("FillObjectLists")));
    m_view.selection = {&other};
    post(EngineMessage::RewriteTaskLinks, identityOf(other));
    pump();
    EXPECT_THAT(m_view.calls, Contains("FillObjectLists"));
}

}  // namespace
}  // namespace quillharbor::test
