#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>

#include "platform/files.h"
#include "platform/temp_directory.h"
#include "storage/task_file.h"
#include "storage/task_file_value.h"

namespace quillharbor {
namespace {

TDnObj& addObject(TTask& task, const std::string& url, ObjectState state, std::int64_t bytes) {
    TDnObj& object = *NewDnObj(task, url, 2);
    object.State = state;
    object.Received = object.Size = bytes;
    object.Status = 200;
    object.Referrer = task.URL;
    object.LocalName = url.substr(url.rfind('/') + 1);
    object.ContentType = "text/html";
    return object;
}

std::unique_ptr<TTask> sampleTask(const std::string& name = "site") {
    auto task = NewTask(name, "http://h/", "/d/" + name + "/", 300, "http://h/", 3, 0x50, "u", "p");
    task->Extensions = " .gif ";
    task->StartDocName = "Starting Document.html";
    addObject(*task, "http://h/b.html", ObjectState::Done, 10).ContentType = "text/html Parsed";
    addObject(*task, "http://h/", ObjectState::Retrieved, 7).LocalName = "Starting Document.html";
    addObject(*task, "http://h/robots.txt", ObjectState::RobotsRequest, 0);
    return task;
}

// The sample task's file, one element per line.
std::vector<std::string> sampleLines() {
    const std::string text =
        "# Download Task file v 0.0.1 |# do not modify|#|0|site|http://h/|/d/site/|http://h/|"
        " .gif |3|300|80|Starting Document.html|"
        "#|http://h/||http://h/|Starting Document.html|text/html|1|2|7|7|200|"
        "#|http://h/b.html||http://h/|b.html|text/html Parsed|12|2|10|10|200|";
    std::vector<std::string> lines;
    for (std::size_t start = 0, bar; (bar = text.find('|', start)) != std::string::npos;
         start = bar + 1) {
        lines.push_back(text.substr(start, bar - start));
    }
    return lines;
}

std::string joined(const std::vector<std::string>& lines, std::string_view end = "\r\n") {
    std::string text;
    for (const std::string& line : lines) {
        text += line + std::string(end);
    }
    return text;
}

class TaskFileTest : public ::testing::Test {
protected:
    TaskFileTest() { m_settings.DefUser = "ftpuser"; }

