#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/link_intake_fixture.h"
#include "model/link_admission.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(LinkIntakeTest, NewLinksBecomeQueuedChildrenOneLevelDeeper) {
    startWith("ObeyRobotExclusion=0\n");
    TTask& t = task("t", "http://h/docs/old.html");
    t.BoundaryPrefix = "http://h/";
    TDnObj& start = *t.Objects.head();
    // Redirected: its links are relative to where it was retrieved from.
    start.Location = "http://h/new/index.html";
    scan(start, "index.html",
         "<a href=a.html><img src=a.html><a href=\"#top\"><a href=/b.html>"
         "<a href=http://elsewhere/c.html><a href=ftp://h/f.zip><a href=mailto:x@h>");

    EXPECT_EQ(start.State, ObjectState::Done);
    EXPECT_THAT(queuedUrls(), ElementsAre("http://h/new/a.html", "http://h/b.html"));
    TDnObj& a = *find(t, "http://h/new/a.html");
    EXPECT_EQ(a.Level, 2);
    EXPECT_EQ(a.Referrer, "http://h/new/index.html");
    EXPECT_EQ(a.State, ObjectState::Queued);
    EXPECT_TRUE(called("AddObjectRow http://h/new/a.html"));
    // Outside the boundary and FTP without FollowFTP create nothing.
    EXPECT_EQ(find(t, "http://elsewhere/c.html"), nullptr);
    EXPECT_EQ(find(t, "ftp://h/f.zip"), nullptr);
    // Two new objects; the page itself no longer counts as queued. Robots rules are off.
    EXPECT_EQ(t.Total, 3);
    EXPECT_EQ(t.Queued, 2);
    EXPECT_EQ(t.State, TaskState::Running);
    EXPECT_EQ(state().HostExclList.HostExclFind("http://h"), nullptr);
}

// A page settled as a copy is scanned from the other task's file, relative to where that task
// retrieved it; the local names of a copy it has rewritten stand for its objects' URLs.
TEST_F(LinkIntakeTest, CopiedPageIsScannedFromTheOtherTasksFile) {
    startWith("ObeyRobotExclusion=0\n");
    const struct {
        const char* contentType;
        const char* page;
    } cases[] = {
        {"text/html", "<a href=sub/q.html#top><img src='../a%20b.gif'><a href=http://x/c.html>"},
        {"text/html Parsed",
         "<a href=q.html#top><img src='a%20b.gif'><a href=http://x/c.html><a href=gone.html><a "
         "href=mailto:m@h>"},
    };
    int round = 0;
    for (const auto& [contentType, html] : cases) {
        const std::string suffix = std::to_string(++round);
        TTask& first = task("first" + suffix, "http://h/d/p.html");
        TDnObj& page = *first.Objects.head();
        page.Location = "http://h/e/p.html";
        save(page, "p.html", html);
        page.ContentType = contentType;
        page.State = ObjectState::Done;
        for (const auto& [url, name] : {std::pair{"http://h/e/sub/q.html", "q.html"},
                                        std::pair{"http://h/a%20b.gif", "a b.gif"}}) {
            TDnObj& retrieved = *NewDnObj(first, url, 2);
            retrieved.LocalName = name;
            retrieved.State = ObjectState::Done;
        }

        TTask& second = task("second" + suffix, "http://h/d/p.html");
        TDnObj& copy = *second.Objects.head();
        state().Queue.QueueRemove(copy);
        copy.State = ObjectState::RetrievedByOther;
        copy.Location = first.Dir + "p.html";
        state().SeenList.SeenInsert(copy);
        post(EngineMessage::ScanLinks, identityOf(copy));
        pump();

        EXPECT_EQ(copy.State, ObjectState::RetrievedByOther);
        std::vector<std::string> created;
        for (const TDnObj& object : second.Objects) {
            created.push_back(object.URL);
        }
        EXPECT_THAT(created, ElementsAre("http://h/a%20b.gif", "http://h/d/p.html",
                                         "http://h/e/sub/q.html", "http://x/c.html"))
            << contentType;
        EXPECT_EQ(find(second, "http://h/e/sub/q.html")->Referrer, "http://h/e/p.html");
        EXPECT_EQ(second.Queued, 3);
    }
}

TEST_F(LinkIntakeTest, FileLimitAndOverlongLinksDropLinksAndSaySo) {
    startWith("ObeyRobotExclusion=0\n");
    TTask& t = task("t", "http://h/", 0, 3);
    const std::string overlong = std::string(8 * 1024, 'x');
    // Refused links do not use up the limit; it is reached after two new objects.
    scan(*t.Objects.head(), "index.html",
         "<a href=ftp://h/x.zip><a href=" + overlong +
             "><a href=a.html><a href=a.html>"
             "<a href=b.html><a href=a.html><a href=c.html><a href=d.html>");
    EXPECT_THAT(queuedUrls(), ElementsAre("http://h/a.html", "http://h/b.html"));
    EXPECT_EQ(t.Total, 3);
    EXPECT_EQ(t.Queued, 2);
    EXPECT_THAT(m_view.dropped,
                ElementsAre("too long http://h/xxxxxxxxxxx", "file limit http://h/c.html"))
        << "a held link past the limit is no loss";
}

