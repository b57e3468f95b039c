#include <gtest/gtest.h>

#include <string>

#include "clients/http_local_name.h"
#include "clients/http_resume.h"
#include "parser/url_helpers.h"

namespace quillharbor {
namespace {

TEST(HttpLocalNames, ServerNamesStayPlainFileNamesOfBoundedLength) {
    EXPECT_EQ(DocumentName("http://h/a/.."), "index.html");
    EXPECT_EQ(DocumentName("http://h/a\\..\\b"), "b");
    const std::string stem(400, 'n');
    EXPECT_EQ(DocumentName("http://h/" + stem + ".tar"), std::string(196, 'n') + ".tar");
    EXPECT_EQ(DocumentName("http://h/a." + stem), "a." + std::string(198, 'n'));
    EXPECT_FALSE(ErrorPageNeedsHtmlName("missing.HTM"));
    EXPECT_FALSE(ErrorPageNeedsHtmlName("missing"));
}

// Paths of the site's layout stay under the task directory whatever the URL holds.
TEST(HttpLocalNames, SitePathsMirrorHostAndPath) {
    const struct {
        std::string_view url;
        std::string_view path;
    } cases[] = {
        {"http://h/", "h/index.html"},
        {"http://127.0.0.1:8080/3/library/os.html#x", "127.0.0.1-8080/3/library/os.html"},
        // The brackets stay; every colon becomes "-", the port's as for any host.
        {"http://[::1]:8080/a.html", "[--1]-8080/a.html"},
        {"http://h/docs/", "h/docs/index.html"},
        {"http://h//a/./../b.css", "h/a/b.css"},
        {"http://h/list.php?page=2&s=a/b", "h/list@page=2&s=a-b.php"},
        {"http://h/d/?q=1", "h/d/index@q=1.html"},
        {"http://u:pw@h/a:b/c*d", "h/a-b/c-d"},
        {"ftp://f/pub/x.tar", "f/pub/x.tar"},
    };
    for (const auto& [url, path] : cases) {
        EXPECT_EQ(SitePath(url), path) << url;
    }
    EXPECT_EQ(SitePath("http://h/" + std::string(300, 'd') + "/x").size(), 2 + 200 + 2);
    EXPECT_EQ(HtmlNameFor("h/v1.2/notes"), "h/v1.2/notes.html");
    EXPECT_EQ(HtmlNameFor("h/v1.2/notes.htm"), "");
    EXPECT_TRUE(ErrorPageNeedsHtmlName("h/a.b/missing.txt"));
    EXPECT_EQ(
        FirstFreeName("h/a.b/c.html", [](std::string_view name) { return name == "h/a.b/c.html"; }),
        "h/a.b/c-1.html");
}

TEST(HttpLocalNames, OnlyAnHtmlStartingDocumentTakesTheStartingDocumentName) {
    EXPECT_TRUE(TakesStartDocName("text/html; charset=utf-8", "http://h/pics/py.png"));
    EXPECT_FALSE(TakesStartDocName("image/png", "http://h/index.html"));
    EXPECT_TRUE(TakesStartDocName("", "http://h/a/"));
    EXPECT_TRUE(TakesStartDocName("", "http://h/a/p.SHTML"));
    EXPECT_FALSE(TakesStartDocName("", "http://h/pics/py.png"));
    EXPECT_FALSE(TakesStartDocName("", "http://h/notes"));
}

TEST(HttpResume, OnlyARangeFromTheEndOfThePartialFileIsAppended) {
    EXPECT_EQ(classifyResumeAnswer(2500000000, 206, "2500000000"), ResumeAnswer::Append);
    EXPECT_EQ(classifyResumeAnswer(1000, 0, ""), ResumeAnswer::Restart);
    EXPECT_EQ(classifyResumeAnswer(1000, 500, "1000"), ResumeAnswer::Refuse);
    EXPECT_EQ(classifyResumeAnswer(1000, 206, "0"), ResumeAnswer::Refuse);
    EXPECT_EQ(classifyResumeAnswer(1000, 206, "1000x"), ResumeAnswer::Refuse);
    EXPECT_EQ(classifyResumeAnswer(1000, 206, "99999999999999999999"), ResumeAnswer::Refuse);
}

}  // namespace
}  // namespace quillharbor
