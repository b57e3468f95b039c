// What the HTTP slot decides without a server: local names, resumed answers and busy answers.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "clients/busy_answer.h"
#include "clients/http_local_name.h"
#include "clients/http_resume.h"
#include "clients/local_name_claim.h"
#include "model/failure_cause.h"
#include "model/task.h"
#include "parser/url_helpers.h"
#include "platform/files.h"
#include "platform/temp_directory.h"

namespace quillharbor {
namespace {

// Server names stay plain file names of bounded length; paths of the site's layout stay under
// the task directory whatever the URL holds.
TEST(HttpLocalNames, DocumentNamesAndSitePaths) {
    const std::string stem(400, 'n');
    EXPECT_EQ(DocumentName("http://h/a/..") + "|" + DocumentName("http://h/a\\..\\b"),
              "index.html|b");
    EXPECT_EQ(DocumentName("http://h/" + stem + ".tar"), std::string(196, 'n') + ".tar");
    EXPECT_EQ(DocumentName("http://h/a." + stem), "a." + std::string(198, 'n'));
    const std::pair<std::string_view, std::string_view> paths[] = {
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
    for (const auto& [url, path] : paths) {
        EXPECT_EQ(SitePath(url), path) << url;
    }
    EXPECT_EQ(SitePath("http://h/" + std::string(300, 'd') + "/x").size(), 2 + 200 + 2);
    EXPECT_EQ(HtmlNameFor("h/v1.2/notes") + "|" + HtmlNameFor("h/v1.2/notes.htm"),
              "h/v1.2/notes.html|");
    EXPECT_TRUE(ErrorPageNeedsHtmlName("h/a.b/missing.txt"));
    EXPECT_FALSE(ErrorPageNeedsHtmlName("missing.HTM") || ErrorPageNeedsHtmlName("missing"));
    EXPECT_EQ(
        FirstFreeName("h/a.b/c.html", [](std::string_view name) { return name == "h/a.b/c.html"; }),
        "h/a.b/c-1.html");
}

// Only an HTML starting document takes the starting document's name; only a range from the end
// of the partial file is appended.
TEST(HttpLocalNames, StartingDocumentNameAndResumeAnswers) {
    EXPECT_TRUE(TakesStartDocName("text/html; charset=utf-8", "http://h/pics/py.png"));
    EXPECT_FALSE(TakesStartDocName("image/png", "http://h/index.html"));
    for (const auto& [url, takes] : {std::pair{"http://h/a/", true},
                                     {"http://h/a/p.SHTML", true},
                                     {"http://h/pics/py.png", false},
                                     {"http://h/notes", false}}) {
        EXPECT_EQ(TakesStartDocName("", url), takes) << url;
    }
    EXPECT_EQ(classifyResumeAnswer(2500000000, 206, "2500000000"), ResumeAnswer::Append);
    EXPECT_EQ(classifyResumeAnswer(1000, 0, ""), ResumeAnswer::Restart);
    for (const auto& [status, start] :
         {std::pair{500, "1000"}, {206, "0"}, {206, "1000x"}, {206, "99999999999999999999"}}) {
        EXPECT_EQ(classifyResumeAnswer(1000, status, start), ResumeAnswer::Refuse) << start;
    }
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

// A busy answer asking for at most ten minutes requeues the object and holds both its host and
// the one that answered, twice as long the second time. Other answers, and waits past ten
// minutes (with that cause), are settled as any answer and hold nothing.
TEST(BusyAnswerHoldTest, RequeuesAndHoldsBothHostsTwiceAsLongTheSecondTime) {
    EngineState state;
    TTask& task = state.TaskList.TaskInsert(NewTask("t", "http://h/", "/t/", 0, "", 0, 0, "", ""));
    // The object comes as a slot has it: out of the queue, in the seen list.
    const auto answer = [&](TDnObj& object, int status, std::deque<std::string> header) {
        if (object.InList == GlobalList::Queue) {
            state.Queue.QueueRemove(object);
        }
        if (object.InList == GlobalList::None) {
            state.SeenList.SeenInsert(object);
        }
        object.State = ObjectState::Retrieving;
        return holdOnBusyAnswer(state, object, status, header, "http://redirected/a.html");
    };
    // Each held host with the seconds it is held back.
    const auto held = [&] {
        std::set<std::string> hosts;
        HostTable& table = state.Queue.hosts();
        const auto now = HostTable::Clock::now();
        for (const auto& [id, until] : table.heldHosts(now)) {
            const double seconds = std::chrono::duration<double>(until - now).count();
            hosts.insert(table.name(id) + " " + std::to_string(std::lround(seconds)));
        }
        return hosts;
    };
    TDnObj& busy = *NewDnObj(task, "http://h/a.html", 1);
    ASSERT_TRUE(answer(busy, 429, {"HTTP/1.1 429 Too Many Requests", "Retry-After: 2"}));
    EXPECT_EQ(busy.State, ObjectState::Queued);
    EXPECT_EQ(state.Queue.tail(), &busy);
    EXPECT_EQ(held(), (std::set<std::string>{"http://h 2", "http://redirected 2"}));
    ASSERT_TRUE(answer(busy, 503, {"HTTP/1.1 503 Busy", "Retry-After: 2"}));
    EXPECT_EQ(held(), (std::set<std::string>{"http://h 4", "http://redirected 4"}));

    TDnObj& other = *NewDnObj(task, "http://h/b.html", 1);
    EXPECT_FALSE(answer(other, 429, {"HTTP/1.1 429 Too Many Requests"}));
    EXPECT_FALSE(answer(other, 503, {"HTTP/1.1 503 Busy", "Retry-After: later"}));
    EXPECT_FALSE(answer(other, 500, {"HTTP/1.1 500 Oops", "Retry-After: 2"}));
    EXPECT_EQ(other.Cause, kCauseNone);
    EXPECT_FALSE(answer(other, 429, {"HTTP/1.1 429 Too Many Requests", "Retry-After: 601"}));
    EXPECT_EQ(other.Cause, kCauseWaitTooLong);
    EXPECT_EQ(other.InList, GlobalList::Seen);
    EXPECT_EQ(held().size(), 2u);
    // The state tears down with one object queued, one seen: AddressSanitizer and the objects' own
    // check catch a wrong order.
}

}  // namespace
}  // namespace quillharbor
