#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/engine_test_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::ElementsAre;

class DropTest : public EngineTest {
protected:
    void SetUp() override { start(); }
    void drop(std::string url, std::uintptr_t mode, std::intptr_t size = 0) {
        m_drop.url = std::move(url);
        post(EngineMessage::LinkDropped, mode, size);
        pump();
    }
    TTask* only() { return state().TaskList.size() == 1 ? state().TaskList.head() : nullptr; }
};

TEST_F(DropTest, WithoutAUsableUrlCreatesNothingAndReleasesTheContent) {
    m_drop.url = std::nullopt;
    post(EngineMessage::LinkDropped, 0, 5);
    pump();
    EXPECT_EQ(m_drop.releases, 1);
    drop("mailto:someone@h", 0, 7);  // cleaned away: another scheme
    EXPECT_EQ(m_drop.releases, 2);
    drop("   ", 0);
    EXPECT_TRUE(state().TaskList.empty());
}

TEST_F(DropTest, ModeZeroBuildsTheTaskFromTheDefaults) {
    engine().defaultTaskOptions().TrySlashes = true;
    drop(" example.com/dir ", 0);
    ASSERT_NE(only(), nullptr);
    EXPECT_EQ(only()->URL, "http://example.com/dir/");
    EXPECT_EQ(only()->BoundaryPrefix, "http://example.com/dir/");
    EXPECT_EQ(only()->MaxLevels, 3);

    engine().defaultTaskOptions().DownloadFrom = 1;
    drop("http://h/a/b.html", 0);
    TTask* second = state().TaskList.TaskFind("Task-2");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->URL, "http://h/a/b.html");  // a file name with a dot gets no slash
    EXPECT_EQ(second->BoundaryPrefix, "http://h/");
}

TEST_F(DropTest, OtherModesWithoutContent) {
    drop("http://h/x.html", 1);
    EXPECT_THAT(m_view.calls, ElementsAre("OpenNewTask http://h/x.html"));
    EXPECT_TRUE(state().TaskList.empty());

    // Only the document itself, even when the defaults say infinite levels.
    engine().defaultTaskOptions().MaxLevelsInf = true;
    drop("http://h/x.html", 2);
    ASSERT_NE(only(), nullptr);
    EXPECT_EQ(only()->MaxLevels, 1);
    EXPECT_EQ(only()->BoundaryPrefix, "");

    drop("http://h/pics/", 3);
    TTask* pictures = state().TaskList.TaskFind("Task-2");
    ASSERT_NE(pictures, nullptr);
    EXPECT_EQ(pictures->Extensions, " .gif .jpg .png .bmp .pcx ");

    drop("http://h/", 4);
    drop("http://h/", 9);
    EXPECT_EQ(state().TaskList.size(), 2u);
}

TEST_F(DropTest, ADroppedDocumentBecomesTheRetrievedStartingDocument) {
    m_drop.url = "http://h/dir/page.html";
    m_drop.content = "<a href=x>";
    post(EngineMessage::LinkDropped, 4, 10);
    EXPECT_TRUE(m_loop.processPending());
    // The drop posted the document to the link intake.
    EXPECT_TRUE(m_loop.processPending());
    EXPECT_FALSE(m_loop.processPending());

    TTask* task = only();
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(m_drop.releases, 1);
    EXPECT_EQ(readWholeFile(task->Dir + "Starting Document.html").valueOr(""), "<a href=x>");
    TDnObj& startObject = *task->Objects.head();
    EXPECT_EQ(startObject.State, ObjectState::Retrieved);
    EXPECT_EQ(startObject.LocalName, "Starting Document.html");
    EXPECT_EQ(startObject.ContentType, "text/html");
    EXPECT_EQ(startObject.InList, GlobalList::Seen);
    EXPECT_EQ(task->Queued, 1);
    EXPECT_EQ(task->Total, 0);
    EXPECT_EQ(task->BoundaryPrefix, "http://h/dir/");
    EXPECT_TRUE(TaskHasFlag(*task, TaskFlag::FollowFTP));
    EXPECT_EQ(task->MaxLevels, 2);
    EXPECT_EQ(task->MaxFiles, 0);
    // Its task file comes when it ends or at the periodic save.
    EXPECT_TRUE(m_taskFiles.written.empty());
}

TEST_F(DropTest, DroppedDocumentModesAndAShortContent) {
    m_drop.content = "abc";
    drop("http://h/1.html", 1, 100);  // announces more than the drop window holds
    TTask* edited = only();
    ASSERT_NE(edited, nullptr);
    EXPECT_EQ(readWholeFile(edited->Dir + edited->StartDocName).valueOr(""), "abc");
    EXPECT_EQ(edited->State, TaskState::Stopped);
    EXPECT_EQ(m_view.calls.back(), "OpenEditTask Task-1");

    m_drop.content = "abc";
    drop("http://h/2.html", 2, 3);
    EXPECT_EQ(state().TaskList.TaskFind("Task-2")->MaxLevels, 1);
    m_drop.content = "abc";
    drop("http://h/3.html", 3, 3);
    EXPECT_EQ(state().TaskList.TaskFind("Task-3")->Extensions, " .gif .jpg .png .bmp .pcx ");
}

TEST_F(DropTest, DroppedDocumentWithModeZeroOrAnUnknownOneKeepsTheDefaults) {
    for (std::uintptr_t mode : {0u, 7u}) {
        m_drop.content = "<p>";
        drop("http://h/" + std::to_string(mode) + ".html", mode, 3);
    }
    ASSERT_EQ(state().TaskList.size(), 2u);
    for (const TTask& task : state().TaskList) {
        EXPECT_EQ(task.MaxLevels, 3);
        EXPECT_EQ(task.Extensions, "");
        EXPECT_FALSE(TaskHasFlag(task, TaskFlag::FollowFTP));
        EXPECT_EQ(task.State, TaskState::Running);
    }
    EXPECT_EQ(m_drop.releases, 2);
}

TEST_F(DropTest, ARefusedDocumentIsReleasedAndNothingIsLeft) {
    engine().defaultTaskOptions().DirTemplate = "../escape";
    m_drop.content = "abc";
    drop("http://h/", 0, 3);
    EXPECT_EQ(m_drop.releases, 1);
    EXPECT_TRUE(state().TaskList.empty());
    EXPECT_EQ(m_view.notifications.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "escape-1"));
}

}  // namespace
}  // namespace quillharbor::test
