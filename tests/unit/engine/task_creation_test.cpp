#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "engine/engine_test_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;
using namespace std::string_literals;

// A new task gets its directory, its starting object in the queue and its task file; proposed
// names skip those of tasks, directories and task files; unsafe and taken names, and a
// directory that cannot be made, are refused with a notification and leave nothing.
TEST_F(EngineTest, CreatesTheTaskOrRefusesItWithoutATrace) {
    start();
    ASSERT_TRUE(createDirectories(root() + "Task-2").ok());
    ASSERT_TRUE(replaceFileAtomically(m_dir / "Task-3.tsf", "").ok());
    engine().PrepareNewTaskParams();
    NewTaskParams& params = engine().newTaskParams();
    EXPECT_EQ(params.Name, "Task-1");
    params.URL = "http://h/docs/";
    params.FollowFTP = params.MaxLevelsInf = true;
    post(EngineMessage::CreateTask);
    pump();
    TTask& task = *state().TaskList.TaskFind("Task-1");
    EXPECT_TRUE(std::filesystem::is_directory(root() + "Task-1/"));
    EXPECT_EQ(task.Flags, 0x50);  // FollowFTP and the default Parse
    EXPECT_EQ(task.State, TaskState::Running);
    EXPECT_EQ(task.StartDocName + ", " + objects(task) + ", " + task.Objects.head()->Referrer,
              "Starting Document.html, http://h/docs/ Queued Queue 1, http://h/docs/");
    EXPECT_EQ(task.Queued, 1);
    EXPECT_THAT(m_view.calls, ElementsAre("AddObjectRow http://h/docs/", "AddTaskRow Task-1",
                                          "SelectTaskRow Task-1", "UpdateCommands"));
    EXPECT_THAT(m_taskFiles.written, ElementsAre(m_dir / "Task-1.tsf"));
    engine().PrepareNewTaskParams();
    EXPECT_EQ(params.Name, "Task-4");
    params.StartAtOnce = false;
    params.StartAfter = 10;
    EXPECT_EQ(engine().CreateTask()->StartCountdown, 3000);

    for (const std::string& name : {""s, "."s, ".."s, "a/b"s, "../outside"s, "a\0b"s, "Task-1"s}) {
        EXPECT_EQ(create(name), nullptr) << name;
    }
    ASSERT_TRUE(replaceFileAtomically(m_dir / "blocker", "").ok());
    engine().globalOptions().TaskRoot = m_dir / "blocker/";
    EXPECT_EQ(create("t"), nullptr);
    ASSERT_EQ(m_view.notifications.size(), 8u);
    EXPECT_EQ(m_view.notifications[6],
              "A task named \"Task-1\" already exists. The task is not created");
    EXPECT_EQ(m_view.notifications[7],
              "Cannot create task directory " + (m_dir / "blocker/t/") + ". Task t is not started");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "outside"));
    EXPECT_FALSE(std::filesystem::exists(root() + "a"));
    EXPECT_EQ(state().TaskList.size(), 2u);
    EXPECT_EQ(m_taskFiles.written.size(), 2u);
}

// Each drop mode, with and without a document whose size announces more than the drop window
// holds; an unknown mode keeps the defaults. Dropped links are cleaned; what is no usable link,
// and a document the task cannot be made for, are released and leave nothing. A dropped
// document becomes the retrieved starting document, scanned at once, its task file written only
// later.
TEST_F(EngineTest, EachDropMakesItsTaskOrNothing) {
    const struct {
        std::optional<std::string> url;
        std::uintptr_t mode;
        const char* content;  // nullptr: a link alone
        const char* outcome;  // notifications, "Open" calls, the task
        void (*defaults)(DefaultTaskOptions&) = nullptr;
    } rows[] = {
        {"http://h/x.html", 1, nullptr, "OpenNewTask http://h/x.html"},
        {"http://h/x.html", 2, nullptr, "Queued Queue L1 - written"},
        {"http://h/pics/", 3, nullptr, "Queued Queue L3 [ .gif .jpg .png .bmp .pcx ] - written"},
        {"http://h/", 4, nullptr, ""},
        {"http://h/", 9, nullptr, ""},
        {"http://h/1.html", 1, "abc",
         "OpenEditTask Task-3, Retrieved Seen http://h/ L3 stopped abc scanned"},
        {"http://h/2.html", 2, "abc", "Retrieved Seen http://h/ L1 abc scanned"},
        {"http://h/3.html", 3, "abc",
         "Retrieved Seen http://h/ L3 [ .gif .jpg .png .bmp .pcx ] abc scanned"},
        {"http://h/0.html", 0, "<p>", "Retrieved Seen http://h/ L3 <p> scanned"},
        {"http://h/7.html", 7, "<p>", "Retrieved Seen http://h/ L3 <p> scanned"},
        {"http://h/dir/page.html", 4, "<a href=x>",
         "Retrieved Seen http://h/ L2 ftp <a href=x> scanned",
         [](DefaultTaskOptions& defaults) { defaults.DownloadFrom = 1; }},
        {" example.com/dir ", 0, nullptr, "Queued Queue http://example.com/dir/ L3 - written",
         [](DefaultTaskOptions& defaults) { defaults.TrySlashes = true; }},
        {std::nullopt, 0, "", ""},
        {"mailto:someone@h", 0, "", ""},
        {"   ", 0, "", ""},
        {"http://h/", 0, "abc",
         "Cannot use \"../escape-1\" as a task name: it must not be empty, \".\" or \"..\", nor "
         "contain \"/\". The task is not created",
         [](DefaultTaskOptions& defaults) { defaults.DirTemplate = "../escape"; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.url.value_or("no URL") + " mode " + std::to_string(row.mode));
        start();
        m_drop.releases = 0;
        m_view = RecordingView{};
        m_intake.scanned.clear();
        m_taskFiles.written.clear();
        // "Document only" even when the defaults say infinite levels.
        engine().defaultTaskOptions().MaxLevelsInf = row.mode == 2;
        if (row.defaults != nullptr) {
            row.defaults(engine().defaultTaskOptions());
        }
        m_drop.url = row.url;
        m_drop.content = row.content != nullptr ? row.content : "";
        post(EngineMessage::LinkDropped, row.mode, row.content != nullptr ? 100 : 0);
        pump();
        EXPECT_EQ(m_drop.releases, row.content != nullptr ? 1 : 0);
        std::vector<std::string> outcome = m_view.notifications;
        std::ranges::copy_if(m_view.calls, std::back_inserter(outcome),
                             [](const std::string& call) { return call.starts_with("Open"); });
        if (const TTask* task = state().TaskList.head(); task != nullptr) {
            const std::string start = objects(*task).substr(task->URL.size() + 1);
            outcome.push_back(start.substr(0, start.rfind(' ')) +
                              (task->BoundaryPrefix.empty() ? "" : " " + task->BoundaryPrefix) +
                              " L" + std::to_string(task->MaxLevels) +
                              (task->Extensions.empty() ? "" : " [" + task->Extensions + "]") +
                              (task->State == TaskState::Stopped ? " stopped" : "") +
                              (TaskHasFlag(*task, TaskFlag::FollowFTP) ? " ftp " : " ") +
                              readWholeFile(task->Dir + task->StartDocName).valueOr("-") +
                              (m_intake.scanned.empty() ? "" : " scanned") +
                              (m_taskFiles.written.empty() ? "" : " written"));
        }
        EXPECT_EQ(joined(outcome), row.outcome);
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir / "escape-1"));
}

}  // namespace
}  // namespace quillharbor::test
