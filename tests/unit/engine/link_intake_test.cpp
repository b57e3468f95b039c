#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/engine_test_fixture.h"
#include "model/link_admission.h"

namespace quillharbor::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

// The real link intake and no transfer slots: tests play the HTTP slot's part by saving
// documents and posting what it posts.
class LinkIntakeTest : public EngineTest {
protected:
    LinkIntakeTest() { m_realIntake = true; }
    void SetUp() override { startWith("MaxHTTPConns=0\nMaxFTPConns=0\nObeyRobotExclusion=0\n"); }
    // "URL level" of each queued object, in queue order.
    std::string queued() {
        std::vector<std::string> urls;
        for (TDnObj* at = state().Queue.head(); at != nullptr; at = at->QueueNext) {
            urls.push_back(at->URL + " " + std::to_string(at->Level));
        }
        return joined(urls);
    }
    // The task's robots.txt request for host, or nullptr.
    static TDnObj* request(const TTask& owner, const std::string& host) {
        for (TDnObj& each : owner.Objects) {
            if (each.State == ObjectState::RobotsRequest && each.URL == host + "/robots.txt") {
                return &each;
            }
        }
        return nullptr;
    }
};

// Requisites stay at their page's level: a page of the last level is scanned for them alone,
// and a style sheet's references are requisites at its level too.
TEST_F(LinkIntakeTest, RequisitesAddNoLevel) {
    TTask& t = wideTask("t", "http://h/d/index.html", 2);
    TaskSetFlag(t, TaskFlag::PageRequisites);
    scan(*t.Objects.head(), "index.html", "<a href=p.html><link rel=stylesheet href=s.css>");
    scan(*find(t, "http://h/d/p.html"), "p.html",
         "<a href=deeper.html><img srcset='i.png 2x'><p style='x:url(b.gif)'>");
    TDnObj& sheet = *find(t, "http://h/d/s.css");
    save(sheet, "s.css", "@import 'more.css'; a{b:url(../f.woff)}");
    sheet.ContentType = "text/css";
    post(EngineMessage::ScanLinks, identityOf(sheet));
    pump();
    EXPECT_EQ(queued(),
              "http://h/d/i.png 2, http://h/d/b.gif 2, http://h/d/more.css 1, http://h/f.woff 1");
    // Without the flag a page of the last level is not scanned at all.
    TTask& plain = wideTask("plain", "http://h/d/index.html", 1);
    EXPECT_FALSE(ShouldParse(*plain.Objects.head()));
    TaskSetFlag(plain, TaskFlag::PageRequisites);
    save(*plain.Objects.head(), "plain.html", "<html>");
    EXPECT_TRUE(ShouldParse(*plain.Objects.head()));
    EXPECT_FALSE(TakesPageLinks(*plain.Objects.head()));
}

// A shorter path lowers a known page's level and scans it again when it was scanned, never
// an error page nor one whose scan is still to come; a page queued again before its scan
// message arrived waits for its new transfer; an unreadable page is reported and settled; the
// last scan ends the task.
TEST_F(LinkIntakeTest, EveryScanSettlesItsPageAndTheLastOneEndsTheTask) {
    startWith("MaxHTTPConns=0\nMaxFTPConns=0\nObeyRobotExclusion=0\nNotify=0\n");
    TTask& t = wideTask("t", "http://h/", 6);
    save(*NewDnObj(t, "http://h/deep.html", 5), "deep.html", "<a href=leaf.html>",
         ObjectState::Done);
    save(*NewDnObj(t, "http://h/same.html", 2), "same.html", "<a href=no1.html>",
         ObjectState::Done);
    save(*NewDnObj(t, "http://h/missing.html", 5), "missing.html", "<a href=no2.html>",
         ObjectState::ProtocolError);
    TDnObj& pending = *NewDnObj(t, "http://h/pending.html", 5);
    save(pending, "pending.html", "<a href=gone.html>");
    TDnObj& again = *NewDnObj(t, "http://h/again.html", 5);
    save(again, "again.html", "<a href=no3.html>");
    t.Queued = 3;  // the start page, pending and again, whose scans are still to come
    scan(*t.Objects.head(), "index.html",
         "<a href=deep.html><a href=same.html><a href=missing.html><a href=pending.html>");
    EXPECT_EQ(queued(), "http://h/leaf.html 3");

    post(EngineMessage::ScanLinks, identityOf(again));
    state().SeenList.SeenRemove(again);
    state().Queue.Enqueue(again);
    pump();
    state().Queue.QueueRemove(again);
    ASSERT_TRUE(deleteFile(t.Dir + "pending.html").ok());
    state().Queue.QueueRemove(*find(t, "http://h/leaf.html"));
    t.Queued -= 1;
    post(EngineMessage::ScanLinks, identityOf(pending));
    pump();
    EXPECT_THAT(m_view.notifications, ElementsAre(testing::HasSubstr("pending.html")));
    EXPECT_EQ(objects(t),
              "http://h/ Done Seen 1, http://h/again.html Retrieved None 5, http://h/deep.html "
              "Done Seen 2, http://h/leaf.html Queued None 3, http://h/missing.html ProtocolError "
              "Seen 2, http://h/pending.html Done Seen 2, http://h/same.html Done Seen 2");
    EXPECT_EQ(t.Queued, 0);
    EXPECT_EQ(t.State, TaskState::Finished);
    EXPECT_THAT(m_taskFiles.written, ElementsAre(m_dir / "t.tsf"));
}

