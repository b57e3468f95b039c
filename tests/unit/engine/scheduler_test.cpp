#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/scheduler_test_fixture.h"
#include "model/failure_cause.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;

const char* urlOf(const TransferSlot& slot) {
    return slot.Obj() != nullptr ? slot.Obj()->URL.c_str() : "(idle)";
}

// A pause rests whole ticks between one slot's transfers; below one tick it costs none.
TEST_F(SchedulerTest, PauseRestsWholeTicksBetweenTransfers) {
    for (const auto& [pause, restingTicks] : {std::pair{"500", 2}, std::pair{"199", 0}}) {
        SCOPED_TRACE(pause);
        m_engine.reset();
        startWith(std::string("MaxHTTPConns=1\nMaxFTPConns=0\nPause=") + pause + "\n");
        TTask& task = *create(std::string("t") + pause, "http://h/a.html");
        queue(task, "http://h/b.html");
        for (const char* next : {"http://h/a.html", "http://h/b.html"}) {
            tick(restingTicks);
            EXPECT_STREQ(urlOf(http(0)), "(idle)");
            tick();
            EXPECT_STREQ(urlOf(http(0)), next);
            EXPECT_EQ(http(0).Obj()->InList, GlobalList::Seen);
            http(0).complete(ObjectState::Done, next + 9);
        }
    }
}

TEST_F(SchedulerTest, HttpTimeoutAbortsAfterMinutesWithoutData) {
    startWith("MaxHTTPConns=1\nMaxFTPConns=0\nPause=0\nHTTPTimeout=5\n");
    TDnObj& object = *create("t", "http://h/a.html")->Objects.head();
    tick();
    ASSERT_EQ(http(0).Obj(), &object);

    // Data every 1000 ticks keeps it alive however long it runs.
    for (int i = 0; i < 3; ++i) {
        tick(1000);
        http(0).receive();
    }
    tick(1499);
    EXPECT_THAT(m_slots.log, IsEmpty());
    tick();
    EXPECT_THAT(m_slots.log, ElementsAre("abort http"));
    // The abort completed from the loop; the slot is free again.
    EXPECT_EQ(object.State, ObjectState::Removed);
    EXPECT_EQ(object.Cause, kCauseTimedOut) << "told apart from the user's abort";
    EXPECT_EQ(http(0).BusyTicks, 0);
    EXPECT_TRUE(http(0).ready());
}

TEST_F(SchedulerTest, ObjectsThatAreNotEligibleStayQueuedInPlace) {
    startWith("MaxHTTPConns=2\nMaxFTPConns=1\nPause=0\n");
    TTask& stopped = *create("stopped", "http://h/s1.html");
    queue(stopped, "ftp://f/pub/s.zip");
    stopped.State = TaskState::Stopped;
    TTask& running = *create("running", "ftp://f/pub/r.zip");
    queue(running, "http://h/r.html");

    tick();
    EXPECT_STREQ(urlOf(http(0)), "http://h/r.html");
    EXPECT_STREQ(urlOf(http(1)), "(idle)");
    EXPECT_STREQ(urlOf(ftp(0)), "ftp://f/pub/r.zip");
    ASSERT_EQ(state().Queue.size(), 2u);
    EXPECT_EQ(state().Queue.head()->URL, "http://h/s1.html");
    EXPECT_EQ(state().Queue.tail()->URL, "ftp://f/pub/s.zip");

    // The FTP slot is let go of its object once its component is ready again.
    ftp(0).answer();
    stopped.State = TaskState::Running;
    tick();
    EXPECT_STREQ(urlOf(ftp(0)), "ftp://f/pub/s.zip");
    EXPECT_STREQ(urlOf(http(1)), "http://h/s1.html");
}

