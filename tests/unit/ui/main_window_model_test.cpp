#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "model/task.h"
#include "ui/command_rules.h"
#include "ui/details_panel.h"
#include "ui/icon_cache.h"
#include "ui/main_window_model.h"
#include "ui/object_row.h"
#include "ui/window_services.h"

namespace quillharbor {
namespace {

// Records what the main window asked of the desktop; file icons come from a table by path.
class FakeShell : public DesktopShell {
public:
    void openPath(const std::string& path) override { opened.push_back(path); }
    void copyText(const std::string& text) override { copied.push_back(text); }
    void showHelp(int) override {}
    int iconOfFile(const std::string& path) override {
        asked.push_back(path);
        const auto icon = icons.find(path);
        return icon == icons.end() ? -1 : icon->second;
    }

    std::vector<std::string> opened, copied, asked;
    std::map<std::string, int> icons;
};

class FakeDialogs : public WindowDialogs {
public:
    bool showNewTask(bool keptOnTop) override {
        shownOnTop.push_back(keptOnTop);
        return optionDialogsShow;
    }
    bool showEditTask(TTask&, bool keptOnTop) override {
        shownOnTop.push_back(keptOnTop);
        return optionDialogsShow;
    }
    bool showGlobalOptions() override { return optionDialogsShow; }
    bool showDefaultTaskOptions() override { return optionDialogsShow; }
    void showConfirmRemove() override {}
    void showConfirmExit() override { ++exitQuestions; }
    void showAbout() override {}
    void showNotification(const std::string&) override {}

    bool optionDialogsShow = true;
    std::vector<bool> shownOnTop;  // keptOnTop of each New Task and Edit Task asked for
    int exitQuestions = 0;
};

// A task of its own (not in any engine) with objects made by add().
struct LooseTask {
    explicit LooseTask(const std::string& name, TaskState state = TaskState::Stopped)
        : task(NewTask(name, "http://h/" + name + "/", "/tmp/" + name + "/", 0, "", 0, 0, "", "")) {
        task->State = state;
    }
    TDnObj& add(const std::string& url, ObjectState state, std::string localName = {}) {
        TDnObj& object = AddDnObj(*task, url, 1);
        object.State = state;
        object.LocalName = std::move(localName);
        return object;
    }
    std::unique_ptr<TTask> task;
};

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

