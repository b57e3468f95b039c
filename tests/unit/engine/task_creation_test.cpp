#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "engine/engine_test_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;
using namespace std::string_literals;

TEST_F(EngineTest, StartsWithTheSettingsOfTheConfigurationFile) {
    startWith(
        "MaxHTTPConns=2\nMaxFTPConns=1\nUseHTTPProxy=1\nHTTPProxyName=proxy.local\n"
        "HTTPProxyPort=3128\nFTPTimeout=7\nDefUser=me\nDefPassword=secret\n");
    EXPECT_EQ(m_drop.createdFor, engine().handle());
    ASSERT_EQ(state().HttpSlots.size(), 2u);
    EXPECT_EQ(m_slots.contexts[1].AgentText, "Mozilla/3.0(compatible)");
    EXPECT_EQ(http(0).proxy.Proxy + ":" + http(0).proxy.ProxyPort, "proxy.local:3128");
    const FtpSlotSettings& login = ftp(0).settings;
    EXPECT_EQ(std::to_string(login.Timeout) + " " + login.UserName + " " + login.Password,
              "7 me secret");
    // Applying again rebuilds the slots from the changed options.
    engine().globalOptions().MaxHTTPConns = 1;
    engine().globalOptions().UseHTTPProxy = false;
    post(EngineMessage::ApplySettings);
    pump();
    ASSERT_EQ(state().HttpSlots.size(), 1u);
    EXPECT_EQ(http(0).proxy.Proxy, "");
    EXPECT_EQ(count(m_slots.log, "destroy http"), 2);
    m_engine.reset();
    EXPECT_TRUE(m_drop.destroyed);
    EXPECT_EQ(m_loop.targetCount(), 0u);
}

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
    EXPECT_EQ(task.StartDocName, "Starting Document.html");
    EXPECT_EQ(task.Queued, 1);
    EXPECT_EQ(task.Objects.head()->Referrer, "http://h/docs/");
    EXPECT_EQ(state().Queue.head(), task.Objects.head());
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
    ASSERT_EQ(m_view.notifications.size(), 7u);
    EXPECT_EQ(m_view.notifications[1],
              "Cannot use \".\" as a task name: it must not be empty, \".\" or \"..\", nor "
              "contain \"/\". The task is not created");
    EXPECT_EQ(m_view.notifications[6],
              "A task named \"Task-1\" already exists. The task is not created");
    EXPECT_FALSE(std::filesystem::exists(m_dir / "outside"));
    EXPECT_FALSE(std::filesystem::exists(root() + "a"));
    ASSERT_TRUE(replaceFileAtomically(m_dir / "blocker", "").ok());
    engine().globalOptions().TaskRoot = m_dir / "blocker/";
    EXPECT_EQ(create("t"), nullptr);
    EXPECT_EQ(m_view.notifications.back(),
              "Cannot create task directory " + (m_dir / "blocker/t/") + ". Task t is not started");
    EXPECT_EQ(state().TaskList.size(), 2u);
    EXPECT_EQ(m_taskFiles.written.size(), 2u);
}

// Each drop mode, with and without a document whose size announces more than the drop window
// holds; an unknown mode keeps the defaults.
TEST_F(EngineTest, EachDropModeMakesItsTask) {
    constexpr const char* kPictures = " .gif .jpg .png .bmp .pcx ";
    const struct {
        const char* url;
        std::uintptr_t mode;
        const char* content;  // nullptr: a link alone
        int maxLevels;        // 0: no task
        const char* extensions;
        TaskState state;
        const char* call;
    } rows[] = {
        {"http://h/x.html", 1, nullptr, 0, "", TaskState::Running, "OpenNewTask http://h/x.html"},
        {"http://h/x.html", 2, nullptr, 1, "", TaskState::Running, "AddTaskRow"},
        {"http://h/pics/", 3, nullptr, 3, kPictures, TaskState::Running, "AddTaskRow"},
        {"http://h/", 4, nullptr, 0, "", TaskState::Running, ""},
        {"http://h/", 9, nullptr, 0, "", TaskState::Running, ""},
        {"http://h/1.html", 1, "abc", 3, "", TaskState::Stopped, "OpenEditTask"},
        {"http://h/2.html", 2, "abc", 1, "", TaskState::Running, "AddTaskRow"},
        {"http://h/3.html", 3, "abc", 3, kPictures, TaskState::Running, "AddTaskRow"},
        {"http://h/0.html", 0, "<p>", 3, "", TaskState::Running, "AddTaskRow"},
        {"http://h/7.html", 7, "<p>", 3, "", TaskState::Running, "AddTaskRow"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.url) + " mode " + std::to_string(row.mode));
        start();
        m_drop.releases = 0;
        m_view.calls.clear();
        // "Document only" even when the defaults say infinite levels.
        engine().defaultTaskOptions().MaxLevelsInf = row.mode == 2;
        m_drop.url = row.url;
        m_drop.content = row.content != nullptr ? row.content : "";
        post(EngineMessage::LinkDropped, row.mode, row.content != nullptr ? 100 : 0);
        pump();
        EXPECT_EQ(m_drop.releases, row.content != nullptr ? 1 : 0);
        if (*row.call != '\0') {
            EXPECT_THAT(m_view.calls, Contains(StartsWith(row.call)));
        }
        TTask* task = state().TaskList.head();
        ASSERT_EQ(task != nullptr, row.maxLevels != 0);
        if (task != nullptr) {
            EXPECT_EQ(task->MaxLevels, row.maxLevels);
            EXPECT_EQ(task->Extensions, row.extensions);
            EXPECT_EQ(task->State, row.state);
            EXPECT_FALSE(TaskHasFlag(*task, TaskFlag::FollowFTP));
            EXPECT_EQ(readWholeFile(task->Dir + task->StartDocName).valueOr(""),
                      row.content != nullptr ? row.content : "");
        }
    }
}

