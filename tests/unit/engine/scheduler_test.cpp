#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "engine/engine_test_fixture.h"
#include "model/failure_cause.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using SchedulerTest = EngineTest;

void holdBack(HostTable& hosts, const std::string& host) {
    hosts.holdUntil(hosts.intern(host), HostTable::Clock::now() + std::chrono::minutes(5));
}

TEST_F(SchedulerTest, HttpTimeoutAbortsAfterMinutesWithoutData) {
    startWith("MaxHTTPConns=1\nMaxFTPConns=0\nPause=0\nHTTPTimeout=5\n");
    TDnObj& object = *create("t", "http://h/a.html")->Objects.head();
    tick();
    for (int i = 0; i < 3; ++i) {  // data every 1000 ticks keeps it alive however long it runs
        tick(1000);
        http(0).receive();
    }
    tick(1499);
    EXPECT_THAT(m_slots.log, IsEmpty());
    tick();
    EXPECT_THAT(m_slots.log, ElementsAre("abort http"));
    EXPECT_EQ(object.State, ObjectState::Removed) << "the abort completed from the loop";
    EXPECT_EQ(object.Cause, kCauseTimedOut) << "told apart from the user's abort";
    EXPECT_TRUE(http(0).ready());
}

// Only a retrieved copy settles a later object of its URL, once it has a name, with its path;
// the copy of a copy takes the first one's path. FTP objects are fetched again on request. In a
// task that rewrites its pages, a copied page is scanned like a retrieved one.
TEST_F(SchedulerTest, DuplicatesSettleOnlyAgainstARetrievedCopy) {
    const struct {
        const char* name;
        const char* settings;
        const char* url;
        ObjectState firstEnd;
        const char* localName;
        bool settles;
    } rows[] = {
        {"retrieved page", "", "http://h/p.html", ObjectState::Done, "p.html", true},
        {"saved 404 page", "", "http://h/img.gif", ObjectState::ProtocolError, "i.html", false},
        {"failed", "", "http://h/img.gif", ObjectState::Failed, "", false},
        {"ftp", "", "ftp://f/a.zip", ObjectState::Retrieved, "a.zip", true},
        {"ftp forced", "ForceFTPRetrieve=1\n", "ftp://f/a.zip", ObjectState::Retrieved, "a", false},
        {"ftp always", "AlwaysRetrieve=1\n", "ftp://f/a.zip", ObjectState::Retrieved, "a", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        startWith(std::string("MaxHTTPConns=2\nMaxFTPConns=1\nPause=0\n") + row.settings);
        m_intake.scanned.clear();
        const std::string suffix = std::to_string(&row - rows);
        TTask& first = *create("first" + suffix, row.url);
        TTask& second = *create("second" + suffix, row.url);
        TaskClearFlag(second, TaskFlag::Parse);
        TDnObj& later = *second.Objects.head();
        tick();
        EXPECT_EQ(later.InList, GlobalList::Queue) << "its copy is still arriving";
        if (row.url[0] == 'f') {
            ftp(0).answer();
            ftp(0).Obj()->State = row.firstEnd;
            ftp(0).Obj()->LocalName = row.localName;
        } else {
            ASSERT_TRUE(replaceFileAtomically(first.Dir + "p.html", "<a href=q.html>").ok());
            http(0).complete(row.firstEnd, row.localName);
        }
        tick();
        EXPECT_EQ(later.State,
                  row.settles ? ObjectState::RetrievedByOther : ObjectState::Retrieving);
        if (row.settles) {
            EXPECT_EQ(later.Location, first.Dir + row.localName);
            EXPECT_EQ(second.State, TaskState::Finished) << "a task that rewrites no pages";
            TTask& third = *create("third" + suffix, row.url);
            tick();
            EXPECT_EQ(third.Objects.head()->Location, first.Dir + row.localName);
            EXPECT_EQ(third.Queued, row.url[0] == 'h' ? 1 : 0) << "the scanner settles the page";
            EXPECT_EQ(joined(m_intake.scanned), row.url[0] == 'h' ? row.url : "");
        }
    }
}

TEST_F(SchedulerTest, StopAllIsReportedOnTheFirstIdleTickAndWaitingTasksCountDown) {
    startWith("MaxHTTPConns=2\nMaxFTPConns=0\nPause=0\nNotify=1\n");
    create("a", "http://h/a");
    create("b", "http://h/b");
    tick();
    engine().StopAllTasks();
    http(0).complete(ObjectState::Done, "a");
    tick();
    EXPECT_EQ(std::ranges::count(m_view.notifications, "All tasks are stopped."), 0);
    http(1).complete(ObjectState::Incomplete, "b");
    tick(3);
    EXPECT_EQ(std::ranges::count(m_view.notifications, "All tasks are stopped."), 1);
    EXPECT_FALSE(state().StopAllPending);

    TTask& later = *create("later");
    later.State = TaskState::Waiting;
    later.StartCountdown = 300;
    tick(299);
    EXPECT_EQ(later.State, TaskState::Waiting);
    tick();
    EXPECT_EQ(later.State, TaskState::Running);
    EXPECT_EQ(m_view.notifications.back(), "Task later is starsted.");
}

// Statistics every ten ticks, every task file every 900; a changed task's file follows every
// 25th tick, and only while something changed. A write that fails is tried again and reported
// once.
TEST_F(SchedulerTest, StatisticsAndTaskFilesFollowTheTicks) {
    startWith("MaxHTTPConns=0\nMaxFTPConns=0\n");
    const std::uintptr_t start = identityOf(*create("site")->Objects.head());
    state().BytesWindow = 1001;
    m_taskFiles.written.clear();
    const auto report = [&](int ticks, std::size_t written) {
        for (int i = 0; i < ticks; ++i) {
            post(EngineMessage::ObjectDone, start);
            tick();
        }
        EXPECT_EQ(m_taskFiles.written.size(), written);
    };
    report(9, 0);
    EXPECT_THAT(m_view.status, IsEmpty());
    report(1, 0);
    EXPECT_EQ(m_view.status[0], "bytes/sec: 500");
    EXPECT_EQ(m_view.status[3], "bytes total: 1001");
    EXPECT_THAT(m_view.status[2], MatchesRegex("work time: 0:00:0[0-9]"));
    report(15, 1);
    tick(25);
    EXPECT_EQ(m_taskFiles.written.size(), 1u);
    m_taskFiles.failWith = Error{"disk full", 28};
    report(1, 1);
    tick(49);
    EXPECT_EQ(m_taskFiles.written.size(), 3u);
    EXPECT_EQ(std::ranges::count(m_view.notifications, "disk full"), 1);
    m_taskFiles.failWith.reset();
    tick(25);
    EXPECT_EQ(m_taskFiles.written.size(), 4u);
    // A write of 300 ms of CPU holds the next one back for 6 s (30 ticks, a few more when the
    // write took longer), then the spacing is back to 5 s.
    m_taskFiles.cpuCost = std::chrono::milliseconds(300);
    report(25, 5);
    m_taskFiles.cpuCost = {};
    report(29, 5);
    report(5, 6);
    report(25, 7);
    tick(690);
    EXPECT_EQ(m_taskFiles.written.size(), 8u) << "the reports since the last write";
    tick();
    EXPECT_EQ(m_taskFiles.written.back(), engine().programDir() + "(running tasks)");
}

// A run cut short leaves its holds in the program directory; the next run still waits.
TEST_F(SchedulerTest, AHoldOutlivesTheRunAndEndsWithIt) {
    startWith("MaxHTTPConns=1\nMaxFTPConns=0\n");
    holdBack(state().Queue.hosts(), "http://h");
    ASSERT_TRUE(engine().SaveAtClose());
    start().LoadAllTasks();
    HostTable& hosts = state().Queue.hosts();
    EXPECT_FALSE(hosts.admits(hosts.intern("http://h"), HostTable::Clock::now(), 0));
    EXPECT_TRUE(hosts.admits(hosts.intern("http://h"),
                             HostTable::Clock::now() + std::chrono::seconds(301), 0));
    ASSERT_TRUE(start().SaveAtClose());  // a run with no hold
    EXPECT_FALSE(std::filesystem::exists(m_dir / "HeldHosts.txt"));
}

// A free slot keeps to the host of the connection it kept, in queue order, while that host's
// objects are eligible and for a bounded number of picks; otherwise it takes the queue's head.
TEST_F(SchedulerTest, AFreeSlotTakesTheNextEligibleObjectOfItsKeptHost) {
    const struct {
        const char* name;
        const char* kept;
        bool held, stopped, pickedEnough;
        const char* picks;  // what the slot takes, one transfer after another
    } rows[] = {
        {"the kept host in queue order, then the head", "http://h", false, false, false,
         "http://h/1, http://h/2, http://g/1, http://g/2"},
        {"no connection kept", "", false, false, false,
         "http://g/1, http://h/1, http://g/2, http://h/2"},
        {"a host never queued", "http://x", false, false, false, "http://g/1, http://h/1"},
        {"the kept host is held back", "http://h", true, false, false,
         "http://g/1, http://g/2, (idle)"},
        {"its task is stopped", "http://h", false, true, false, "http://g/1, http://g/2, (idle)"},
        {"the slot took its host's objects long enough", "http://h", false, false, true,
         "http://g/1, http://h/1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        startWith("MaxFTPConns=0\nPause=0\nMaxHTTPConns=1\n");
        const std::string suffix = std::to_string(&row - rows);
        TTask& g = *create("g" + suffix, "http://g/1");
        TTask& h = *create("h" + suffix, "http://h/1");
        queue(g, "http://g/2");
        queue(h, "http://h/2");
        http(0).kept = row.kept;
        if (row.held) {
            holdBack(state().Queue.hosts(), "http://h");
        }
        h.State = row.stopped ? TaskState::Stopped : h.State;
        http(0).KeptPicks = row.pickedEnough ? ObjectPicker::kMaxKeptPicks : 0;
        std::string picks;
        for (int i = 0; i < 4 && picks.size() < std::string_view(row.picks).size(); ++i) {
            tick();
            picks += (picks.empty() ? "" : ", ") + serving(http(0));
            if (http(0).Obj() != nullptr) {
                http(0).complete(ObjectState::Done, "f" + std::to_string(i));
            }
        }
        EXPECT_EQ(picks, row.picks);
    }
    // Slots that keep one host share its walk within the host's cap; the head goes to the rest.
    startWith("MaxFTPConns=0\nPause=0\nMaxHTTPConns=3\nMaxConnsPerHost=2\n");
    TTask& h = *create("h", "http://h/1");
    queue(h, "http://h/2");
    queue(h, "http://h/3");
    queue(*create("g", "http://g/1"), "http://g/2");
    for (int slot = 0; slot < 3; ++slot) {
        http(slot).kept = "http://h";
    }
    tick();
    EXPECT_EQ(serving(http(2)), "http://g/1") << "h is served by two slots already";
    EXPECT_EQ(http(0).KeptPicks, 1u);
    EXPECT_EQ(http(2).KeptPicks, 0u);
}

// A task ends when its last queued object settles: a rewriting one passes through state 5 to
// 6; a stale end report changes nothing; the last running task's end hangs the line up, as does
// an unexpected error; the last of all (waiting ones count) says so.
TEST_F(SchedulerTest, TaskEndsRewriteNotifyAndHangUp) {
    startWith("Notify=10\nBreakConnection=1\n");
    state().RasConnected = true;
    TTask& parse = *create("parse");
    TTask& plain = *create("plain");
    TaskClearFlag(plain, TaskFlag::Parse);
    TTask& waiting = *create("waiting");
    waiting.State = TaskState::Waiting;
    m_taskFiles.written.clear();
    const auto end = [&](TTask& task) {
        task.Queued = 0;
        post(EngineMessage::TaskEnded, identityOf(task));
    };
    post(EngineMessage::TaskEnded, identityOf(parse));  // stale: its object is still queued
    pump();
    EXPECT_EQ(parse.State, TaskState::Running);
    EXPECT_THAT(m_view.notifications, IsEmpty());

    end(parse);
    m_loop.processPending();
    EXPECT_EQ(parse.State, TaskState::RewritePending);
    EXPECT_THAT(m_taskFiles.written, ElementsAre(engine().programDir() + "parse.tsf"));
    m_loop.processPending();
    EXPECT_EQ(parse.State, TaskState::Finished);
    EXPECT_EQ(m_dialUp.hangups, 0);

    m_taskFiles.failWith = Error{"Cannot write plain.tsf", 28};
    end(plain);
    pump();
    EXPECT_EQ(plain.State, TaskState::Finished);
    EXPECT_THAT(m_rewriter.queued, ElementsAre("parse"));
    EXPECT_EQ(m_dialUp.hangups, 1) << "a waiting task does not keep the line";
    EXPECT_EQ(m_view.status[1], "RAS disconnected");
    EXPECT_FALSE(state().RasConnected);
    engine().HangUpAfterError();
    state().RasConnected = true;
    engine().HangUpAfterError();
    EXPECT_EQ(m_dialUp.hangups, 2) << "an unexpected error hangs an open line up";
    m_taskFiles.failWith.reset();

    waiting.State = TaskState::Running;
    end(waiting);
    pump();
    EXPECT_EQ(joined(m_view.notifications),
              "Task parse is finished., Cannot write plain.tsf, Task plain is finished., Task "
              "waiting is finished., All tasks are finished");
}

}  // namespace
}  // namespace quillharbor::test