    FakeShell m_shell;
    FakeDialogs m_dialogs;
    ByteCollator m_collator;
    MainWindowModel m_model{m_shell, m_dialogs, m_collator};
    LooseTask m_a{"a"};
    LooseTask m_b{"b", TaskState::Waiting};
};

// A selection of one task fills the object lists; a wider one empties them, and selecting the
// current task alone again refills them.
TEST_F(MainWindowModelTest, SelectionFillsAndEmptiesTheObjectLists) {
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

    m_model.taskSelectionChanged({m_a.task.get(), m_b.task.get()});
    EXPECT_EQ(m_model.details(), bareDetailsLabels());
    EXPECT_TRUE(urls(Page::Queued).empty());
    EXPECT_EQ(m_model.currentTask(), m_a.task.get());
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
    m_model.sortByColumn(Page::Saved, 2);  // the size column does not sort
    EXPECT_EQ(m_model.objectRows(Page::Saved).order(), RowOrder::Url);
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
    // Focus, tasks and saved objects selected: "1" where Retry is enabled.
    for (const auto& [focus, tasks, saved, retry] : {std::tuple{ListId::Tasks, 1, 0, "1"},
                                                     {ListId::Saved, 0, 2, "1"},
                                                     {ListId::Tasks, 0, 0, "0"},
                                                     {ListId::Queued, 1, 1, "0"}}) {
        CommandStates states;
        applyRetryRule(states, focus, tasks, saved);
        EXPECT_EQ(enabledOf(states, {UiCommand::RetryFailedLinks}), retry);
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
    // Focus, saved objects selected, others selected: Start Object, Stop Object, Copy URL,
    // Remove from Queue.
    const std::tuple<ListId, std::vector<TDnObj*>, std::size_t, std::string> cases[] = {
        {ListId::Saved, {failed}, 0, "1010"},
        {ListId::Saved, {failed, failed2}, 0, "1000"},
        {ListId::Saved, {failed, done}, 0, "0000"},
        {ListId::BeingRetrieved, {}, 2, "0100"},
        {ListId::Queued, {}, 1, "0011"},
        {ListId::Queued, {}, 2, "0001"},
        {ListId::Queued, {}, 0, "0000"}};
    const auto objectCommands = [](const CommandStates& states) {
        return enabledOf(states, {UiCommand::StartObject, UiCommand::StopObject, UiCommand::CopyUrl,
                                  UiCommand::RemoveFromQueue});
    };
    for (const auto& [focus, saved, others, expected] : cases) {
        CommandStates states;
        applyObjectRule(states, focus, saved, focus == ListId::BeingRetrieved ? others : 0,
                        focus == ListId::Queued ? others : 0);
        EXPECT_EQ(objectCommands(states), expected) << saved.size() << others;
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
    EXPECT_EQ(detailsLabelsOf(task)[1] + "|" + detailsLabelsOf(task)[4],
              "Download from http://h/a/|Max files: 50");

    // Whole minutes of 300 ticks, ties to even.
    for (const auto& [ticks, minutes] : {std::pair{450, "2"}, {750, "2"}, {449, "1"}}) {
        task.StartCountdown = ticks;
        EXPECT_EQ(detailsLabelsOf(task)[6], std::string("Start after ") + minutes + " minutes");
    }
}

TEST(ObjectRowTest, StatusImagesByState) {
    LooseTask task("a");
    TDnObj& object = task.add("http://h/a/x.html", ObjectState::Queued);
    using S = ObjectState;
    // State, bytes received, size, status: the image.
    const std::tuple<ObjectState, std::int64_t, std::int64_t, std::int32_t, int> cases[] = {
        {S::Queued, 0, 0, 0, 5},           {S::Queued, 10, 0, 0, 7},
        {S::Retrieved, 0, 0, 0, 0},        {S::Retrieving, 500, 1000, 0, 4},
        {S::Retrieving, 500, 0, 0, 0},     {S::Retrieving, 1000, 1000, 0, 7},
        {S::Retrieving, 5000, 1000, 0, 7}, {S::Failed, 0, 0, 0, 1},
        {S::Incomplete, 0, 0, 0, 4},       {S::Removed, 0, 0, 0, 6},
        {S::ProtocolError, 0, 0, 404, 2},  {S::ProtocolError, 0, 0, 500, 1},
        {S::Excluded, 0, 0, 0, 3},         {S::RetrievedByOther, 0, 0, 0, 14},
        {S::FtpError, 0, 0, 0, 1},         {S::Done, 0, 0, 0, 0},
        {S::RobotsRequest, 0, 0, 0, -1}};
    for (const auto& [state, received, size, status, image] : cases) {
        std::tie(object.State, object.Received, object.Size, object.Status) =
            std::tuple(state, received, size, status);
        EXPECT_EQ(objectStatusImage(object), image) << static_cast<int>(state);
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

// Saved files fill the cache by extension; programs (.exe) are asked for every time, and a
// failed query caches nothing.
TEST(IconCacheTest, SavedFilesFillTheCacheButProgramsAndIconsNever) {
    LooseTask task("a");
    FakeShell shell;
    shell.icons = {{"/tmp/a/one.html", 3}, {"/tmp/a/setup.exe", 8}, {"/tmp/a/page", 9}};
    IconCache cache;
    TDnObj& queued = task.add("http://h/a/q.html", ObjectState::Queued);
    TDnObj& program = task.add("http://h/a/setup.exe", ObjectState::Done, "setup.exe");
    // A removed object with no file of its own is looked up under the name its URL maps to.
    const std::pair<TDnObj*, int> rows[] = {
        {&queued, 0},
        {&task.add("http://h/a/one.html", ObjectState::Done, "one.html"), 3},
        {&queued, 3},
        {&program, 8},
        {&program, 8},
        {&task.add("http://h/a/page", ObjectState::Done, "page"), 0},
        {&task.add("http://h/a/gone.png", ObjectState::Done, "gone.png"), 0},
        {&task.add("http://h/a/one.html?x", ObjectState::Removed), 3}};
    for (const auto& [object, icon] : rows) {
        EXPECT_EQ(chooseObjectIcon(*object, cache, shell), icon) << object->URL;
    }
    EXPECT_EQ(shell.asked.size(), 4u) << "one.html, setup.exe twice and gone.png";
    EXPECT_EQ(cache.find(".exe") + cache.find(".png"), -2);
}

}  // namespace
}  // namespace quillharbor