// Dropped links are cleaned; what is no usable link, and a document the task cannot be made
// for, are released and leave nothing; a dropped document becomes the retrieved starting
// document, posted to the link intake, its task file written only later.
TEST_F(EngineTest, DroppedLinksAreCleanedAndDocumentsBecomeTheStartingDocument) {
    start();
    const auto drop = [this](std::optional<std::string> url, std::intptr_t size) {
        m_drop.url = std::move(url);
        post(EngineMessage::LinkDropped, 0, size);
        pump();
    };
    engine().defaultTaskOptions().TrySlashes = true;
    drop(" example.com/dir ", 0);
    EXPECT_EQ(state().TaskList.head()->URL, "http://example.com/dir/");
    EXPECT_EQ(state().TaskList.head()->BoundaryPrefix, "http://example.com/dir/");
    for (const std::optional<std::string>& url :
         {std::optional<std::string>(), std::optional<std::string>("mailto:someone@h"),
          std::optional<std::string>("   ")}) {
        drop(url, 5);
    }
    EXPECT_EQ(m_drop.releases, 3);
    engine().defaultTaskOptions().DirTemplate = "../escape";
    m_drop.content = "abc";
    drop("http://h/", 3);
    EXPECT_EQ(m_drop.releases, 4);
    EXPECT_EQ(state().TaskList.size(), 1u);
    EXPECT_EQ(m_view.notifications.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "escape-1"));

    start();
    m_taskFiles.written.clear();
    engine().defaultTaskOptions().DownloadFrom = 1;
    m_drop.content = "<a href=x>";
    m_drop.url = "http://h/dir/page.html";
    post(EngineMessage::LinkDropped, 4, 10);
    pump();
    TTask& task = *state().TaskList.TaskFind("Task-2");
    EXPECT_EQ(m_intake.scanned, std::vector<std::string>{"http://h/dir/page.html"});
    TDnObj& startObject = *task.Objects.head();
    EXPECT_EQ(startObject.State, ObjectState::Retrieved);
    EXPECT_EQ(startObject.LocalName, "Starting Document.html");
    EXPECT_EQ(startObject.ContentType, "text/html");
    EXPECT_EQ(startObject.InList, GlobalList::Seen);
    EXPECT_EQ(task.Queued, 1);
    EXPECT_EQ(task.Total, 0);
    EXPECT_EQ(task.BoundaryPrefix, "http://h/");
    EXPECT_TRUE(TaskHasFlag(task, TaskFlag::FollowFTP));
    EXPECT_EQ(task.MaxLevels, 2);
    EXPECT_THAT(m_taskFiles.written, IsEmpty());
}

TEST_F(EngineTest, DialUpDetectionSetsFlagsPaneAndSupport) {
    const struct {
        const char* name;
        bool present, useRasCtrl, loads, installed, connected, hangUp;
        const char* pane;
        DialUpSupport support;
        bool useRasCtrlAfter, watching;
    } rows[] = {
        {"no dial-up networking", 0, 1, 1, 1, 1, 1, "RAS: None", DialUpSupport::Off, 0, 0},
        {"UseRasCtrl off", 1, 0, 1, 1, 1, 1, "RAS: None", DialUpSupport::Off, 0, 0},
        {"module missing", 1, 1, 0, 1, 1, 1, "RAS: None", DialUpSupport::ModuleMissing, 0, 0},
        {"not installed", 1, 1, 1, 0, 1, 1, "RAS: None", DialUpSupport::Loaded, 1, 0},
        {"line down", 1, 1, 1, 1, 0, 1, "RAS: Inactive", DialUpSupport::Loaded, 1, 1},
        {"line up", 1, 1, 1, 1, 1, 1, "RAS: Active", DialUpSupport::Loaded, 1, 0},
        {"line up, kept after errors", 1, 1, 1, 1, 1, 0, "RAS: Active", DialUpSupport::Loaded, 1,
         0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        m_dialUp = FakeDialUp{};
        m_dialUp.present = row.present;
        m_dialUp.loads = row.loads;
        m_dialUp.installed = row.installed;
        m_dialUp.connected = row.connected;
        startWith(std::string("UseRasCtrl=") + (row.useRasCtrl ? "1" : "0") +
                  "\nBreakConnection=" + (row.hangUp ? "1" : "0") + "\n")
            .DetectDialup();
        EXPECT_EQ(m_view.status[1], row.pane);
        EXPECT_EQ(engine().dialUpSupport(), row.support);
        EXPECT_EQ(engine().globalOptions().UseRasCtrl, row.useRasCtrlAfter);
        EXPECT_EQ(state().RasWatching, row.watching);
        EXPECT_EQ(state().RasConnected, std::string(row.pane) == "RAS: Active");
        // An unexpected error hangs an open line up, and the process ends as it stands.
        engine().HangUpAfterError();
        EXPECT_EQ(m_dialUp.hangups, state().RasConnected && row.hangUp ? 1 : 0);
        // A switched-off UseRasCtrl is written at close.
        ASSERT_TRUE(engine().SaveAtClose());
        EXPECT_EQ(readWholeFile(m_dir / "Quillharbor.ini").valueOr("").find("UseRasCtrl=0") !=
                      std::string::npos,
                  !row.useRasCtrlAfter);
    }
}

}  // namespace
}  // namespace quillharbor::test
