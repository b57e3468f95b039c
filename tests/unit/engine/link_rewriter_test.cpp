#include "engine/link_rewriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/engine_fakes.h"
#include "engine/gated_runner.h"
#include "engine/task_rewriter.h"
#include "model/message_identity.h"
#include "parser/url_helpers.h"
#include "platform/files.h"
#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

class LinkRewriterTest : public ::testing::Test {
protected:
    LinkRewriterTest() { m_rewriter.attach(m_state); }
    // A test that failed half-way must not leave the worker held.
    ~LinkRewriterTest() override { m_gate.open(); }

    TTask& addTask(const std::string& name) {
        const std::string dir = m_dir / (name + "/");
        EXPECT_TRUE(createDirectories(dir).ok());
        return m_state.TaskList.TaskInsert(
            NewTask(name, "http://H/" + name + "/", dir, 0, "", 0, 0x40, "", ""));
    }
    TDnObj& addPage(TTask& task, const std::string& path, const std::string& html) {
        TDnObj& page = *NewDnObj(task, task.URL + path, 1);
        page.LocalName = LocalNameFromUrl(page.URL);
        page.ContentType = "text/html";
        page.State = ObjectState::Done;
        EXPECT_TRUE(replaceFileAtomically(task.Dir + page.LocalName, html).ok());
        return page;
    }
    void remove(TTask& task) {
        m_rewriter.forgetTask(task);
        m_state.TaskList.TaskRemove(task);
    }
    // Runs the loop until every pass is in, waiting for the worker in bounded steps.
    void pumpUntilDone() {
        for (int round = 0; round < 2000 && m_rewriter.isPending(); ++round) {
            m_loop.runOnce(std::chrono::milliseconds(10));
        }
        ASSERT_FALSE(m_rewriter.isPending());
    }
    std::string read(const TDnObj& object) {
        return readWholeFile(object.Task->Dir + object.LocalName).valueOr("(missing)");
    }

    test::TempDirectory m_dir;
    MessageLoop m_loop;
    test::RecordingView m_view;
    EngineState m_state;
    test::GatedRunner m_gate{runRewritePass};
    LinkRewriter m_rewriter{m_loop, m_view, m_gate.runner()};
};

// A pass's results reach only the objects that still hold what was copied; a removed task's
// waiting pass is dropped and its running pass's results are never applied.
TEST_F(LinkRewriterTest, ResultsReachOnlyObjectsAndTasksUnchangedMeanwhile) {
    TTask& task = addTask("t");
    TDnObj& index = addPage(task, "index.html", "<a href='sub/b.html'>");
    TDnObj& b = addPage(task, "sub/b.html", "<a href=x.html>");
    TTask& running = addTask("running");
    addPage(running, "index.html", "<a href=x.html>");
    TTask& waiting = addTask("waiting");
    addPage(waiting, "index.html", "<a href=x.html>");
    const std::string untouched = waiting.Dir + "index.html";
    m_rewriter.QueueTaskForParsing(running);
    m_gate.waitUntilStarted(1);
    m_rewriter.QueueTaskForParsing(waiting);
    m_rewriter.QueueTaskForParsing(task);
    const std::vector<std::uintptr_t> identities = {identityOf(running), identityOf(task)};
    remove(waiting);
    remove(running);
    m_gate.open();
    m_gate.waitUntilStarted(2);
    b.State = ObjectState::Queued;  // restarted while its copy is rewritten
    pumpUntilDone();
    EXPECT_EQ(test::tasksOf(m_gate.jobs()), identities);
    EXPECT_EQ(readWholeFile(untouched).valueOr(""), "<a href=x.html>");
    EXPECT_EQ(read(index) + " " + index.ContentType + " " + std::to_string(index.Received) + ", " +
                  b.ContentType + " " + std::to_string(b.Received),
              "<a href='b.html'> text/html Parsed 21, text/html 0");
    EXPECT_EQ(m_view.calls, std::vector<std::string>{"RefreshObjectRow " + index.URL});
}