// Requisites stay at their page's level: a page of the last level is scanned for them alone,
// and a style sheet's references are requisites at its level too.
TEST_F(LinkIntakeTest, RequisitesAddNoLevel) {
    startWith("ObeyRobotExclusion=0\n");
    TTask& t = task("t", "http://h/d/index.html", 2);
    TaskSetFlag(t, TaskFlag::PageRequisites);
    TDnObj& start = *t.Objects.head();
    scan(start, "index.html", "<a href=p.html><link rel=stylesheet href=s.css>");
    ASSERT_THAT(queuedUrls(), ElementsAre("http://h/d/p.html", "http://h/d/s.css"));
    EXPECT_EQ(find(t, "http://h/d/s.css")->Level, 1);

    TDnObj& last = *find(t, "http://h/d/p.html");
    state().Queue.QueueRemove(last);
    scan(last, "p.html", "<a href=deeper.html><img srcset='i.png 2x'><p style='x:url(b.gif)'>");
    EXPECT_EQ(find(t, "http://h/d/deeper.html"), nullptr);
    EXPECT_EQ(find(t, "http://h/d/i.png")->Level, 2);
    EXPECT_EQ(find(t, "http://h/d/b.gif")->Level, 2);

    TDnObj& sheet = *find(t, "http://h/d/s.css");
    state().Queue.QueueRemove(sheet);
    save(sheet, "s.css", "@import 'more.css'; a{b:url(../f.woff)}");
    sheet.ContentType = "text/css";
    post(EngineMessage::ScanLinks, identityOf(sheet));
    pump();
    EXPECT_EQ(find(t, "http://h/d/more.css")->Level, 1);
    EXPECT_EQ(find(t, "http://h/f.woff")->Level, 1);

    // Without the flag a page of the last level is not scanned at all.
    TTask& plain = task("plain", "http://h/d/index.html", 1);
    EXPECT_FALSE(ShouldParse(*plain.Objects.head()));
    TaskSetFlag(plain, TaskFlag::PageRequisites);
    save(*plain.Objects.head(), "plain.html", "<html>");
    EXPECT_TRUE(ShouldParse(*plain.Objects.head()));
    EXPECT_FALSE(TakesPageLinks(*plain.Objects.head()));
}

// Trailing slashes only for names that may be directories; a listed FTP directory's entries
// come in within the boundary without FollowFTP and a name without a dot stays a file there
// (the listing said so).
TEST_F(LinkIntakeTest, TrailingSlashesOnlyForNamesThatMayBeDirectories) {
    startWith("ObeyRobotExclusion=0\n");
    TTask& t = task("t", "http://h/");
    TaskSetFlag(t, TaskFlag::TrySlashes);
    scan(*t.Objects.head(), "index.html",
         "<a href=/dir><a href=/a.html><a href=/sub/><a href=/run?x=1><a href=//other>");
    TTask& listing = task("listing", "ftp://f/pub/");
    listing.BoundaryPrefix = "ftp://f/pub/";
    TaskSetFlag(listing, TaskFlag::TrySlashes);
    scan(*listing.Objects.head(), "pub.html",
         "<a href=ftp://f/pub/README><a href=ftp://f/pub/sub%20dir/><a href=ftp://f/other/x>");
    EXPECT_THAT(queuedUrls(),
                ElementsAre("http://h/dir/", "http://h/a.html", "http://h/sub/", "http://h/run?x=1",
                            "http://other/", "ftp://f/pub/README", "ftp://f/pub/sub%20dir/"));
}

