#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "model/link_admission.h"
#include "model/task.h"
#include "platform/files.h"
#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

constexpr std::string_view kPictures = " .gif .jpg .png .bmp .pcx ";

std::unique_ptr<TTask> taskWith(std::string boundary, std::string extensions = "",
                                std::int32_t flags = 0) {
    auto task = NewTask("t", "http://h/docs/", "/d/", 0, std::move(boundary), 0, flags, "", "");
    task->Extensions = std::move(extensions);
    return task;
}

TEST(LinkAcceptedTest, HttpLinksMustBeginWithTheBoundaryExactly) {
    auto task = taskWith("http://h/docs/");
    EXPECT_TRUE(LinkAccepted("http://h/docs/sub/a.html", *task));
    EXPECT_TRUE(LinkAccepted("http://h/docs/", *task));
    EXPECT_FALSE(LinkAccepted("http://h/other/a.html", *task));
    EXPECT_FALSE(LinkAccepted("http://h/DOCS/a.html", *task));
    EXPECT_FALSE(LinkAccepted("http://h/docs", *task));  // shorter than the boundary
    EXPECT_TRUE(LinkAccepted("http://anywhere/x", *taskWith("")));
}

// http and https of one host are one site; another port is another server.
TEST(LinkAcceptedTest, TheOtherSchemeOfTheBoundarysHostIsInsideIt) {
    for (const auto& [boundary, link, accepted] : {
             std::tuple{"http://h/docs/", "https://h/docs/x.html", true},
             std::tuple{"http://h/docs/", "https://h:443/docs/x.html", true},
             std::tuple{"https://h/docs/", "http://h/docs/x.html", true},
             std::tuple{"http://h/docs/", "https://h/other/x.html", false},
             std::tuple{"http://h/docs/", "https://h:8443/docs/x.html", false},
             std::tuple{"http://h:8080/docs/", "https://h/docs/x.html", false},
         }) {
        EXPECT_EQ(LinkAccepted(link, *taskWith(boundary)), accepted) << boundary << " " << link;
    }
}

TEST(LinkAcceptedTest, ATaskHoldsADocumentOnceWhicheverSchemeNamesIt) {
    auto task = taskWith("");
    ASSERT_NE(NewDnObj(*task, "http://h/docs/a.html", 1), nullptr);
    EXPECT_EQ(NewDnObj(*task, "https://h/docs/a.html", 2), nullptr);
    EXPECT_EQ(TaskFindDocument(*task, "https://h:443/docs/a.html")->URL, "http://h/docs/a.html");
    EXPECT_NE(NewDnObj(*task, "https://h:8443/docs/a.html", 2), nullptr);
    EXPECT_EQ(task->Total, 2);
}

TEST(LinkAcceptedTest, ControlBytesAreRefusedButHighBytesAreOrdinary) {
    auto task = taskWith("");
    EXPECT_FALSE(LinkAccepted("http://h/a\tb.html", *task));
    EXPECT_FALSE(LinkAccepted(std::string("http://h/a\0b", 12), *task));
    EXPECT_TRUE(LinkAccepted("http://h/caf\xC3\xA9.html", *task));
}

TEST(LinkAcceptedTest, FtpLinksNeedAFileNameAndFollowFtpButNoBoundary) {
    auto following = taskWith("http://h/docs/", "", static_cast<std::int32_t>(TaskFlag::FollowFTP));
    EXPECT_TRUE(LinkAccepted("ftp://f/pub/a.zip", *following));
    EXPECT_TRUE(LinkAccepted("ftp.f.org/pub/a.zip", *following));  // scheme-less ftp host
    EXPECT_FALSE(LinkAccepted("ftp://f/pub/", *following));
    EXPECT_FALSE(LinkAccepted("ftp://f/pub/a.zip", *taskWith("")));
}

TEST(LinkAcceptedTest, ExtensionIsTakenFromTheWholeLinkLowerCased) {
    auto pictures = taskWith("", std::string(kPictures));
    EXPECT_TRUE(LinkAccepted("http://h/a/B.GIF", *pictures));
    EXPECT_FALSE(LinkAccepted("http://h/a/b.gif?x=1", *pictures));
    EXPECT_FALSE(LinkAccepted("http://www.h.com/pics/", *pictures));    // ".com/pics/ "
    EXPECT_FALSE(LinkAccepted("http://localhost/picture", *pictures));  // no dot at all
    EXPECT_FALSE(LinkAccepted("http://h/a/b.html", *pictures));
    // Both tests must hold.
    EXPECT_FALSE(LinkAccepted("http://h/other/b.gif", *taskWith("http://h/docs/", "  .gif ")));
    auto ftpPictures =
        taskWith("", std::string(kPictures), static_cast<std::int32_t>(TaskFlag::FollowFTP));
    EXPECT_TRUE(LinkAccepted("ftp://f/pub/b.jpg", *ftpPictures));
    EXPECT_FALSE(LinkAccepted("ftp://f/pub/b.zip", *ftpPictures));
}

