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

// The model with no engine and no widgets, over tasks made by hand.
class MainWindowModelTest : public ::testing::Test {
protected:
    std::vector<std::string> urls(ObjectListPage page) {
        std::vector<std::string> shown;
        const ObjectRows& rows = m_model.objectRows(page);
        for (std::size_t row = 0; row < rows.size(); ++row) {
            shown.push_back(rows.at(row).URL);
        }
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

TEST_F(MainWindowModelTest, StartsWithNothingToActOn) {
    for (UiCommand off :
         {UiCommand::StartTask, UiCommand::StopAllTasks, UiCommand::RetryFailedLinks}) {
        EXPECT_FALSE(m_model.enabled(off));
    }
    EXPECT_TRUE(m_model.enabled(UiCommand::GlobalOptions) && m_model.enabled(UiCommand::NewTask));
    EXPECT_EQ(m_model.details(), bareDetailsLabels());
    EXPECT_THAT(m_model.statusPanes(),
                ElementsAre("bytes/sec", "RAS:", "work time", "bytes total", ""));
}

TEST_F(MainWindowModelTest, SelectionFillsAndEmptiesTheObjectLists) {
    m_a.add("http://h/a/q", ObjectState::Queued);
    m_a.add("http://h/a/r", ObjectState::Retrieving, "r");
    m_a.add("http://h/a/s", ObjectState::Done, "s");
    m_a.add("http://h/robots.txt", ObjectState::RobotsRequest);
    m_b.add("http://h/b/q", ObjectState::Queued);
    m_model.AddTaskRow(*m_b.task);
    show(m_a);
    EXPECT_THAT(urls(ObjectListPage::Queued), ElementsAre("http://h/a/q"));
    EXPECT_THAT(urls(ObjectListPage::BeingRetrieved), ElementsAre("http://h/a/r"));
    EXPECT_THAT(urls(ObjectListPage::Saved), ElementsAre("http://h/a/s"));
    EXPECT_EQ(m_model.details()[0], "URL: http://h/a/");

    m_model.taskSelectionChanged({m_a.task.get(), m_b.task.get()});
    EXPECT_EQ(m_model.details(), bareDetailsLabels());
    EXPECT_TRUE(urls(ObjectListPage::Queued).empty());
    EXPECT_EQ(m_model.currentTask(), m_a.task.get());
    EXPECT_EQ(m_a.task->Objects.head()->ListItem, nullptr);
    EXPECT_TRUE(m_model.enabled(UiCommand::RemoveTask));
    EXPECT_FALSE(m_model.enabled(UiCommand::EditTask));
    // Selecting the current task alone again shows its objects again.
    m_model.taskSelectionChanged({m_a.task.get()});
    EXPECT_THAT(urls(ObjectListPage::Queued), ElementsAre("http://h/a/q"));
    m_model.taskSelectionChanged({m_b.task.get()});
    EXPECT_THAT(urls(ObjectListPage::Queued), ElementsAre("http://h/b/q"));
    EXPECT_EQ(m_a.task->Objects.head()->ListItem, nullptr);

    m_model.DeleteTaskRow(*m_b.task);
    EXPECT_TRUE(m_model.currentTask() == nullptr && m_model.SelectedTasks().empty());
    EXPECT_THAT(m_model.taskRows(), ElementsAre(m_a.task.get()));
}

TEST_F(MainWindowModelTest, RowsMoveBetweenListsAsObjectsChangeState) {
    TDnObj& object = m_a.add("http://h/a/x.html", ObjectState::Queued);
    show(m_a);
    object.State = ObjectState::Retrieving;
    m_model.ShowObjectStarted(object);
    EXPECT_TRUE(urls(ObjectListPage::Queued).empty());
    EXPECT_THAT(urls(ObjectListPage::BeingRetrieved), ElementsAre("http://h/a/x.html"));
    object.State = ObjectState::Done;
    object.LocalName = "x.html";
    m_model.RefreshObjectRow(object);
    EXPECT_THAT(urls(ObjectListPage::Saved), ElementsAre("http://h/a/x.html"));
    EXPECT_TRUE(urls(ObjectListPage::BeingRetrieved).empty());

    // An object of another task gets no row.
    TDnObj& foreign = m_b.add("http://h/b/y", ObjectState::Queued);
    m_model.AddObjectRow(foreign);
    EXPECT_EQ(foreign.ListItem, nullptr);
    EXPECT_TRUE(urls(ObjectListPage::Queued).empty());
}

TEST_F(MainWindowModelTest, ChosenOrderStaysForLaterRows) {
    m_a.add("http://h/a/2", ObjectState::Done, "b-name");
    m_a.add("http://h/a/1", ObjectState::Done, "c-name");
    show(m_a);
    m_model.sortByColumn(ObjectListPage::Saved, 0);
    TDnObj& later = m_a.add("http://h/a/0", ObjectState::Done, "a-name");
    m_model.AddObjectRow(later);
    EXPECT_THAT(urls(ObjectListPage::Saved),
                ElementsAre("http://h/a/0", "http://h/a/2", "http://h/a/1"));

    m_model.sortByColumn(ObjectListPage::Saved, 1);
    EXPECT_THAT(m_model.objectRows(ObjectListPage::Saved).columnCaptions(),
                ElementsAre("File Name", "\u2022 URL", "Size"));
    // Equal URLs never compare equal: the later row goes behind.
    TDnObj& twin = m_a.add("http://h/a/1", ObjectState::Done, "twin");
    m_model.AddObjectRow(twin);
    EXPECT_EQ(m_model.objectRows(ObjectListPage::Saved).rowOf(twin), 2u);

    m_model.sortByColumn(ObjectListPage::Saved, 2);
    m_model.sortByColumn(ObjectListPage::BeingRetrieved, 0);
    EXPECT_EQ(m_model.objectRows(ObjectListPage::Saved).order(), RowOrder::Url);
    EXPECT_EQ(m_model.objectRows(ObjectListPage::BeingRetrieved).order(), RowOrder::Added);
}

TEST_F(MainWindowModelTest, KeysCopyAndOpenWithoutExecuting) {
    TDnObj& saved = m_a.add("http://h/a/s.html", ObjectState::Done, "s.html");
    TDnObj& queued = m_a.add("http://h/a/run.sh", ObjectState::Queued, "run.sh");
    show(m_a);
    m_model.activate(ListId::Tasks);
    EXPECT_THAT(m_shell.opened, ElementsAre("/tmp/a/"));

    m_model.focusChanged(ListId::Saved);
    m_model.objectSelectionChanged(ObjectListPage::Saved, {&saved});
    EXPECT_TRUE(m_model.enabled(UiCommand::CopyUrl) &&
                m_model.enabled(UiCommand::RetryFailedLinks));
    m_model.activate(ListId::Saved);
    m_model.focusChanged(ListId::Queued);
    m_model.objectSelectionChanged(ObjectListPage::Queued, {&queued});
    m_model.activate(ListId::Queued);
    m_model.copyPressed(ListId::Queued);
    EXPECT_THAT(m_shell.opened, ElementsAre("/tmp/a/", "/tmp/a/s.html", "/tmp/a/run.sh"));
    EXPECT_THAT(m_shell.copied, ElementsAre("http://h/a/run.sh"));

    // With the Being retrieved list focused Copy URL does nothing.
    m_model.focusChanged(ListId::BeingRetrieved);
    EXPECT_FALSE(m_model.enabled(UiCommand::CopyUrl));
    m_model.copyPressed(ListId::BeingRetrieved);
    EXPECT_EQ(m_shell.copied.size(), 1u);
}

TEST_F(MainWindowModelTest, CloseAsksWhileATaskIsActive) {
    m_model.AddTaskRow(*m_a.task);
    EXPECT_TRUE(m_model.closeRequested());
    for (TaskState active : {TaskState::Running, TaskState::Waiting, TaskState::RewritePending}) {
        m_a.task->State = active;
        EXPECT_FALSE(m_model.closeRequested());
    }
    EXPECT_EQ(m_dialogs.exitQuestions, 3);
    m_model.confirmExit();
    EXPECT_TRUE(m_model.closeRequested());
    EXPECT_EQ(m_dialogs.exitQuestions, 3);
}

TEST_F(MainWindowModelTest, EditTaskKeepsTheDialogCommandsAndTheTaskListOffUntilItCloses) {
    show(m_a);
    m_model.OpenEditTask(*m_a.task);
    const auto open = [&] {
        return m_model.taskListEnabled() + m_model.enabled(UiCommand::NewTask) +
               m_model.enabled(UiCommand::EditTask);
    };
    EXPECT_EQ(open(), 0);
    m_model.editTaskClosed();
    EXPECT_EQ(open(), 3);

    // A dialog that did not open (one already shown) is not waited for.
    m_dialogs.optionDialogsShow = false;
    m_model.OpenEditTask(*m_a.task);
    EXPECT_EQ(open(), 3);
    // The engine opens it only for a dropped page: above the program the page came from.
    EXPECT_THAT(m_dialogs.shownOnTop, ElementsAre(true, true));
}

}  // namespace
}  // namespace quillharbor
