#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/command_rules.h"
#include "ui/details_panel.h"
#include "ui/icon_cache.h"
#include "ui/main_window_model.h"
#include "ui/object_row.h"
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

using S = TaskState;

// "1" where the command at that place is enabled.
std::string enabledOf(const CommandStates& states, std::initializer_list<UiCommand> commands) {
    std::string flags;
    for (UiCommand command : commands) {
        flags += states.enabled(command) ? '1' : '0';
    }
    return flags;
}

TEST(CommandRulesTest, TaskCommandsFollowEverySelectedTask) {
    // Start, Stop, Abort, Edit Task.
    const std::pair<std::vector<TaskState>, std::string> cases[] = {
        {{S::Running}, "0111"},
        {{S::Stopped}, "1001"},
        {{S::Aborted}, "1001"},
        {{S::Waiting}, "1011"},
        {{S::Finished}, "0001"},
        {{S::Running, S::Running}, "0110"},
        {{S::Running, S::Waiting}, "0010"},
        {{S::Stopped, S::Aborted}, "1000"},
        {{S::Aborted, S::Waiting}, "0000"},
        {{S::Running, S::Stopped}, "0000"}};
    for (const auto& [states, expected] : cases) {
        std::vector<LooseTask> tasks;
        std::vector<TTask*> selected;
        for (TaskState state : states) {
            selected.push_back(tasks.emplace_back("t", state).task.get());
        }
        SCOPED_TRACE(static_cast<int>(states[0]) * 10 + states.size());
        CommandStates commands;
        applyTaskRule(commands, ListId::Tasks, selected);
        EXPECT_EQ(enabledOf(commands, {UiCommand::StartTask, UiCommand::StopTask,
                                       UiCommand::AbortTask, UiCommand::EditTask}),
                  expected);
        EXPECT_TRUE(commands.enabled(UiCommand::RemoveTask));
        // Without the focus nothing of it is enabled.
        applyTaskRule(commands, ListId::Saved, selected);
        EXPECT_EQ(enabledOf(commands, {UiCommand::RemoveTask, UiCommand::StartTask}), "00");
    }
}

TEST(CommandRulesTest, GlobalRetryAndDialogCommands) {
    LooseTask running("a", S::Running), waiting("b", S::Waiting), finished("c", S::Finished);
    // Global Options, Stop All, Abort All.
    const std::pair<std::vector<TTask*>, std::string> global[] = {
        {{}, "100"},
        {{finished.task.get()}, "100"},
        {{finished.task.get(), waiting.task.get()}, "001"},
        {{running.task.get(), finished.task.get()}, "011"}};
    for (const auto& [tasks, expected] : global) {
        CommandStates states;
        applyGlobalRule(states, tasks);
        EXPECT_EQ(enabledOf(states, {UiCommand::GlobalOptions, UiCommand::StopAllTasks,
                                     UiCommand::AbortAllTasks}),
                  expected);
    }
    const struct {
        ListId focus;
        std::size_t tasks, saved;
        bool retry;
    } retry[] = {{ListId::Tasks, 1, 0, true},
                 {ListId::Saved, 0, 2, true},
                 {ListId::Tasks, 0, 0, false},
                 {ListId::Queued, 1, 1, false},
                 {ListId::None, 1, 1, false}};
    for (const auto& each : retry) {
        CommandStates states;
        applyRetryRule(states, each.focus, each.tasks, each.saved);
        EXPECT_EQ(states.enabled(UiCommand::RetryFailedLinks), each.retry);
    }
    CommandStates states;
    applyDialogRule(states, true);
    EXPECT_EQ(enabledOf(states, {UiCommand::NewTask, UiCommand::GlobalOptions, UiCommand::EditTask,
                                 UiCommand::DefaultTaskOptions, UiCommand::StartTask}),
              "00001");
}

