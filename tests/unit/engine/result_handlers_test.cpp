#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/scheduler_test_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::Pair;

class ResultHandlersTest : public SchedulerTest {
protected:
    std::uintptr_t failedObject(std::int32_t status) {
        TTask& task = *create("t", "http://h/x.html");
        TDnObj& object = *task.Objects.head();
        object.Status = status;
        return identityOf(object);
    }
};

// Reports without an object have texts of their own; those of a removed task say nothing.
TEST_F(ResultHandlersTest, ErrorTextsFollowTheirNotifyBits) {
    startWith("Notify=2\n");
    const std::uintptr_t object = failedObject(404);
    post(EngineMessage::HttpError, object, 404);
    post(EngineMessage::NetworkError, object, 10061);
    post(EngineMessage::TransferAborted, object);
    pump();
    EXPECT_THAT(m_view.notifications, IsEmpty());
    EXPECT_THAT(m_view.calls, Contains("RefreshObjectRow http://h/x.html"));

    engine().globalOptions().Notify = 16;
    post(EngineMessage::HttpError, object, 404);
    post(EngineMessage::FtpError, object, 550);
    post(EngineMessage::NetworkError, object, 10061);  // bit 32 only
    pump();
    engine().globalOptions().Notify = 32;
    state().TaskList.head()->Objects.head()->Status = 10061;
    post(EngineMessage::NetworkError, object, 10061);
    post(EngineMessage::TransferAborted, object);
    pump();
    engine().globalOptions().Notify = 48;
    for (EngineMessage report : {EngineMessage::NetworkError, EngineMessage::HttpError,
                                 EngineMessage::FtpError, EngineMessage::TransferAborted}) {
        post(report);
    }
    m_view.selection = {state().TaskList.head()};
    engine().RemoveSelectedTasks();
    post(EngineMessage::HttpError, object, 404);
    post(EngineMessage::ObjectDone, object);
    pump();
    EXPECT_THAT(m_view.notifications,
                ElementsAre("HTTP protocol error 404 when retrieving URL http://h/x.html",
                            "FTP protocol error 404 when retrieving URL http://h/x.html",
                            "Network error 10061 when retrieving URL http://h/x.html",
                            "Transfer from the http://h/x.html was aborted. The reason: 10061",
                            "Unknown network error", "Unknown HTTP protocol error",
                            "Unknown FTP protocol error", "Trasfer aborted"));
}

TEST_F(ResultHandlersTest, StoppedTaskIsReportedWhenItsLastTransferEnds) {
    startWith("MaxHTTPConns=2\nMaxFTPConns=0\nPause=0\nNotify=2\n");
    TTask& task = *create("t", "http://h/a");
    queue(task, "http://h/b");
    tick();
    m_view.selection = {&task};
    engine().StopSelectedTasks();
    EXPECT_THAT(m_view.notifications, IsEmpty());

    TDnObj& a = *http(0).Obj();
    http(0).complete(ObjectState::Done, "a");
    post(EngineMessage::ObjectDone, identityOf(a));
    pump();
    EXPECT_THAT(m_view.notifications, IsEmpty());

    TDnObj& b = *http(1).Obj();
    http(1).complete(ObjectState::Done, "b");
    post(EngineMessage::ObjectDone, identityOf(b));
    pump();
    EXPECT_THAT(m_view.notifications, ElementsAre("Task t is stopped."));
    EXPECT_THAT(m_rewriter.queued, ElementsAre("t"));
    EXPECT_EQ(task.State, TaskState::Stopped);  // rewriting keeps a stopped task stopped
}

TEST_F(ResultHandlersTest, DialUpBreakStopsEverythingAndLifeMarksItActive) {
    startWith("Notify=4\n");
    const std::uintptr_t object = failedObject(10060);
    TTask& task = *state().TaskList.head();
    state().RasWatching = true;
    m_dialUp.connected = true;
    post(EngineMessage::ObjectReceiving, object);
    pump();
    EXPECT_EQ(m_view.status[1], "RAS: Active");
    EXPECT_TRUE(state().RasConnected);

    post(EngineMessage::HttpError, object, 404);
    pump();
    EXPECT_EQ(task.State, TaskState::Running);  // the line is still up

    m_dialUp.connected = false;
    post(EngineMessage::NetworkError, object, 10060);
    pump();
    EXPECT_EQ(task.State, TaskState::Stopped);
    EXPECT_TRUE(state().StopAllPending);
    EXPECT_THAT(m_view.notifications, ElementsAre("The internet connection was broken."));
    EXPECT_EQ(m_view.status[1], "RAS: Broken");
    EXPECT_TRUE(state().RasWatching);
}

TEST_F(ResultHandlersTest, LinkAndRobotsReportsGoToTheIntake) {
    startWith("");
    const std::uintptr_t object = failedObject(0);
    post(EngineMessage::ScanLinks, object);
    post(EngineMessage::RobotsAnswer, state().RobotsBodies.deposit("rules"),
         static_cast<std::intptr_t>(object));
    post(EngineMessage::RobotsAnswer, 0, static_cast<std::intptr_t>(object));
    post(EngineMessage::RobotsAnswer, state().RobotsBodies.deposit("lost"),
         static_cast<std::intptr_t>(object + 1));
    pump();
    EXPECT_THAT(m_intake.scanned, ElementsAre("http://h/x.html"));
    TDnObj* head = state().TaskList.head()->Objects.head();
    EXPECT_THAT(m_intake.robots, ElementsAre(Pair(head, "rules"), Pair(head, "")));
    // The body of an unknown object is freed all the same.
    EXPECT_EQ(state().RobotsBodies.size(), 0u);
}

TEST_F(ResultHandlersTest, RewritingRefillsTheListsOnlyOfTheOneSelectedTask) {
    startWith("");
    TTask& a = *create("a");
    TTask& b = *create("b");
    m_view.selection = {&a, &b};
    post(EngineMessage::RewriteTaskLinks, identityOf(a));
    pump();
    EXPECT_THAT(m_view.calls, Not(Contains("FillObjectLists")));
    m_view.selection = {&b};
    post(EngineMessage::RewriteTaskLinks, identityOf(b));
    pump();
    EXPECT_THAT(m_view.calls, Contains("FillObjectLists"));
    EXPECT_THAT(m_rewriter.queued, ElementsAre("a", "b"));
}

}  // namespace
}  // namespace quillharbor::test
