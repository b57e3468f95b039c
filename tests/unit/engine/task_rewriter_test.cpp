#include "engine/task_rewriter.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

using Object = RewriteJob::Object;

Object object(std::string url, std::string localName, std::string contentType = "text/html",
              ObjectState state = ObjectState::Done, std::int64_t received = 0,
              std::int64_t size = 0) {
    return Object{0,     std::move(url), "",  std::move(localName), std::move(contentType),
                  state, received,       size};
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

TEST_F(RewriteTaskTest, PagesLinkTheirLocalCopiesAndEveryCompleteObjectIsMarked) {
    const std::string index =
        "<a href='sub/b.html'><img src=pic.gif><a href='gone.html#x'><img src=\"no.png\">";
    write(m_dir / "index.html", index);
    write(m_dir / "b.html", "<a href=\"../index.html\">");
    write(m_dir / "part.html", "<a href='sub/b.html'>");
    m_job.objects = {
        object("http://H/d/gone.html", "", "", ObjectState::Failed),
        object("http://H/d/index.html", "index.html", "text/html", ObjectState::Retrieved),
        // Its 404 page is saved, but no link leads there.
        object("http://H/d/no.png", "no.png.html", "text/html", ObjectState::ProtocolError),
        object("http://H/d/part.html", "part.html", "text/html", ObjectState::Incomplete, 3, 40),
        object("http://H/d/pic.gif", "pic.gif", "image/gif", ObjectState::Done, 5, 5),
        object("http://H/d/sub/b.html", "b.html", "TEXT/HTML", ObjectState::Done, 24, 24),
    };
    ASSERT_TRUE(RewriteTask(m_job).ok());

    EXPECT_EQ(read(m_dir / "index.html"),
              "<a href='b.html'><img src=pic.gif><a href='http://H/d/gone.html#x'>"
              "<img src=\"http://H/d/no.png\">");
    EXPECT_EQ(read(m_dir / "b.html"), "<a href=\"index.html\">");
    EXPECT_EQ(read(m_dir / "part.html"), "<a href='sub/b.html'>");
    EXPECT_EQ(m_job.objects[1].ContentType, "text/html Parsed");
    EXPECT_EQ(m_job.objects[1].Received, static_cast<std::int64_t>(index.size()));
    EXPECT_EQ(m_job.objects[1].Size, static_cast<std::int64_t>(index.size()));
    EXPECT_EQ(m_job.objects[3].ContentType, "text/html");  // incomplete: neither marked nor read
    EXPECT_EQ(m_job.objects[4].ContentType, "image/gif Parsed");
    EXPECT_EQ(m_job.objects[5].ContentType, "TEXT/HTML Parsed");
}

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