TEST(CommandRulesTest, ObjectCommandsFollowTheFocusedList) {
    LooseTask task("a", S::Running);
    TDnObj* failed = &task.add("http://h/a/1", ObjectState::Failed);
    TDnObj* done = &task.add("http://h/a/2", ObjectState::Done);
    TDnObj* failed2 = &task.add("http://h/a/3", ObjectState::Incomplete);
    // Start Object, Stop Object, Copy URL, Remove from Queue.
    const struct {
        ListId focus;
        std::vector<TDnObj*> saved;
        std::size_t retrieving, queued;
        std::string expected;
    } cases[] = {{ListId::Saved, {failed}, 0, 0, "1010"},
                 {ListId::Saved, {failed, failed2}, 0, 0, "1000"},
                 {ListId::Saved, {failed, done}, 0, 0, "0000"},
                 {ListId::BeingRetrieved, {}, 2, 1, "0100"},
                 {ListId::Queued, {}, 0, 1, "0011"},
                 {ListId::Queued, {}, 0, 2, "0001"},
                 {ListId::Queued, {}, 0, 0, "0000"}};
    const auto objectCommands = [](const CommandStates& states) {
        return enabledOf(states, {UiCommand::StartObject, UiCommand::StopObject, UiCommand::CopyUrl,
                                  UiCommand::RemoveFromQueue});
    };
    for (const auto& each : cases) {
        CommandStates states;
        applyObjectRule(states, each.focus, each.saved, each.retrieving, each.queued);
        EXPECT_EQ(objectCommands(states), each.expected) << each.saved.size() << each.queued;
    }
    task.task->State = S::Stopped;
    CommandStates states;
    applyObjectRule(states, ListId::Saved, std::vector{failed}, 0, 0);
    EXPECT_EQ(objectCommands(states), "0010");
}

TEST(DetailsPanelTest, LabelsOfATask) {
    LooseTask loose("a");
    TTask& task = *loose.task;
    task.Queued = 3;
    task.Total = 10;
    task.MaxLevels = 4;
    EXPECT_EQ(detailsLabelsOf(task),
              (DetailsLabels{"URL: http://h/a/", "Download from anywhere", "Files queued: 3",
                             "Files read: 7", "Max files: infinity", "Max levels: 4",
                             "Start after 0 minutes"}));
    task.BoundaryPrefix = "http://h/a/";
    task.MaxFiles = 50;
    EXPECT_EQ(detailsLabelsOf(task)[1], "Download from http://h/a/");
    EXPECT_EQ(detailsLabelsOf(task)[4], "Max files: 50");

    // Whole minutes of 300 ticks, ties to even.
    const std::pair<std::int32_t, std::string> delays[] = {{450, "Start after 2 minutes"},
                                                           {750, "Start after 2 minutes"},
                                                           {449, "Start after 1 minutes"}};
    for (const auto& [ticks, label] : delays) {
        task.StartCountdown = ticks;
        EXPECT_EQ(detailsLabelsOf(task)[6], label) << ticks;
    }
}

TEST(ObjectRowTest, StatusImagesByState) {
    LooseTask task("a");
    TDnObj& object = task.add("http://h/a/x.html", ObjectState::Queued);
    struct Case {
        ObjectState state;
        std::int64_t received, size;
        std::int32_t status;
        int image;
    };
    using S = ObjectState;
    const Case cases[] = {
        {S::Queued, 0, 0, 0, 5},           {S::Queued, 10, 0, 0, 7},
        {S::Retrieved, 0, 0, 0, 0},        {S::Retrieving, 500, 1000, 0, 4},
        {S::Retrieving, 500, 0, 0, 0},     {S::Retrieving, 1000, 1000, 0, 7},
        {S::Retrieving, 5000, 1000, 0, 7}, {S::Failed, 0, 0, 0, 1},
        {S::Incomplete, 0, 0, 0, 4},       {S::Removed, 0, 0, 0, 6},
        {S::ProtocolError, 0, 0, 404, 2},  {S::ProtocolError, 0, 0, 500, 1},
        {S::Excluded, 0, 0, 0, 3},         {S::RetrievedByOther, 0, 0, 0, 14},
        {S::FtpError, 0, 0, 0, 1},         {S::Done, 0, 0, 0, 0},
        {S::RobotsRequest, 0, 0, 0, -1},
    };
    for (const Case& each : cases) {
        object.State = each.state;
        object.Received = each.received;
        object.Size = each.size;
        object.Status = each.status;
        EXPECT_EQ(objectStatusImage(object), each.image) << static_cast<int>(each.state);
    }
}