// A copy still unnamed holds its duplicate back; once named, the duplicate is settled with its
// path and never fetched.
TEST_F(SchedulerTest, DuplicateAcrossTasksIsSettledWithThePathOfTheCopy) {
    startWith("MaxHTTPConns=2\nMaxFTPConns=0\nPause=0\n");
    TTask& first = *create("first", "http://h/img.gif");
    TTask& second = *create("second", "http://h/img.gif");
    TDnObj& duplicate = *second.Objects.head();
    tick();
    EXPECT_STREQ(urlOf(http(1)), "(idle)");
    EXPECT_EQ(duplicate.InList, GlobalList::Queue);

    http(0).complete(ObjectState::Done, "img.gif");
    tick();
    EXPECT_STREQ(urlOf(http(0)), "(idle)");
    EXPECT_EQ(duplicate.State, ObjectState::RetrievedByOther);
    EXPECT_EQ(duplicate.Location, first.Dir + "img.gif");
    EXPECT_EQ(duplicate.InList, GlobalList::Seen);
    EXPECT_EQ(second.Queued, 0);
    // Its task ended through the posted messages: file written, links rewritten.
    EXPECT_EQ(second.State, TaskState::Finished);
    EXPECT_THAT(m_rewriter.queued, ElementsAre("second"));

    // A third task settles against the first copy, never against the settled one's directory.
    TDnObj& third = *create("third", "http://h/img.gif")->Objects.head();
    tick();
    EXPECT_EQ(third.Location, first.Dir + "img.gif");
}

TEST_F(SchedulerTest, FailedCopyNeverMakesADuplicate) {
    startWith("MaxHTTPConns=1\nMaxFTPConns=0\nPause=0\n");
    create("first", "http://h/img.gif");
    tick();
    http(0).complete(ObjectState::ProtocolError, "img.gif.html");  // a saved 404 page
    create("second", "http://h/img.gif");
    tick();
    ASSERT_NE(http(0).Obj(), nullptr);
    EXPECT_EQ(http(0).Obj()->Task->Name, "second");
    http(0).complete(ObjectState::Failed);
    create("third", "http://h/img.gif");
    tick();
    ASSERT_NE(http(0).Obj(), nullptr);
    EXPECT_EQ(http(0).Obj()->Task->Name, "third");
}

// In a task that rewrites its pages, a copied page is scanned like a retrieved one, and only
// once the copy is whole.
TEST_F(SchedulerTest, CopiedPageOfARewritingTaskGoesToTheLinkScanner) {
    startWith("MaxHTTPConns=2\nMaxFTPConns=0\nPause=0\n");
    TTask& first = *create("first", "http://h/p.html");
    TTask& second = *create("second", "http://h/p.html");
    tick();
    TDnObj& copy = *second.Objects.head();
    EXPECT_EQ(copy.InList, GlobalList::Queue) << "the first task's page is still arriving";

    ASSERT_TRUE(replaceFileAtomically(first.Dir + "p.html", "<a href=q.html>").ok());
    http(0).complete(ObjectState::Done, "p.html");
    tick();
    EXPECT_EQ(copy.State, ObjectState::RetrievedByOther);
    EXPECT_EQ(second.Queued, 1) << "the scanner settles the page";
    EXPECT_THAT(m_intake.scanned, ElementsAre("http://h/p.html"));

    // A task that does not rewrite keeps the copy as it is.
    TTask& third = *create("third", "http://h/p.html");
    TaskClearFlag(third, TaskFlag::Parse);
    tick();
    EXPECT_EQ(third.Objects.head()->State, ObjectState::RetrievedByOther);
    EXPECT_EQ(third.Queued, 0);
    EXPECT_EQ(m_intake.scanned.size(), 1u);
}

TEST_F(SchedulerTest, FtpDuplicatesAreRetrievedWhenEitherRetrieveSettingAsks) {
    const std::string url = "ftp://f/pub/a.zip";
    for (const char* setting : {"", "ForceFTPRetrieve=1\n", "AlwaysRetrieve=1\n"}) {
        SCOPED_TRACE(setting);
        m_engine.reset();  // a fresh engine for each setting
        // Without the last engine's task files, whose names a new task may not take.
        std::remove((m_dir / "first.tsf").c_str());
        std::remove((m_dir / "second.tsf").c_str());
        startWith(std::string("MaxHTTPConns=1\nMaxFTPConns=1\nPause=0\n") + setting);
        TTask& first = *create("first", url);
        tick();
        ftp(0).answer();
        ftp(0).Obj()->State = ObjectState::Retrieved;
        ftp(0).Obj()->LocalName = "a.zip";
        TDnObj& later = *create("second", url)->Objects.head();
        tick();
        if (*setting == '\0') {
            EXPECT_EQ(later.State, ObjectState::RetrievedByOther);
            EXPECT_EQ(later.Location, first.Dir + "a.zip");
        } else {
            EXPECT_EQ(ftp(0).Obj(), &later);
        }
    }
}