// An edit rescans the saved documents for what the new limits admit, and sets flags, limits and
// the state the task is left in.
TEST_F(LinkIntakeTest, EditRescansDocumentsForWhatTheNewLimitsAdmit) {
    TTask& t = wideTask("t", "http://h/", 0, 2);
    scan(*t.Objects.head(), "index.html", "<a href=a.html><a href=b.html#x><a href=c.html>");
    // Rewritten for offline reading: local names for what was saved, URLs for the rest.
    TDnObj& rewritten = *find(t, "http://h/a.html");
    save(rewritten, "a.html", "<a href=index.html><a href=http://h/d.html><a href=sub/e.html>",
         ObjectState::Done);
    rewritten.ContentType = "text/html Parsed";
    TDnObj& plain = *NewDnObj(t, "http://h/notes.txt", 2);
    save(plain, "notes.txt", "<a href=never.html>", ObjectState::Done);
    plain.ContentType = "text/plain";
    t.Queued = 0;
    TaskEditParams& edit = engine().taskEditParams();
    edit.Task = identityOf(t);
    edit.MaxFilesInf = edit.MaxLevelsInf = true;
    engine().ApplyTaskEdit();
    pump();
    EXPECT_EQ(queued(),
              "http://h/b.html 2, http://h/c.html 2, http://h/d.html 3, http://h/sub/e.html 3");
    EXPECT_EQ(t.Queued, 4) << "only the new objects count";
    EXPECT_EQ(t.State, TaskState::Stopped);
    EXPECT_THAT(m_taskFiles.written, IsEmpty());
    // The flags follow the dialog; a start delay makes the task wait, nothing left ends it.
    edit.MaxLevelsInf = edit.Parse = false;
    edit.FollowFTP = edit.TrySlashes = edit.SkipCertificateCheck = true;
    edit.MaxLevels = edit.StartAfter = 5;
    post(EngineMessage::ApplyTaskEdit);
    pump();
    EXPECT_EQ(t.Flags, 0x1030);
    EXPECT_EQ(t.MaxLevels, 5);
    EXPECT_EQ(t.State, TaskState::Waiting);
    EXPECT_EQ(t.StartCountdown, 1500);
    t.Queued = 0;
    engine().ApplyTaskEdit();
    EXPECT_EQ(t.State, TaskState::Finished);
}

