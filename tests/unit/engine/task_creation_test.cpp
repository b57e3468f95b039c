#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/engine_test_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(EngineTest, StartsWithTheSettingsOfTheConfigurationFile) {
    writeSettings(
        "[General]\nMaxHTTPConns=2\nMaxFTPConns=1\nUseHTTPProxy=1\nHTTPProxyName=proxy.local\n"
        "HTTPProxyPort=3128\nFTPProxyName=ftp.proxy\nFTPTimeout=7\nDefUser=me\n"
        "DefPassword=secret\n");
    start();

    EXPECT_EQ(m_drop.createdFor, engine().handle());
    ASSERT_EQ(state().HttpSlots.size(), 2u);
    ASSERT_EQ(state().FtpSlots.size(), 1u);
    EXPECT_EQ(m_slots.contexts[1].AgentText, "Mozilla/3.0(compatible)");
    const auto& http = static_cast<FakeHttpSlot&>(*state().HttpSlots[0]);
    EXPECT_EQ(http.proxy.Proxy, "proxy.local");
    EXPECT_EQ(http.proxy.ProxyPort, "3128");
    const auto& ftp = static_cast<FakeFtpSlot&>(*state().FtpSlots[0]);
    EXPECT_EQ(ftp.settings.Timeout, 7);
    EXPECT_EQ(ftp.settings.UserName, "me");
    EXPECT_EQ(ftp.settings.Password, "secret");

    // Applying again rebuilds the slots from the changed options.
    engine().globalOptions().MaxHTTPConns = 1;
    engine().globalOptions().UseHTTPProxy = false;
    post(EngineMessage::ApplySettings);
    pump();
    ASSERT_EQ(state().HttpSlots.size(), 1u);
    EXPECT_EQ(static_cast<FakeHttpSlot&>(*state().HttpSlots[0]).proxy.Proxy, "");
    EXPECT_EQ(std::count(m_slots.log.begin(), m_slots.log.end(), "destroy http"), 2);

    m_engine.reset();
    EXPECT_TRUE(m_drop.destroyed);
    EXPECT_EQ(m_loop.targetCount(), 0u);
}

TEST_F(EngineTest, CreatesTheTaskItsDirectoryStartingObjectAndTaskFile) {
    start();
    engine().PrepareNewTaskParams();
    NewTaskParams& params = engine().newTaskParams();
    EXPECT_EQ(params.Name, "Task-1");
    params.URL = "http://h/docs/";
    params.FollowFTP = true;
    params.MaxLevelsInf = true;
    post(EngineMessage::CreateTask);
    pump();

    TTask* task = state().TaskList.TaskFind("Task-1");
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->Dir, root() + "Task-1/");
    EXPECT_TRUE(std::filesystem::is_directory(task->Dir));
    EXPECT_EQ(task->Flags, 0x50);  // FollowFTP and the default Parse
    EXPECT_EQ(task->State, TaskState::Running);
    EXPECT_EQ(task->StartDocName, "Starting Document.html");
    EXPECT_EQ(task->Queued, 1);
    TDnObj* startObject = task->Objects.head();
    ASSERT_NE(startObject, nullptr);
    EXPECT_EQ(startObject->URL, "http://h/docs/");
    EXPECT_EQ(startObject->Referrer, "http://h/docs/");
    EXPECT_EQ(state().Queue.head(), startObject);
    EXPECT_THAT(m_view.calls, ElementsAre("AddObjectRow http://h/docs/", "AddTaskRow Task-1",
                                          "SelectTaskRow Task-1", "UpdateCommands"));
    EXPECT_THAT(m_taskFiles.written, ElementsAre(m_dir / "Task-1.tsf"));

    engine().PrepareNewTaskParams();
    EXPECT_EQ(params.Name, "Task-2");
    params.URL = "http://h/";
    params.StartAtOnce = false;
    params.StartAfter = 10;
    TTask* waiting = engine().CreateTask();
    ASSERT_NE(waiting, nullptr);
    EXPECT_EQ(waiting->State, TaskState::Waiting);
    EXPECT_EQ(waiting->StartCountdown, 3000);
}

