#include "ui/main_window_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/ui_fakes.h"

namespace quillharbor {
namespace {

using test::LooseTask;
using ::testing::ElementsAre;
using Page = ObjectListPage;

// The model with no engine and no widgets, over tasks made by hand.
class MainWindowModelTest : public ::testing::Test {
protected:
    std::vector<std::string> urls(Page page) {
        std::vector<std::string> shown;
        const ObjectRows& rows = m_model.objectRows(page);
        for (std::size_t row = 0; row < rows.size(); ++row) shown.push_back(rows.at(row).URL);
        return shown;
    }
    void show(LooseTask& task) {
        m_model.AddTaskRow(*task.task);
        m_model.focusChanged(ListId::Tasks);
        m_model.taskSelectionChanged({task.task.get()});
    }

    test::FakeShell m_shell;
    test::FakeDialogs m_dialogs;
    ByteCollator m_collator;
    MainWindowModel m_model{m_shell, m_dialogs, m_collator};
    LooseTask m_a{"a"};
    LooseTask m_b{"b", TaskState::Waiting};
};

// A selection of one task fills the object lists; a wider one empties them, and selecting the
// current task alone again refills them.
TEST_F(MainWindowModelTest, SelectionFillsAndEmptiesTheObjectLists) {
    EXPECT_FALSE(m_model.enabled(UiCommand::StartTask) || m_model.enabled(UiCommand::StopAllTasks));
    EXPECT_TRUE(m_model.enabled(UiCommand::GlobalOptions) && m_model.enabled(UiCommand::NewTask));
    EXPECT_THAT(m_model.statusPanes(),
                ElementsAre("bytes/sec", "RAS:", "work time", "bytes total", ""));
    m_a.add("http://h/a/q", ObjectState::Queued);
    m_a.add("http://h/a/r", ObjectState::Retrieving, "r");
    m_a.add("http://h/a/s", ObjectState::Done, "s");
    m_a.add("http://h/robots.txt", ObjectState::RobotsRequest);
    m_b.add("http://h/b/q", ObjectState::Queued);
    m_model.AddTaskRow(*m_b.task);
    show(m_a);
    EXPECT_THAT(urls(Page::Queued), ElementsAre("http://h/a/q"));
    EXPECT_THAT(urls(Page::BeingRetrieved), ElementsAre("http://h/a/r"));
    EXPECT_THAT(urls(Page::Saved), ElementsAre("http://h/a/s"));
    EXPECT_EQ(m_model.details()[0], "URL: http://h/a/");

    m_model.taskSelectionChanged({m_a.task.get(), m_b.task.get()});
    EXPECT_EQ(m_model.details(), bareDetailsLabels());
    EXPECT_TRUE(urls(Page::Queued).empty());
    EXPECT_EQ(m_model.currentTask(), m_a.task.get());
    EXPECT_TRUE(m_model.enabled(UiCommand::RemoveTask) && !m_model.enabled(UiCommand::EditTask));
    m_model.taskSelectionChanged({m_a.task.get()});
    EXPECT_THAT(urls(Page::Queued), ElementsAre("http://h/a/q"));
    m_model.taskSelectionChanged({m_b.task.get()});
    EXPECT_THAT(urls(Page::Queued), ElementsAre("http://h/b/q"));
    EXPECT_EQ(m_a.task->Objects.head()->ListItem, nullptr);
    m_model.DeleteTaskRow(*m_b.task);
    EXPECT_TRUE(m_model.currentTask() == nullptr && m_model.SelectedTasks().empty());
    EXPECT_THAT(m_model.taskRows(), ElementsAre(m_a.task.get()));
}

// Rows move between the lists as objects change state; an object of another task gets none;
// a chosen order holds for later rows, equal keys putting the later row behind.
TEST_F(MainWindowModelTest, RowsFollowTheObjectsAndTheChosenOrder) {
    TDnObj& object = m_a.add("http://h/a/x.html", ObjectState::Queued);
    m_a.add("http://h/a/2", ObjectState::Done, "b-name");
    show(m_a);
    object.State = ObjectState::Retrieving;
    m_model.ShowObjectStarted(object);
    EXPECT_THAT(urls(Page::BeingRetrieved), ElementsAre("http://h/a/x.html"));
    object.State = ObjectState::Done;
    object.LocalName = "c-name";
    m_model.RefreshObjectRow(object);
    EXPECT_TRUE(urls(Page::BeingRetrieved).empty() && urls(Page::Queued).empty());
    TDnObj& foreign = m_b.add("http://h/b/y", ObjectState::Queued);
    m_model.AddObjectRow(foreign);
    EXPECT_EQ(foreign.ListItem, nullptr);

    m_model.sortByColumn(Page::Saved, 0);
    m_model.AddObjectRow(m_a.add("http://h/a/0", ObjectState::Done, "a-name"));
    EXPECT_THAT(urls(Page::Saved),
                ElementsAre("http://h/a/0", "http://h/a/2", "http://h/a/x.html"));
    m_model.sortByColumn(Page::Saved, 1);
    EXPECT_THAT(m_model.objectRows(Page::Saved).columnCaptions(),
                ElementsAre("File Name", "\u2022 URL", "Size"));
    TDnObj& twin = m_a.add("http://h/a/2", ObjectState::Done, "twin");
    m_model.AddObjectRow(twin);
    EXPECT_EQ(m_model.objectRows(Page::Saved).rowOf(twin), 2u);
    m_model.sortByColumn(Page::Saved, 2);
    m_model.sortByColumn(Page::BeingRetrieved, 0);
    EXPECT_EQ(m_model.objectRows(Page::Saved).order(), RowOrder::Url);
    EXPECT_EQ(m_model.objectRows(Page::BeingRetrieved).order(), RowOrder::Added);
}

TEST_F(MainWindowModelTest, KeysCopyAndOpenWithoutExecuting) {
    TDnObj& saved = m_a.add("http://h/a/s.html", ObjectState::Done, "s.html");
    TDnObj& queued = m_a.add("http://h/a/run.sh", ObjectState::Queued, "run.sh");
    show(m_a);
    m_model.activate(ListId::Tasks);
    m_model.focusChanged(ListId::Saved);
    m_model.objectSelectionChanged(Page::Saved, {&saved});
    EXPECT_TRUE(m_model.enabled(UiCommand::CopyUrl) &&
                m_model.enabled(UiCommand::RetryFailedLinks));
    m_model.activate(ListId::Saved);
    m_model.focusChanged(ListId::Queued);
    m_model.objectSelectionChanged(Page::Queued, {&queued});
    m_model.activate(ListId::Queued);
    m_model.copyPressed(ListId::Queued);
    m_model.focusChanged(ListId::BeingRetrieved);
    EXPECT_FALSE(m_model.enabled(UiCommand::CopyUrl));
    m_model.copyPressed(ListId::BeingRetrieved);
    EXPECT_THAT(m_shell.opened, ElementsAre("/tmp/a/", "/tmp/a/s.html", "/tmp/a/run.sh"));
    EXPECT_THAT(m_shell.copied, ElementsAre("http://h/a/run.sh"));
}

// Closing asks while a task is active, until the user confirms; Edit Task keeps the dialog
// commands and the task list off until it closes, unless it did not open.
TEST_F(MainWindowModelTest, CloseAndEditTaskDialogs) {
    m_model.AddTaskRow(*m_a.task);
    EXPECT_TRUE(m_model.closeRequested());
    for (TaskState active : {TaskState::Running, TaskState::Waiting, TaskState::RewritePending}) {
        m_a.task->State = active;
        EXPECT_FALSE(m_model.closeRequested());
    }
    m_model.confirmExit();
    EXPECT_TRUE(m_model.closeRequested());
    EXPECT_EQ(m_dialogs.exitQuestions, 3);

    show(m_a);
    const auto open = [&] {
        return m_model.taskListEnabled() + m_model.enabled(UiCommand::NewTask) +
               m_model.enabled(UiCommand::EditTask);
    };
    m_model.OpenEditTask(*m_a.task);
    EXPECT_EQ(open(), 0);
    m_model.editTaskClosed();
    EXPECT_EQ(open(), 3);
    m_dialogs.optionDialogsShow = false;
    m_model.OpenEditTask(*m_a.task);
    EXPECT_EQ(open(), 3);
    // The engine opens it only for a dropped page: above the program the page came from.
    EXPECT_THAT(m_dialogs.shownOnTop, ElementsAre(true, true));
}

}  // namespace
}  // namespace quillharbor
