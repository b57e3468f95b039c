#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "clients/local_name_claim.h"
#include "model/task.h"
#include "platform/files.h"
#include "platform/temp_directory.h"

namespace quillharbor::test {
namespace {

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
        TempDirectory root;
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
    TempDirectory root;
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
}  // namespace quillharbor::test