TEST_F(EngineTest, RefusesUnsafeAndTakenNamesWithoutCreatingAnything) {
    start();
    ASSERT_NE(create("Task-1"), nullptr);
    m_view.notifications.clear();

    for (const std::string& name :
         {std::string(), std::string("."), std::string(".."), std::string("a/b"),
          std::string("../outside"), std::string("a\0b", 3), std::string("Task-1")}) {
        EXPECT_EQ(create(name), nullptr) << name;
    }
    ASSERT_EQ(m_view.notifications.size(), 7u);
    EXPECT_EQ(m_view.notifications[1],
              "Cannot use \".\" as a task name: it must not be empty, \".\" or \"..\", nor "
              "contain \"/\". The task is not created");
    EXPECT_EQ(m_view.notifications[6],
              "A task named \"Task-1\" already exists. The task is not created");
    EXPECT_EQ(state().TaskList.size(), 1u);
    EXPECT_EQ(m_taskFiles.written.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "outside"));
    EXPECT_FALSE(std::filesystem::exists(root() + "a"));
}

TEST_F(EngineTest, ReportsATaskDirectoryThatCannotBeMade) {
    start();
    ASSERT_TRUE(replaceFileAtomically(m_dir / "blocker", "").ok());
    engine().globalOptions().TaskRoot = m_dir / "blocker/";

    EXPECT_EQ(create("t"), nullptr);
    EXPECT_THAT(m_view.notifications,
                ElementsAre("Cannot create task directory " + (m_dir / "blocker/t/") +
                            ". Task t is not started"));
    EXPECT_TRUE(state().TaskList.empty());
    EXPECT_THAT(m_taskFiles.written, IsEmpty());
}

TEST_F(EngineTest, ProposesNamesThatNoTaskDirectoryOrTaskFileHolds) {
    start();
    ASSERT_TRUE(createDirectories(root() + "Task-1").ok());
    ASSERT_TRUE(replaceFileAtomically(m_dir / "Task-2.tsf", "").ok());
    ASSERT_NE(create("Task-3"), nullptr);
    engine().PrepareNewTaskParams();
    EXPECT_EQ(engine().newTaskParams().Name, "Task-4");
}

// Without separate directories the user expects every task's files straight in the task root;
// names stay unique because each task still has its own task file.
TEST_F(EngineTest, WithoutSeparateDirectoriesTasksShareTheTaskRoot) {
    writeSettings("[General]\nSaveSeparate=0\n");
    start();
    engine().PrepareNewTaskParams();
    EXPECT_EQ(engine().newTaskParams().Name, "Task-1");
    engine().newTaskParams().URL = "http://h/";
    TTask* first = engine().CreateTask();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Dir, root());
    EXPECT_THAT(m_taskFiles.written, ElementsAre(m_dir / "Task-1.tsf"));

    // Two dropped documents in the one directory keep both starting documents.
    m_drop.url = "http://h/page.html";
    m_drop.content = "<p>two</p>";
    engine().CreateTaskFromDrop(0, 10);
    m_drop.content = "<p>three</p>";
    engine().CreateTaskFromDrop(0, 12);
    TTask* second = state().TaskList.TaskFind("Task-2");
    TTask* third = state().TaskList.TaskFind("Task-3");
    ASSERT_NE(second, nullptr);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->Dir, root());
    EXPECT_EQ(second->StartDocName, "Starting Document.html");
    EXPECT_EQ(third->StartDocName, "Starting Document-1.html");
    EXPECT_EQ(readWholeFile(root() + "Starting Document.html").valueOr(""), "<p>two</p>");
    EXPECT_EQ(readWholeFile(root() + "Starting Document-1.html").valueOr(""), "<p>three</p>");
}

}  // namespace
}  // namespace quillharbor::test
