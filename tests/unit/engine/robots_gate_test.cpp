#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/link_intake_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;

class RobotsGateTest : public LinkIntakeTest {
protected:
    // The task's robots.txt request for host, or nullptr.
    TDnObj* request(const TTask& owner, const std::string& host) {
        for (TDnObj& object : owner.Objects) {
            if (object.State == ObjectState::RobotsRequest && object.URL == host + "/robots.txt") {
                return &object;
            }
        }
        return nullptr;
    }
    int requestCount() {
        int count = 0;
        for (const TTask& each : state().TaskList) {
            for (const TDnObj& object : each.Objects) {
                count += object.State == ObjectState::RobotsRequest;
            }
        }
        return count;
    }
    // A second page of the task, found on its starting page.
    TDnObj& page(TTask& owner, const std::string& url) { return *NewDnObj(owner, url, 2); }
};

constexpr const char* kRules =
    "User-agent: other\nDisallow: /public.html\n\n"
    "User-agent: *\nDisallow: /cgi-bin/\nDISALLOW:/private.html # not for robots\n";

TEST_F(RobotsGateTest, FirstObjectOfAHostWaitsAndLaterOnesQueueBehindIt) {
    startWith("ObeyRobotExclusion=1\n");
    TTask& t = task("t", "http://h/");
    TaskSetFlag(t, TaskFlag::FollowFTP);
    scan(*t.Objects.head(), "index.html",
         "<a href=a.html><a href=b.html><a href=http://x:81/c.html><a href=ftp://h/f.zip>");

    // One request per new host, at the level of the page, queued like a file; FTP is not asked.
    EXPECT_THAT(queuedUrls(),
                ElementsAre("http://h/robots.txt", "http://x:81/robots.txt", "ftp://h/f.zip"));
    ASSERT_NE(request(t, "http://h"), nullptr);
    EXPECT_EQ(request(t, "http://h")->Level, 1);
    TDnObj& a = *find(t, "http://h/a.html");
    EXPECT_EQ(a.InList, GlobalList::Wait);
    EXPECT_EQ(a.State, ObjectState::Queued);
    EXPECT_FALSE(called("AddObjectRow http://h/a.html"));
    EXPECT_EQ(state().WaitList.size(), 3u);
    // The page's three links, the FTP link and two requests; the page itself is done.
    EXPECT_EQ(t.Total, 7);
    EXPECT_EQ(t.Queued, 6);

    scan(page(t, "http://h/more.html"), "more.html", "<a href=/d.html>");
    EXPECT_EQ(requestCount(), 2);
    EXPECT_EQ(find(t, "http://h/d.html")->InList, GlobalList::Wait);
}

TEST_F(RobotsGateTest, AnswerQueuesOrExcludesTheWaitersOfItsHostOnly) {
    startWith("ObeyRobotExclusion=1\n");
    TTask& t = task("t", "http://h/");
    scan(*t.Objects.head(), "index.html",
         "<a href=/cgi-bin/run><a href=/private.html><a href=/private.htm><a href=/public.html>"
         "<a href=http://x/c.html>");
    answerRobots(*request(t, "http://h"), kRules);

    TDnObj& cgi = *find(t, "http://h/cgi-bin/run");
    EXPECT_EQ(cgi.State, ObjectState::Excluded);
    EXPECT_EQ(cgi.InList, GlobalList::None);
    EXPECT_TRUE(called("RefreshObjectRow http://h/cgi-bin/run"));
    EXPECT_EQ(find(t, "http://h/private.html")->State, ObjectState::Excluded);
    // Released in URL order, each shown in the queued list.
    EXPECT_THAT(queuedUrls(),
                ElementsAre("http://x/robots.txt", "http://h/private.htm", "http://h/public.html"));
    EXPECT_TRUE(called("AddObjectRow http://h/public.html"));
    EXPECT_EQ(find(t, "http://x/c.html")->InList, GlobalList::Wait);
    // Neither the answered request nor the excluded objects count any longer.
    EXPECT_EQ(request(t, "http://h")->InList, GlobalList::Seen);
    EXPECT_EQ(t.Total, 5);
    EXPECT_EQ(t.Queued, 4);

    // The host is known now: its new links are judged at once.
    scan(page(t, "http://h/more.html"), "more.html", "<a href=/cgi-bin/x><a href=/fine.html>");
    EXPECT_EQ(find(t, "http://h/cgi-bin/x")->State, ObjectState::Excluded);
    EXPECT_EQ(find(t, "http://h/fine.html")->InList, GlobalList::Queue);
    EXPECT_EQ(requestCount(), 2);
    EXPECT_EQ(t.Queued, 5);
}

