#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "clients/http_local_name.h"
#include "clients/http_resume.h"
#include "clients/local_name_claim.h"
#include "model/task.h"
#include "parser/url_helpers.h"
#include "platform/files.h"
#include "platform/temp_directory.h"

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

// Names are blank-separated lists; Dir is TaskRoot + Name + "/" when the task has its own folder.
const struct {
    const char* what;
    bool ownFolder;
    std::string heldHere, heldNextDoor, files;  // by other objects of the task, another task, files
    const char *recorded, *fresh, *renamed;     // LocalName; Fresh- and RenamedLocalName
} kCases[] = {{"its own file is written over", true, "", "", "mine.htm", "mine.htm", "mine.htm",
               "index.html"},
              {"a name another object holds is never taken", true, "index.html mine.htm", "", "",
               "mine.htm", "index-1.html", "index-1.html"},
              {"another task in the folder holds it too", false, "", "index.html", "", "",
               "index-1.html", "index-1.html"},
              {"a leftover in the task's own folder is taken over", true, "", "", "index.html", "",
               "index.html", "index.html"},
              {"an unheld file in a shared folder is left alone", false, "", "", "index.html", "",
               "index-1.html", "index-1.html"},
              {"the object's own name counts as free when renaming", false, "", "", "index.html",
               "index.html", "index.html", "index.html"}};

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

TEST(LocalNameClaim, NamesAreSharedWithNoOtherObject) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        test::TempDirectory root;
        const std::string dir = root.path() + (c.ownFolder ? "t/" : "shared/");
        ASSERT_TRUE(createDirectories(dir).ok());
        TaskList tasks;
        TTask& task = tasks.TaskInsert(NewTask("t", "http://h/", dir, 0, "", 0, 0, "", ""));
        TTask& other = tasks.TaskInsert(NewTask("u", "http://h/", dir, 0, "", 0, 0, "", ""));
        int n = 0;
        for (const std::string& name : words(c.heldHere)) {
            NewDnObj(task, "http://h/held" + std::to_string(++n), 1)->LocalName = name;
        }
        for (const std::string& name : words(c.heldNextDoor)) {
            NewDnObj(other, "http://h/next" + std::to_string(++n), 1)->LocalName = name;
        }
        for (const std::string& name : words(c.files)) {
            ASSERT_TRUE(replaceFileAtomically(dir + name, "x").ok());
        }
        TDnObj& object = *NewDnObj(task, "http://h/", 1);
        object.LocalName = c.recorded;
        EXPECT_EQ(FreshLocalName(tasks, object, "index.html"), c.fresh);
        EXPECT_EQ(RenamedLocalName(tasks, object, "index.html"), c.renamed);
    }
}

TEST(LocalNameClaim, ANameAnObjectLeftIsFreeAgain) {
    test::TempDirectory root;
    TaskList tasks;
    TTask& task = tasks.TaskInsert(NewTask("t", "http://h/", root.path(), 0, "", 0, 0, "", ""));
    TDnObj& first = *NewDnObj(task, "http://h/a", 1);
    TDnObj& second = *NewDnObj(task, "http://h/b", 1);
    SetLocalName(first, "a.html");
    EXPECT_EQ(RenamedLocalName(tasks, second, "a.html"), "a-1.html");
    SetLocalName(first, "a.htm");
    EXPECT_EQ(RenamedLocalName(tasks, second, "a.html"), "a.html");
    EXPECT_EQ(RenamedLocalName(tasks, second, "a.htm"), "a-1.htm");
}

}  // namespace
}  // namespace quillharbor
