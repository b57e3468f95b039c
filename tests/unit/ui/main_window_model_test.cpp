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
    // The three lists as "queued|being retrieved|saved|", each its rows' URLs less "http://h/".
    std::string lists() {
        std::string shown;
        for (Page page : {Page::Queued, Page::BeingRetrieved, Page::Saved}) {
            const ObjectRows& rows = m_model.objectRows(page);
            for (std::size_t row = 0; row < rows.size(); ++row)
                shown += rows.at(row).URL.substr(9) + " ";
            shown += "|";
        }
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
    m_a.add("http://h/a/q", ObjectState::Queued);
    m_a.add("http://h/a/r", ObjectState::Retrieving, "r");
    m_a.add("http://h/a/s", ObjectState::Done, "s");
    m_a.add("http://h/robots.txt", ObjectState::RobotsRequest);
    m_b.add("http://h/b/q", ObjectState::Queued);
    m_model.AddTaskRow(*m_b.task);
    show(m_a);
    EXPECT_EQ(lists(), "a/q |a/r |a/s |");

    m_model.taskSelectionChanged({m_a.task.get(), m_b.task.get()});
    EXPECT_EQ(m_model.details(), bareDetailsLabels());
    EXPECT_EQ(lists(), "|||");
    EXPECT_EQ(m_model.currentTask(), m_a.task.get());
    m_model.taskSelectionChanged({m_a.task.get()});
    EXPECT_EQ(lists(), "a/q |a/r |a/s |");
    m_model.taskSelectionChanged({m_b.task.get()});
    EXPECT_EQ(lists(), "b/q |||");
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
    EXPECT_EQ(lists(), "|a/x.html |a/2 |");
    object.State = ObjectState::Done;
    object.LocalName = "c-name";
    m_model.RefreshObjectRow(object);
    TDnObj& foreign = m_b.add("http://h/b/y", ObjectState::Queued);
    m_model.AddObjectRow(foreign);
    EXPECT_EQ(foreign.ListItem, nullptr);

    m_model.sortByColumn(Page::Saved, 0);
    m_model.AddObjectRow(m_a.add("http://h/a/0", ObjectState::Done, "a-name"));
    EXPECT_EQ(lists(), "||a/0 a/2 a/x.html |");
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

// Every rule run as the window runs them, for a focus, the selected tasks (also all the tasks),
// the selected Saved objects (of a running task) and how many Being retrieved and Queued rows are
// selected: "1" where a command is enabled, in groups New Task, Default Task Options, Global
// Options | Remove, Start, Stop, Abort, Edit Task | Stop All, Abort All | Retry | Start Object,
// Stop Object, Copy URL, Remove from Queue.
TEST(CommandRulesTest, EachRuleOverFocusSelectionsAndStates) {
    using F = ListId;
    using S = TaskState;
    using O = ObjectState;
    const struct {
        ListId focus;
        std::vector<TaskState> tasks;
        std::vector<ObjectState> saved;
        std::size_t retrieving, queued;
        const char* expected;
    } cases[] = {{F::Tasks, {S::Running}, {}, 0, 0, "110 10111 11 1 0000"},
                 {F::Tasks, {S::Stopped}, {}, 0, 0, "111 11001 00 1 0000"},
                 {F::Tasks, {S::Aborted}, {}, 0, 0, "111 11001 00 1 0000"},
                 {F::Tasks, {S::Waiting}, {}, 0, 0, "110 11011 01 1 0000"},
                 {F::Tasks, {S::Finished}, {}, 0, 0, "111 10001 00 1 0000"},
                 {F::Tasks, {S::Running, S::Running}, {}, 0, 0, "110 10110 11 1 0000"},
                 {F::Tasks, {S::Running, S::Waiting}, {}, 0, 0, "110 10010 11 1 0000"},
                 {F::Tasks, {S::Stopped, S::Aborted}, {}, 0, 0, "111 11000 00 1 0000"},
                 {F::Tasks, {S::Aborted, S::Waiting}, {}, 0, 0, "110 10000 01 1 0000"},
                 {F::Tasks, {S::Running, S::Stopped}, {}, 0, 0, "110 10000 11 1 0000"},
                 {F::Tasks, {S::Finished, S::Waiting}, {}, 0, 0, "110 10000 01 1 0000"},
                 {F::Tasks, {}, {}, 0, 0, "111 00000 00 0 0000"},
                 {F::Saved, {S::Running}, {O::Failed}, 0, 0, "110 00000 11 1 1010"},
                 {F::Saved, {}, {O::Failed, O::Incomplete}, 0, 0, "111 00000 00 1 1000"},
                 {F::Saved, {}, {O::Failed, O::Done}, 0, 0, "111 00000 00 1 0000"},
                 {F::BeingRetrieved, {}, {}, 2, 0, "111 00000 00 0 0100"},
                 {F::Queued, {S::Running}, {O::Failed}, 0, 1, "110 00000 11 0 0011"},
                 {F::Queued, {}, {}, 0, 2, "111 00000 00 0 0001"},
                 {F::Queued, {}, {}, 0, 0, "111 00000 00 0 0000"}};
    const auto commands = [](const CommandStates& states) {
        std::string flags;
        for (UiCommand command :
             {UiCommand::NewTask, UiCommand::DefaultTaskOptions, UiCommand::GlobalOptions,
              UiCommand::Count, UiCommand::RemoveTask, UiCommand::StartTask, UiCommand::StopTask,
              UiCommand::AbortTask, UiCommand::EditTask, UiCommand::Count, UiCommand::StopAllTasks,
              UiCommand::AbortAllTasks, UiCommand::Count, UiCommand::RetryFailedLinks,
              UiCommand::Count, UiCommand::StartObject, UiCommand::StopObject, UiCommand::CopyUrl,
              UiCommand::RemoveFromQueue}) {
            flags += command == UiCommand::Count ? ' ' : states.enabled(command) ? '1' : '0';
        }
        return flags;
    };
    LooseTask owner("a", S::Running);
    const auto run = [&](const auto& c, bool dialogOpen) {
        std::vector<LooseTask> tasks;
        std::vector<TTask*> selected;
        for (TaskState state : c.tasks)
            selected.push_back(tasks.emplace_back("t", state).task.get());
        std::vector<TDnObj*> saved;
        for (ObjectState state : c.saved) saved.push_back(&owner.add("http://h/a/x", state));
        CommandStates states;
        applyTaskRule(states, c.focus, selected);
        applyGlobalRule(states, selected);
        applyObjectRule(states, c.focus, saved, c.retrieving, c.queued);
        applyRetryRule(states, c.focus, selected.size(), saved.size());
        applyDialogRule(states, dialogOpen);
        return commands(states);
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c, false), c.expected) << &c - cases;
    }
    // An open option dialog takes the dialog commands away; a stopped task's objects are not
    // started.
    EXPECT_EQ(run(cases[1], true), "000 11000 00 1 0000");
    owner.task->State = S::Stopped;
    EXPECT_EQ(run(cases[12], false), "110 00000 11 1 0010");
}

// The status image of a row by its object's state.
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
