#include "engine/task_rewriter.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

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

TEST_F(RewriteTaskTest, AnUnreadablePageEndsThePassUnmarked) {
    write(m_dir / "a.html", "<a href='sub/b.html'>");
    ASSERT_TRUE(createDirectories(m_dir / "b.html/").ok());
    write(m_dir / "c.html", "<a href='sub/b.html'>");
    m_job.objects = {object("http://H/a.html", "a.html"), object("http://H/b.html", "b.html"),
                     object("http://H/c.html", "c.html")};
    EXPECT_FALSE(RewriteTask(m_job).ok());
    EXPECT_EQ(m_job.objects[0].ContentType, "text/html Parsed");
    EXPECT_EQ(m_job.objects[1].ContentType, "text/html");
    EXPECT_EQ(m_job.objects[2].ContentType, "text/html");
    EXPECT_EQ(read(m_dir / "c.html"), "<a href='sub/b.html'>");
}

}  // namespace
}  // namespace quillharbor