TEST_F(LinkRewriterTest, ATaskQueuedAgainPassesAgainFromTheNewestCopy) {
    TTask& first = addTask("first");
    TDnObj& index = addPage(first, "index.html", "<a href='sub/b.html'><a href='c.html'>");
    addPage(first, "sub/b.html", "");
    TTask& second = addTask("second");
    TDnObj& page = addPage(second, "index.html", "");
    m_rewriter.QueueTaskForParsing(first);
    m_gate.waitUntilStarted(1);
    m_rewriter.QueueTaskForParsing(first);  // again while being rewritten
    m_rewriter.QueueTaskForParsing(second);
    page.ContentType = "text/html; charset=x";
    m_rewriter.QueueTaskForParsing(second);    // again while waiting: the copy is renewed
    TDnObj& c = addPage(first, "c.html", "");  // retrieved since
    m_gate.open();
    pumpUntilDone();

    const auto jobs = m_gate.jobs();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[1].task, identityOf(second));
    EXPECT_EQ(jobs[1].objects[0].ContentType, "text/html; charset=x");
    // The second pass of the first task saw the first one's marks: local names stay local.
    ASSERT_EQ(jobs[2].objects.size(), 3u);
    EXPECT_EQ(jobs[2].objects[1].ContentType + ", " + c.ContentType + ", " + read(index),
              "text/html Parsed, text/html Parsed, <a href='b.html'><a href='c.html'>");
}

using Object = RewriteJob::Object;

Object object(std::string url, std::string localName, std::string contentType = "text/html",
              ObjectState state = ObjectState::Done) {
    return Object{0, std::move(url), "", std::move(localName), std::move(contentType), state, 0, 0};
}

class RewriteTaskTest : public ::testing::Test {
protected:
    void write(const std::string& path, std::string_view bytes) {
        ASSERT_TRUE(replaceFileAtomically(path, bytes).ok());
    }
    std::string read(const std::string& path) { return readWholeFile(path).valueOr("(missing)"); }

    test::TempDirectory m_dir;
    RewriteJob m_job{1, m_dir.path(), false, {}};
};

TEST_F(RewriteTaskTest, SaveSeparateCopiesAnotherTasksFileUnderAFreeName) {
    ASSERT_TRUE(createDirectories(m_dir / "other/").ok());
    write(m_dir / "other/index.html", "<a href='x.html'>theirs");
    ASSERT_TRUE(createDirectories(m_dir / "own/").ok());
    write(m_dir / "own/index.html", "<a href=\"http://O/index.html\">ours");
    Object theirs = object("http://O/index.html", "", "", ObjectState::RetrievedByOther);
    theirs.Location = m_dir / "other/index.html";
    m_job.Dir = m_dir / "own/";
    m_job.saveSeparate = true;
    m_job.objects = {object("http://H/index.html", "index.html"), theirs};
    ASSERT_TRUE(RewriteTask(m_job).ok());

    EXPECT_EQ(m_job.objects[1].LocalName, "index-1.html");
    EXPECT_EQ(m_job.objects[1].ContentType, "text/html Parsed");
    EXPECT_EQ(m_job.objects[1].State, ObjectState::Done);
    EXPECT_EQ(read(m_dir / "own/index-1.html"), "<a href='x.html'>theirs");
    EXPECT_EQ(read(m_dir / "own/index.html"), "<a href=\"index-1.html\">ours");

    // Without SaveSeparate every task saves into one directory: the name is taken over as is.
    m_job.saveSeparate = false;
    m_job.objects = {theirs};
    ASSERT_TRUE(RewriteTask(m_job).ok());
    EXPECT_EQ(m_job.objects[0].LocalName, "index.html");
    EXPECT_EQ(m_job.objects[0].State, ObjectState::Done);
    EXPECT_FALSE(fileExists(m_dir / "own/index-2.html"));
}

// A page deleted since it was saved is passed over; one that cannot be read ends the pass.
TEST_F(RewriteTaskTest, AnUnreadablePageEndsThePassUnmarked) {
    write(m_dir / "a.html", "<a href='sub/b.html'>");
    ASSERT_TRUE(createDirectories(m_dir / "b.html/").ok());
    write(m_dir / "c.html", "<a href='sub/b.html'>");
    m_job.objects = {object("http://H/gone.html", "gone.html"), object("http://H/a.html", "a.html"),
                     object("http://H/b.html", "b.html"), object("http://H/c.html", "c.html")};
    EXPECT_FALSE(RewriteTask(m_job).ok());
    EXPECT_EQ(m_job.objects[1].ContentType, "text/html Parsed");
    EXPECT_EQ(m_job.objects[2].ContentType, "text/html");
    EXPECT_EQ(m_job.objects[3].ContentType, "text/html");
    EXPECT_EQ(read(m_dir / "c.html"), "<a href='sub/b.html'>");
}

}  // namespace
}  // namespace quillharbor
