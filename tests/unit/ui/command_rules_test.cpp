#include "ui/command_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/ui_fakes.h"

namespace quillharbor {
namespace {

using test::LooseTask;
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

}  // namespace
}  // namespace quillharbor