TEST_F(SchedulerTest, StopAllIsReportedOnTheFirstIdleTick) {
    startWith("MaxHTTPConns=3\nMaxFTPConns=0\nPause=0\n");
    for (const char* name : {"a", "b", "c"}) {
        create(name, std::string("http://h/") + name);
    }
    tick();
    engine().StopAllTasks();
    tick();
    http(0).complete(ObjectState::Done, "a");
    http(1).complete(ObjectState::Incomplete, "b");
    tick();
    EXPECT_EQ(count(m_view.notifications, "All tasks are stopped."), 0);
    EXPECT_TRUE(state().StopAllPending);

    http(2).complete(ObjectState::Done, "c");
    tick();
    EXPECT_EQ(count(m_view.notifications, "All tasks are stopped."), 1);
    EXPECT_FALSE(state().StopAllPending);
    tick(2);
    EXPECT_EQ(count(m_view.notifications, "All tasks are stopped."), 1);
}

TEST_F(SchedulerTest, WaitingTaskStartsWhenItsCountdownRunsOut) {
    startWith("MaxHTTPConns=1\nMaxFTPConns=0\nNotify=1\n");
    engine().PrepareNewTaskParams();
    NewTaskParams& params = engine().newTaskParams();
    params.Name = "later";
    params.URL = "http://h/";
    params.StartAtOnce = false;
    params.StartAfter = 1;
    TTask& task = *engine().CreateTask();
    tick(299);
    EXPECT_EQ(task.State, TaskState::Waiting);
    tick();
    EXPECT_EQ(task.State, TaskState::Running);
    EXPECT_THAT(m_view.notifications, ElementsAre("Task later is starsted."));
}

TEST_F(SchedulerTest, StatisticsEveryTenTicksAndSaveEveryNineHundred) {
    startWith("MaxHTTPConns=1\nMaxFTPConns=0\n");
    TTask& running = *create("running");
    create("stopped")->State = TaskState::Stopped;
    state().BytesWindow = 1001;
    tick(9);
    EXPECT_THAT(m_view.status, IsEmpty());
    tick();
    EXPECT_EQ(m_view.status[0], "bytes/sec: 500");
    EXPECT_EQ(m_view.status[3], "bytes total: 1001");
    EXPECT_THAT(m_view.status[2], MatchesRegex("work time: 0:00:0[0-9]"));
    EXPECT_EQ(state().BytesWindow, 0);

    m_taskFiles.written.clear();
    tick(889);
    EXPECT_THAT(m_taskFiles.written, IsEmpty());
    tick();
    EXPECT_THAT(m_taskFiles.written, ElementsAre(engine().programDir() + running.Name + ".tsf"));
}

// One report per tick: the file follows every second tick, and only while something changed.
// A write that fails is tried again and reported once.
TEST_F(SchedulerTest, ChangedTasksAreWrittenEverySecondTick) {
    startWith("MaxHTTPConns=0\nMaxFTPConns=0\n");
    TTask& task = *create("site");
    const std::string file = engine().programDir() + "site.tsf";
    const std::uintptr_t start = identityOf(*task.Objects.head());
    m_taskFiles.written.clear();
    for (int i = 0; i < 6; ++i) {
        post(EngineMessage::ObjectDone, start);
        tick();
    }
    EXPECT_THAT(m_taskFiles.written, ElementsAre(file, file, file));
    tick(4);
    EXPECT_EQ(m_taskFiles.written.size(), 3u);

    m_taskFiles.failWith = Error{"disk full", 28};
    post(EngineMessage::ObjectDone, start);
    tick(4);
    EXPECT_EQ(m_taskFiles.written.size(), 5u);
    EXPECT_EQ(count(m_view.notifications, "disk full"), 1);
    m_taskFiles.failWith.reset();
    tick(2);
    EXPECT_EQ(m_taskFiles.written.size(), 6u);
    tick(2);
    EXPECT_EQ(m_taskFiles.written.size(), 6u);
}

}  // namespace
}  // namespace quillharbor::test
