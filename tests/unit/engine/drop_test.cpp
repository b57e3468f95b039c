#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "engine/engine_test_fixture.h"

namespace quillharbor::test {
namespace {

constexpr const char* kPictures = " .gif .jpg .png .bmp .pcx ";

class DropTest : public EngineTest {
protected:
    void SetUp() override { start(); }
    void drop(std::optional<std::string> url, std::uintptr_t mode, std::intptr_t size = 0) {
        m_drop.url = std::move(url);
        post(EngineMessage::LinkDropped, mode, size);
        pump();
    }
    TTask* only() { return state().TaskList.size() == 1 ? state().TaskList.head() : nullptr; }
};

// Each drop mode, with and without a document whose size announces more than the drop window
// holds; an unknown mode keeps the defaults.
TEST_F(DropTest, EachModeMakesItsTask) {
    const struct {
        const char* url;
        std::uintptr_t mode;
        const char* content;  // nullptr: a link alone
        int maxLevels;        // 0: no task
        const char* extensions;
        TaskState state;
        const char* lastCall;
    } cases[] = {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.url) + " mode " + std::to_string(c.mode));
        m_engine.reset();
        start();
        m_drop.releases = 0;
        m_view.calls.clear();
        // "Document only" even when the defaults say infinite levels.
        engine().defaultTaskOptions().MaxLevelsInf = c.mode == 2;
        m_drop.content = c.content != nullptr ? c.content : "";
        drop(c.url, c.mode, c.content != nullptr ? 100 : 0);
        ASSERT_EQ(only() != nullptr, c.maxLevels != 0);
        EXPECT_EQ(m_drop.releases, c.content != nullptr ? 1 : 0);
        if (*c.lastCall != '\0') {
            EXPECT_THAT(m_view.calls, ::testing::Contains(::testing::StartsWith(c.lastCall)));
        }
        if (only() == nullptr) {
            continue;
        }
        EXPECT_EQ(only()->MaxLevels, c.maxLevels);
        EXPECT_EQ(only()->Extensions, c.extensions);
        EXPECT_EQ(only()->State, c.state);
        EXPECT_FALSE(TaskHasFlag(*only(), TaskFlag::FollowFTP));
        if (c.content != nullptr) {
            EXPECT_EQ(readWholeFile(only()->Dir + only()->StartDocName).valueOr(""), c.content);
        }
    }
}

TEST_F(DropTest, LinksAreCleanedAndWhatIsNoUsableLinkIsReleased) {
    engine().defaultTaskOptions().TrySlashes = true;
    drop(" example.com/dir ", 0);
    ASSERT_NE(only(), nullptr);
    EXPECT_EQ(only()->URL, "http://example.com/dir/");
    EXPECT_EQ(only()->BoundaryPrefix, "http://example.com/dir/");
    engine().defaultTaskOptions().DownloadFrom = 1;
    drop("http://h/a/b.html", 0);
    TTask* second = state().TaskList.TaskFind("Task-2");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->URL, "http://h/a/b.html");  // a file name with a dot gets no slash
    EXPECT_EQ(second->BoundaryPrefix, "http://h/");

    for (const std::optional<std::string>& url :
         {std::optional<std::string>(), std::optional<std::string>("mailto:someone@h"),
          std::optional<std::string>("   ")}) {
        drop(url, 0, 5);
    }
    EXPECT_EQ(m_drop.releases, 3);
    EXPECT_EQ(state().TaskList.size(), 2u);

    // A document the task cannot be made for is released and leaves nothing.
    engine().defaultTaskOptions().DirTemplate = "../escape";
    m_drop.content = "abc";
    drop("http://h/", 0, 3);
    EXPECT_EQ(m_drop.releases, 4);
    EXPECT_EQ(state().TaskList.size(), 2u);
    EXPECT_EQ(m_view.notifications.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(m_dir / "escape-1"));
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

}  // namespace
}  // namespace quillharbor::test