    std::string rejection(std::string_view text) {
        Result<std::unique_ptr<TTask>> task = parseTaskFile(text, m_settings);
        return task ? "accepted" : task.error().text;
    }
    std::set<std::string> filesInDir() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    test::TempDirectory m_dir;
    GlobalOptions m_settings;
};

TEST_F(TaskFileTest, ReadsBackEveryValueEvenWithLineBreaksBackslashesAndLargeCounts) {
    auto task = sampleTask();
    task->Name = "two\r\nlines\\";
    task->Dir = " /d/x\\n/";
    TDnObj& object = addObject(*task, "http://h/a\nb", ObjectState::Incomplete, 5'000'000'000);
    object.Location = "\\\r";
    object.Referrer = "x\\r\ny\\";
    object.Status = -1;

    const std::string text = composeTaskFile(*task);
    EXPECT_EQ(std::ranges::count(text, '\n'), 13 + 3 * 11) << "one line per value";
    Result<std::unique_ptr<TTask>> loaded = parseTaskFile(text, m_settings);
    ASSERT_TRUE(loaded.ok()) << loaded.error().text;
    const TTask& read = *loaded.value();
    EXPECT_EQ(read.State, TaskState::Stopped) << "a running task comes back stopped";
    EXPECT_EQ(read.FtpUser, "ftpuser");
    task->State = TaskState::Stopped;
    EXPECT_EQ(composeTaskFile(read), composeTaskFile(*task)) << "every field reads back";
    EXPECT_EQ(unescapeTaskFileValue("C:\\dir\\x"), "C:\\dir\\x") << "other backslashes stand";
}

TEST_F(TaskFileTest, RejectsUnsoundValuesNamingTheirLine) {
    const std::tuple<std::size_t, std::string, std::string> cases[] = {
        {3, "x", "line 4: the task state is not a number"},
        {3, "3", "line 4: 3 is not a task state"},
        {6, "/d/site", "line 7: the task directory does not end with \"/\""},
        {9, "-1", "line 10: the link level limit is out of range"},
        {13, "x", "line 14: an object group does not begin with \"#\""},
        {14, "http://h/b.html", "line 26: the object URL is already one of the task's objects"},
        {17, "a/../../b", "line 18: the local name leads out of the task directory"},
        {19, "8", "line 20: 8 is not an object state of a file"},
        {21, "9223372036854775808", "line 22: the received byte count is out of range"},
    };
    for (const auto& [index, line, error] : cases) {
        std::vector<std::string> lines = sampleLines();
        lines[index] = line;
        EXPECT_EQ(rejection(joined(lines)), error) << line;
    }
    EXPECT_EQ(rejection(""), "line 1: the file ends inside its header");
}

TEST_F(TaskFileTest, AFileCutAnywhereButAtTheEndOfAGroupIsRejected) {
    std::vector<std::string> lines = sampleLines();
    lines[3] = "1";
    const std::string text = joined(lines);
    const std::size_t endOfTask = text.find("#\r\nhttp");
    const std::size_t endOfFirstGroup = text.find("#\r\nhttp", endOfTask + 1);
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        const std::string prefix = text.substr(0, cut);
        Result<std::unique_ptr<TTask>> task = parseTaskFile(prefix, m_settings);
        if (cut == endOfTask || cut == endOfFirstGroup || cut == text.size()) {
            ASSERT_TRUE(task.ok()) << cut << ": " << task.error().text;
            EXPECT_EQ(composeTaskFile(*task.value()), prefix);
        } else {
            EXPECT_FALSE(task.ok()) << "accepted when cut at " << cut;
        }
    }
}

TEST_F(TaskFileTest, LoadingTakesTheGoodFilesAndLeavesTheBadOnesAsTheyWere) {
    ASSERT_TRUE(WriteTaskFile(*sampleTask("b"), m_dir.path()).ok());
    ASSERT_TRUE(WriteTaskFile(*sampleTask("a"), m_dir.path()).ok());
    const std::string junk("\0\xff\n\n\n\n", 6);
    ASSERT_TRUE(replaceFileAtomically(m_dir / "junk.tsf", junk).ok());
    const std::string copy = composeTaskFile(*sampleTask("a"));
    ASSERT_TRUE(replaceFileAtomically(m_dir / "copy.tsf", copy).ok());
    ASSERT_TRUE(replaceFileAtomically(m_dir / "notes.txt", "not a task file").ok());

    LoadedTaskFiles loaded = readAllTaskFiles(m_dir.path(), m_settings);
    ASSERT_EQ(loaded.tasks.size(), 2u);
    EXPECT_EQ(loaded.tasks[0]->Name, "a");
    EXPECT_EQ(loaded.tasks[1]->Name, "b");
    ASSERT_EQ(loaded.errors.size(), 2u);
    const std::string rejected = "cannot load the task file '" + m_dir.path();
    EXPECT_EQ(loaded.errors[0].text, rejected + "copy.tsf': it holds the task \"a\"");
    EXPECT_EQ(loaded.errors[1].text,
              rejected + "junk.tsf': line 5: the file ends before the task state");
    EXPECT_EQ(readWholeFile(m_dir / "junk.tsf").valueOr("?"), junk);
    EXPECT_EQ(readWholeFile(m_dir / "copy.tsf").valueOr("?"), copy);

    LoadedTaskFiles none = readAllTaskFiles(m_dir / "missing/", m_settings);
    EXPECT_TRUE(none.tasks.empty());
    ASSERT_EQ(none.errors.size(), 1u);
    EXPECT_EQ(none.errors[0].code, ENOENT);
}

// A task file is the header, the task, then each object but robots.txt requests, in URL order,
// and replaces the file whole. Saving takes every task or only the running ones and reports
// each failure.
TEST_F(TaskFileTest, WritesReplaceTheFileWholeForEveryTaskOrOnlyTheRunningOnes) {
    ASSERT_TRUE(replaceFileAtomically(m_dir / "running.tsf", "old and longer than nothing").ok());
    TaskList tasks;
    tasks.TaskInsert(sampleTask("running"));
    tasks.TaskInsert(sampleTask("stopped")).State = TaskState::Stopped;
    EXPECT_TRUE(SaveRunningTasks(tasks, m_dir.path()).empty());
    EXPECT_EQ(filesInDir(), std::set<std::string>{"running.tsf"});
    std::vector<std::string> lines = sampleLines();
    lines[4] = "running";
    lines[6] = "/d/running/";
    EXPECT_EQ(readWholeFile(m_dir / "running.tsf").valueOr("?"), joined(lines));
    EXPECT_TRUE(SaveAllTasks(tasks, m_dir.path()).empty());
    EXPECT_EQ(filesInDir(), (std::set<std::string>{"running.tsf", "stopped.tsf"}));
    EXPECT_EQ(SaveAllTasks(tasks, m_dir / "missing/").size(), 2u);
}

// Files of several megabytes are read a piece at a time: lines that cross a piece's end, and a
// value longer than a piece, must read back as they were written, with either line end.
TEST_F(TaskFileTest, AFileOfManyPiecesReadsBackWholeWithEitherLineEnd) {
    const std::string path = m_dir / "large.tsf";
    auto task = NewTask("large", "http://h/", m_dir.path(), 0, "http://h/", 0, 0, "", "");
    task->State = TaskState::Stopped;
    for (int i = 0; i < 30000; ++i) {
        TDnObj& object = *NewDnObj(*task, "http://h/section/page" + std::to_string(i) + ".html", 1);
        object.LocalName = "page" + std::to_string(i) + ".html";
        object.Received = i;
    }
    NewDnObj(*task, "http://h/long", 1)->Referrer = std::string(3 << 20, 'r');
    ASSERT_TRUE(WriteTaskFileAt(*task, path));
    const std::string crlf = readWholeFile(path).value();
    std::string lf = crlf;
    std::erase(lf, '\r');
    for (const std::string& text : {crlf, lf}) {
        ASSERT_TRUE(replaceFileAtomically(path, text));
        Result<std::unique_ptr<TTask>> loaded = ReadTaskFile(path, m_settings);
        ASSERT_TRUE(loaded) << loaded.error().text;
        EXPECT_TRUE(composeTaskFile(*loaded.value()) == crlf) << text.size();
    }
    // Cut inside the last group, the file is refused as it is when read whole.
    ASSERT_TRUE(replaceFileAtomically(path, lf.substr(0, lf.size() - 3)));
    EXPECT_FALSE(ReadTaskFile(path, m_settings));
    EXPECT_FALSE(ReadTaskFile(m_dir / "missing.tsf", m_settings));
}

}  // namespace
}  // namespace quillharbor