// The first link of a host asks for its robots.txt (FTP hosts are not asked) and waits with
// the host's later links; the answer excludes what its rules forbid and queues the rest in URL
// order; a failed request queues them all and a second answer changes nothing; a host known
// since is judged at once, also after new settings; rules that shut a whole host can end a
// task; an aborted request stays a request.
TEST_F(LinkIntakeTest, RobotsRequestHoldsItsHostsLinksUntilAnswered) {
    startWith("MaxHTTPConns=1\nMaxFTPConns=0\nObeyRobotExclusion=1\nNotify=0\nPause=0\n");
    TTask& t = wideTask("t", "http://h/");
    TaskSetFlag(t, TaskFlag::FollowFTP);
    scan(*t.Objects.head(), "index.html",
         "<a href=/robots.txt><a href=/cgi-bin/run><a href=/private.html><a href=/private.htm>"
         "<a href=/public.html><a href=http://x:81/c.html><a href=ftp://h/f.zip>"
         "<a href=http://v/2.html>");
    EXPECT_EQ(
        queued(),
        "http://h/robots.txt 1, http://x:81/robots.txt 1, ftp://h/f.zip 2, http://v/robots.txt 1");
    EXPECT_EQ(find(t, "http://h/robots.txt")->InList, GlobalList::Wait)
        << "the request stands beside the task's own";
    EXPECT_THAT(m_view.calls, Not(Contains("AddObjectRow http://h/public.html")));
    EXPECT_EQ(state().WaitList.size(), 7u);

    TDnObj& failed = *request(t, "http://x:81");
    answerRobots(failed, "");
    answerRobots(failed, "User-agent: *\nDisallow: /\n");
    EXPECT_EQ(state().HostExclList.HostExclFind("http://x:81")->RobotsDone, 1);
    answerRobots(*request(t, "http://h"),
                 "User-agent: other\nDisallow: /public.html\n\n"
                 "User-agent: *\nDisallow: /cgi-bin/\nDISALLOW:/private.html # not for robots\n");
    EXPECT_EQ(queued(),
              "ftp://h/f.zip 2, http://v/robots.txt 1, http://x:81/c.html 2, http://h/private.htm "
              "2, http://h/public.html 2, http://h/robots.txt 2");
    EXPECT_THAT(m_view.calls, Contains("RefreshObjectRow http://h/cgi-bin/run"));
    EXPECT_THAT(m_view.calls, Contains("AddObjectRow http://h/public.html"));
    post(EngineMessage::ApplySettings);
    pump();
    scan(*NewDnObj(t, "http://h/more.html", 2), "more.html", "<a href=/cgi-bin/x><a href=/ok>");

    TTask& u = wideTask("u", "http://y/");
    scan(*u.Objects.head(), "index.html", "<a href=a.html><a href=b.html>");
    answerRobots(*request(u, "http://y"), "User-agent: *\nDisallow: /\n");
    EXPECT_EQ(find(u, "http://y/a.html")->State, ObjectState::Excluded);
    EXPECT_EQ(u.State, TaskState::Finished);

    engine().Timer1Timer();
    ASSERT_EQ(serving(http(0)), "http://v/robots.txt");
    onSelected(&Engine::AbortSelectedTasks, {&t});
    EXPECT_EQ(objects(t),
              "ftp://h/f.zip Queued Queue 2, http://h/ Done Seen 1, http://h/cgi-bin/run Excluded "
              "None 2, http://h/cgi-bin/x Excluded None 3, http://h/more.html Done Seen 2, "
              "http://h/ok Queued Queue 3, http://h/private.htm Queued Queue 2, "
              "http://h/private.html Excluded None 2, http://h/public.html Queued Queue 2, "
              "http://h/robots.txt Queued Queue 2, http://h/robots.txt RobotsRequest Seen 1, "
              "http://v/2.html Queued Wait 2, http://v/robots.txt RobotsRequest Seen 1, "
              "http://x:81/c.html Queued Queue 2, http://x:81/robots.txt RobotsRequest Seen 1");
    EXPECT_EQ(t.Total, 10) << "neither the answered requests nor the excluded objects count";
    EXPECT_EQ(t.Queued, 8);
}

TEST_F(LinkIntakeTest, RemovingTasksNeverStrandsOrLeavesWaitingObjects) {
    startWith("MaxHTTPConns=0\nMaxFTPConns=0\nObeyRobotExclusion=1\n");
    TTask& a = wideTask("a", "http://s/a/");
    scan(*a.Objects.head(), "index.html", "<a href=http://h/a.html>");
    TTask& b = wideTask("b", "http://s/b/");
    scan(*b.Objects.head(), "index.html", "<a href=http://h/b.html><a href=http://z/c.html>");
    TTask& c = wideTask("c", "http://s/c/");
    scan(*c.Objects.head(), "index.html", "<a href=http://z/d.html>");
    // a held the request that b's object waits for: b asks again
    onSelected(&Engine::RemoveSelectedTasks, {&a});
    ASSERT_NE(request(b, "http://h"), nullptr);
    EXPECT_EQ(request(b, "http://h")->Level, 1);
    EXPECT_EQ(b.Queued, 4);
    // b held z's request, and c waited for it besides b's own object: c asks
    onSelected(&Engine::RemoveSelectedTasks, {&b});
    EXPECT_EQ(state().WaitList.size(), 1u);
    ASSERT_NE(request(c, "http://z"), nullptr);
    // nobody waits for z any longer: it is forgotten, its next link asks anew
    onSelected(&Engine::RemoveSelectedTasks, {&c});
    EXPECT_TRUE(state().WaitList.empty());
    TTask& d = wideTask("d", "http://s/d/");
    scan(*d.Objects.head(), "index.html", "<a href=http://z/e.html>");
    ASSERT_NE(request(d, "http://z"), nullptr);
    // An answer still on its way when the engine goes is freed with it, and the object left
    // waiting is unlinked before its task is freed.
    post(EngineMessage::RobotsAnswer, state().RobotsBodies.deposit("User-agent: *\n"),
         static_cast<std::intptr_t>(identityOf(*request(d, "http://z"))));
    m_engine.reset();
}

}  // namespace
}  // namespace quillharbor::test