// Entries of a listed FTP directory: the boundary holds unless the task follows FTP links, and
// extensions choose files while every directory is taken.
TEST(ListingEntryAcceptedTest, BoundaryOrFollowFtpAndExtensionsForFilesOnly) {
    const auto following = static_cast<std::int32_t>(TaskFlag::FollowFTP);
    const struct {
        std::string link, boundary, extensions;
        std::int32_t flags;
        bool accepted;
    } cases[] = {
        {"ftp://f/pub/sub%20dir/", "ftp://f/pub/", "", 0, true},
        {"ftp://f/pub/a%20b.txt", "ftp://f/pub/", "", 0, true},
        {"ftp://f/other/a.txt", "ftp://f/pub/", "", 0, false},
        {"ftp://f/other/a.txt", "ftp://f/pub/", "", following, true},
        {"ftp://f/pub/a.txt", "", "", 0, true},
        {"ftp://f/pub/a	b.txt", "", "", 0, false},
        {"ftp://f/pub/b.gif", "ftp://f/pub/", std::string(kPictures), 0, true},
        {"ftp://f/pub/b.zip", "ftp://f/pub/", std::string(kPictures), 0, false},
        {"ftp://f/pub/README", "ftp://f/pub/", std::string(kPictures), 0, false},
        {"ftp://f/pub/pics/", "ftp://f/pub/", std::string(kPictures), 0, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ListingEntryAccepted(c.link, *taskWith(c.boundary, c.extensions, c.flags)),
                  c.accepted)
            << c.link << " within '" << c.boundary << "'";
    }
}

class ShouldParseTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_task = NewTask("t", "http://h/", m_dir.path(), 0, "", 0, 0, "", "");
        m_object = NewDnObj(*m_task, "http://h/page.html", 1);
        m_object->LocalName = "page.html";
        m_object->ContentType = "text/html";
        ASSERT_TRUE(replaceFileAtomically(m_dir / "page.html", "<html>").ok());
    }

    test::TempDirectory m_dir;
    std::unique_ptr<TTask> m_task;
    TDnObj* m_object = nullptr;
};

TEST_F(ShouldParseTest, NeedsTheSavedFile) {
    EXPECT_TRUE(ShouldParse(*m_object));
    m_object->LocalName = "missing.html";
    EXPECT_FALSE(ShouldParse(*m_object));
    m_object->LocalName.clear();
    EXPECT_FALSE(ShouldParse(*m_object));
}

TEST_F(ShouldParseTest, ContentTypeDecidesAndWithoutOneTheUrl) {
    m_object->ContentType = "text/plain";
    EXPECT_FALSE(ShouldParse(*m_object));  // whatever the URL says

    m_object->ContentType.clear();
    EXPECT_TRUE(ShouldParse(*m_object));
    TDnObj& bare = *NewDnObj(*m_task, "http://localhost/index", 1);
    bare.LocalName = "page.html";
    EXPECT_TRUE(ShouldParse(bare));  // no dot anywhere
    TDnObj& upper = *NewDnObj(*m_task, "http://h/PAGE.HTML", 1);
    upper.LocalName = "page.html";
    EXPECT_FALSE(ShouldParse(upper));  // the extension is not lower-cased here
    TDnObj& image = *NewDnObj(*m_task, "http://h/b.gif", 1);
    image.LocalName = "page.html";
    EXPECT_FALSE(ShouldParse(image));
}

TEST_F(ShouldParseTest, LevelAndFileLimits) {
    m_task->MaxLevels = 1;
    EXPECT_FALSE(ShouldParse(*m_object));  // only the starting document, not scanned
    m_task->MaxLevels = 2;
    EXPECT_TRUE(ShouldParse(*m_object));

    m_task->MaxFiles = 300;
    m_task->Total = 300;
    EXPECT_FALSE(ShouldParse(*m_object));
    m_task->Total = 299;
    EXPECT_TRUE(ShouldParse(*m_object));
}

}  // namespace
}  // namespace quillharbor