TEST_F(RobotsGateTest, FailedRequestFreesTheWaitersAndExclusionCanEndATask) {
    startWith("ObeyRobotExclusion=1\nNotify=0\n");
    TTask& t = task("t", "http://h/");
    scan(*t.Objects.head(), "index.html", "<a href=/cgi-bin/a><a href=/b.html>");
    TDnObj& failed = *request(t, "http://h");
    answerRobots(failed, "");
    EXPECT_THAT(queuedUrls(), ElementsAre("http://h/b.html", "http://h/cgi-bin/a"));
    EXPECT_EQ(state().HostExclList.HostExclFind("http://h")->RobotsDone, 1);
    EXPECT_EQ(t.Queued, 2);
    // A second answer for the same request changes nothing.
    answerRobots(failed, "User-agent: *\nDisallow: /\n");
    EXPECT_EQ(t.Queued, 2);
    EXPECT_EQ(t.Total, 3);

    // A single slash shuts the whole host: once its request is settled the task has nothing
    // left and ends.
    TTask& u = task("u", "http://y/");
    scan(*u.Objects.head(), "index.html", "<a href=a.html><a href=b.html>");
    answerRobots(*request(u, "http://y"), "User-agent: *\nDisallow: /\n");
    EXPECT_EQ(find(u, "http://y/a.html")->State, ObjectState::Excluded);
    EXPECT_EQ(u.Queued, 0);
    EXPECT_EQ(u.Total, 1);
    EXPECT_EQ(u.State, TaskState::Finished);
    EXPECT_EQ(t.State, TaskState::Running);
}

TEST_F(RobotsGateTest, ALinkToRobotsTxtItselfStillGetsTheRulesRead) {
    startWith("ObeyRobotExclusion=1\n");
    TTask& t = task("t", "http://h/");
    scan(*t.Objects.head(), "index.html", "<a href=/robots.txt><a href=/secret/x.html>");
    // The task's own object keeps the URL for the links; the request stands beside it.
    TDnObj& linked = *find(t, "http://h/robots.txt");
    EXPECT_EQ(linked.State, ObjectState::Queued);
    EXPECT_EQ(linked.InList, GlobalList::Wait);
    TDnObj* asked = request(t, "http://h");
    ASSERT_NE(asked, nullptr);
    EXPECT_NE(asked, &linked);
    answerRobots(*asked, "User-agent: *\nDisallow: /secret/\n");
    EXPECT_THAT(queuedUrls(), ElementsAre("http://h/robots.txt"));
    EXPECT_EQ(find(t, "http://h/secret/x.html")->State, ObjectState::Excluded);
}

TEST_F(RobotsGateTest, RemovingTasksNeverStrandsOrLeavesWaitingObjects) {
    startWith("ObeyRobotExclusion=1\n");
    TTask& a = task("a", "http://s/a/");
    scan(*a.Objects.head(), "index.html", "<a href=http://h/a.html>");
    TTask& b = task("b", "http://s/b/");
    scan(*b.Objects.head(), "index.html", "<a href=http://h/b.html><a href=http://z/c.html>");
    TTask& c = task("c", "http://s/c/");
    scan(*c.Objects.head(), "index.html", "<a href=http://z/d.html>");
    ASSERT_NE(request(a, "http://h"), nullptr);
    ASSERT_NE(request(b, "http://z"), nullptr);

    // a held the request that b's object waits for: b asks again.
    m_view.selection = {&a};
    engine().RemoveSelectedTasks();
    TDnObj* asked = request(b, "http://h");
    ASSERT_NE(asked, nullptr);
    EXPECT_EQ(asked->Level, 1);
    EXPECT_EQ(b.Queued, 4);
    EXPECT_EQ(state().WaitList.size(), 3u);

    // b held z's request, and only c waited for it besides b's own object: c asks.
    m_view.selection = {&b};
    engine().RemoveSelectedTasks();
    EXPECT_EQ(state().WaitList.size(), 1u);
    ASSERT_NE(request(c, "http://z"), nullptr);

    // Nobody waits for z any longer: it is forgotten, and its next link asks anew.
    m_view.selection = {&c};
    engine().RemoveSelectedTasks();
    EXPECT_TRUE(state().WaitList.empty());
    EXPECT_EQ(state().HostExclList.HostExclFind("http://z"), nullptr);
    TTask& d = task("d", "http://s/d/");
    scan(*d.Objects.head(), "index.html", "<a href=http://z/e.html>");
    ASSERT_NE(request(d, "http://z"), nullptr);

    // An answer still on its way when the engine goes is freed with it, and the object left
    // waiting is unlinked before its task is freed.
    post(EngineMessage::RobotsAnswer, state().RobotsBodies.deposit("User-agent: *\n"),
         static_cast<std::intptr_t>(identityOf(*request(d, "http://z"))));
    m_engine.reset();
}

TEST_F(RobotsGateTest, RulesOutliveNewSettingsAndAnAbortedRequestStaysARequest) {
    startWith("ObeyRobotExclusion=1\nPause=0\n", 1);
    TTask& t = task("t", "http://h/");
    scan(*t.Objects.head(), "index.html", "<a href=/x/1.html><a href=http://v/2.html>");
    answerRobots(*request(t, "http://h"), "User-agent: *\nDisallow: /x/\n");
    post(EngineMessage::ApplySettings);
    pump();
    scan(page(t, "http://h/more.html"), "more.html", "<a href=/x/3.html>");
    EXPECT_EQ(find(t, "http://h/x/3.html")->State, ObjectState::Excluded);

    // Its end must still answer the objects waiting for its host.
    TDnObj& pending = *request(t, "http://v");
    ASSERT_THAT(queuedUrls(), ElementsAre("http://v/robots.txt"));
    engine().Timer1Timer();
    ASSERT_EQ(state().HttpSlots[0]->Obj(), &pending);
    m_view.selection = {&t};
    engine().AbortSelectedTasks();
    EXPECT_EQ(pending.State, ObjectState::RobotsRequest);
}

}  // namespace
}  // namespace quillharbor::test