TEST(ObjectRowTest, CellsPerList) {
    LooseTask task("a");
    TDnObj& object = task.add("http://h/a/x.html", ObjectState::Retrieving, "x.html");
    object.Received = 500;
    EXPECT_EQ(pageOfObject(object), ObjectListPage::BeingRetrieved);
    EXPECT_THAT(objectRowCells(ObjectListPage::BeingRetrieved, object),
                ElementsAre("http://h/a/x.html", "x.html", "500", "?"));
    object.Size = 900;
    EXPECT_THAT(objectRowCells(ObjectListPage::Queued, object),
                ElementsAre("http://h/a/x.html", "500", "900"));
    EXPECT_THAT(objectRowCells(ObjectListPage::Saved, object),
                ElementsAre("x.html", "http://h/a/x.html", "500"));
    object.LocalName.clear();
    object.State = ObjectState::Removed;
    EXPECT_EQ(pageOfObject(object), ObjectListPage::Saved);
    EXPECT_EQ(objectRowCaption(ObjectListPage::Saved, object), "Removed from queue");
    object.State = ObjectState::RobotsRequest;
    EXPECT_EQ(pageOfObject(object), std::nullopt);
}

TEST(IconCacheTest, SavedFilesFillTheCacheButProgramsAndIconsNever) {
    LooseTask task("a");
    test::FakeShell shell;
    shell.icons = {{"/tmp/a/one.html", 3}, {"/tmp/a/setup.exe", 8}, {"/tmp/a/page", 9}};
    IconCache cache;

    TDnObj& queued = task.add("http://h/a/q.html", ObjectState::Queued);
    EXPECT_EQ(chooseObjectIcon(queued, cache, shell), 0) << "nothing cached yet, nothing asked";
    EXPECT_TRUE(shell.asked.empty());

    TDnObj& saved = task.add("http://h/a/one.html", ObjectState::Done, "one.html");
    EXPECT_EQ(chooseObjectIcon(saved, cache, shell), 3);
    EXPECT_EQ(chooseObjectIcon(queued, cache, shell), 3) << "found by the URL's extension";
    EXPECT_EQ(shell.asked.size(), 1u) << "the second .html came from the cache";

    TDnObj& program = task.add("http://h/a/setup.exe", ObjectState::Done, "setup.exe");
    EXPECT_EQ(chooseObjectIcon(program, cache, shell), 8);
    EXPECT_EQ(chooseObjectIcon(program, cache, shell), 8);
    EXPECT_EQ(shell.asked.size(), 3u) << ".exe is asked for every time";
    EXPECT_EQ(cache.find(".exe"), -1);

    TDnObj& noDot = task.add("http://h/a/page", ObjectState::Done, "page");
    EXPECT_EQ(chooseObjectIcon(noDot, cache, shell), 0);
    TDnObj& missing = task.add("http://h/a/gone.png", ObjectState::Done, "gone.png");
    EXPECT_EQ(chooseObjectIcon(missing, cache, shell), 0);
    EXPECT_EQ(cache.find(".png"), -1) << "a failed query caches nothing";

    // A removed object with no file of its own is looked up under the name its URL maps to.
    TDnObj& removed = task.add("http://h/a/one.html?x", ObjectState::Removed);
    EXPECT_EQ(chooseObjectIcon(removed, cache, shell), 3);
}

}  // namespace
}  // namespace quillharbor