TEST_F(LinkIntakeTest, AShorterPathLowersTheLevelAndScansAScannedPageAgain) {
    startWith("ObeyRobotExclusion=0\n");
    TTask& t = task("t", "http://h/", 6);
    TDnObj& start = *t.Objects.head();
    // Objects the task already holds, found at deeper levels before.
    TDnObj& deep = *NewDnObj(t, "http://h/deep.html", 5);
    save(deep, "deep.html", "<a href=leaf.html>");
    deep.State = ObjectState::Done;
    TDnObj& same = *NewDnObj(t, "http://h/same.html", 2);
    save(same, "same.html", "<a href=never.html>");
    same.State = ObjectState::Done;
    TDnObj& error = *NewDnObj(t, "http://h/missing.html", 5);
    save(error, "missing.html", "<a href=error-link.html>");
    error.State = ObjectState::ProtocolError;
    TDnObj& pending = *NewDnObj(t, "http://h/pending.html", 5);
    save(pending, "pending.html", "");
    t.Queued = 2;  // the start page, and pending whose scan is still to come

    scan(start, "index.html",
         "<a href=deep.html><a href=same.html><a href=missing.html><a href=pending.html>");

    // The scan of deep.html was posted again and ran at level 2: its link is a level-3 object.
    EXPECT_EQ(deep.Level, 2);
    TDnObj* leaf = find(t, "http://h/leaf.html");
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->Level, 3);
    EXPECT_EQ(find(t, "http://h/never.html"), nullptr);  // 2 is not smaller than 2
    // An error page gets the lower level but is never scanned; a page whose scan is still to
    // come is not scanned twice.
    EXPECT_EQ(error.Level, 2);
    EXPECT_EQ(find(t, "http://h/error-link.html"), nullptr);
    EXPECT_EQ(pending.Level, 2);
    EXPECT_EQ(pending.State, ObjectState::Retrieved);
    EXPECT_EQ(t.Queued, 2);  // pending's scan and leaf.html
}

TEST_F(LinkIntakeTest, EveryScanSettlesItsPageAndTheLastOneEndsTheTask) {
    startWith("ObeyRobotExclusion=0\nNotify=0\n");
    TTask& t = task("t", "http://h/");
    TDnObj& start = *t.Objects.head();
    scan(start, "index.html", "<a href=gone.html><a href=/>");
    TDnObj& gone = *find(t, "http://h/gone.html");

    // Queued again before its scan message arrived: its new transfer brings its own scan.
    TDnObj& again = *NewDnObj(t, "http://h/again.html", 2);
    save(again, "again.html", "<a href=later.html>");
    post(EngineMessage::ScanLinks, identityOf(again));
    state().SeenList.SeenRemove(again);
    state().Queue.Enqueue(again);
    ++t.Queued;
    pump();
    EXPECT_EQ(find(t, "http://h/later.html"), nullptr);
    EXPECT_EQ(t.Queued, 2);
    state().Queue.QueueRemove(again);
    again.State = ObjectState::Done;
    --t.Queued;

    // The file vanished between the transfer and the scan: no links, but the count is settled.
    save(gone, "gone.html", "<a href=lost.html>");
    ASSERT_TRUE(deleteFile(t.Dir + "gone.html").ok());
    m_view.notifications.clear();
    post(EngineMessage::ScanLinks, identityOf(gone));
    pump();
    EXPECT_EQ(gone.State, ObjectState::Done);
    EXPECT_EQ(find(t, "http://h/lost.html"), nullptr);
    ASSERT_EQ(m_view.notifications.size(), 1u);
    EXPECT_NE(m_view.notifications[0].find("gone.html"), std::string::npos);
    EXPECT_EQ(t.Queued, 0);
    EXPECT_EQ(t.State, TaskState::Finished);
    EXPECT_THAT(m_taskFiles.written, ElementsAre(m_dir / "t.tsf"));
}

TEST_F(LinkIntakeTest, EditRescansDocumentsForWhatTheNewLimitsAdmit) {
    startWith("ObeyRobotExclusion=0\n");
    TTask& t = task("t", "http://h/", 0, 2);
    TDnObj& start = *t.Objects.head();
    scan(start, "index.html", "<a href=a.html><a href=b.html#x><a href=c.html>");
    EXPECT_EQ(t.Total, 2);
    // Rewritten for offline reading: local names for what was saved, URLs for the rest.
    TDnObj& rewritten = *find(t, "http://h/a.html");
    save(rewritten, "a.html", "<a href=index.html><a href=http://h/d.html><a href=sub/e.html>");
    rewritten.ContentType = "text/html Parsed";
    rewritten.State = ObjectState::Done;
    TDnObj& plain = *NewDnObj(t, "http://h/notes.txt", 2);
    save(plain, "notes.txt", "<a href=never.html>");
    plain.ContentType = "text/plain";
    plain.State = ObjectState::Done;
    t.Queued = 0;

    TaskEditParams& edit = engine().taskEditParams();
    edit.Task = identityOf(t);
    edit.MaxFilesInf = true;
    edit.MaxLevelsInf = true;
    engine().ApplyTaskEdit();
    pump();

    EXPECT_NE(find(t, "http://h/b.html"), nullptr);
    EXPECT_NE(find(t, "http://h/c.html"), nullptr);
    EXPECT_NE(find(t, "http://h/d.html"), nullptr);
    EXPECT_EQ(find(t, "http://h/sub/e.html")->Level, 3);
    EXPECT_EQ(find(t, "http://h/never.html"), nullptr);
    // Only the new objects count; the documents' own counts were settled long ago.
    EXPECT_EQ(t.Queued, 4);
    EXPECT_EQ(t.State, TaskState::Stopped);
    EXPECT_THAT(m_taskFiles.written, IsEmpty());
}

}  // namespace
}  // namespace quillharbor::test
