#include "ui/command_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/ui_fakes.h"

namespace quillharbor {
namespace {

using test::LooseTask;

struct TaskCase {
    std::vector<TaskState> selected;
    bool start, stop, abort, edit;
};

TEST(CommandRulesTest, TaskCommandsFollowEverySelectedTask) {
    using S = TaskState;
    const TaskCase cases[] = {
        {{S::Running}, false, true, true, true},
        {{S::Stopped}, true, false, false, true},
        {{S::Aborted}, true, false, false, true},
        {{S::Waiting}, true, false, true, true},
        {{S::Finished}, false, false, false, true},
        {{S::RewritePending}, false, false, false, true},
        {{S::Running, S::Running}, false, true, true, false},
        {{S::Running, S::Waiting}, false, false, true, false},
        {{S::Stopped, S::Waiting}, true, false, false, false},
        {{S::Stopped, S::Aborted}, true, false, false, false},
        {{S::Aborted, S::Waiting}, false, false, false, false},
        {{S::Running, S::Stopped}, false, false, false, false},
    };
    for (const TaskCase& each : cases) {
        std::vector<LooseTask> tasks;
        std::vector<TTask*> selected;
        for (TaskState state : each.selected) {
            tasks.emplace_back("t" + std::to_string(tasks.size()), state);
        }
        for (LooseTask& task : tasks) {
            selected.push_back(task.task.get());
        }
        CommandStates states;
        applyTaskRule(states, ListId::Tasks, selected);
        SCOPED_TRACE(::testing::Message() << "case of " << each.selected.size() << " tasks, first "
                                          << static_cast<int>(each.selected[0]));
        EXPECT_EQ(states.enabled(UiCommand::StartTask), each.start);
        EXPECT_EQ(states.enabled(UiCommand::StopTask), each.stop);
        EXPECT_EQ(states.enabled(UiCommand::AbortTask), each.abort);
        EXPECT_EQ(states.enabled(UiCommand::EditTask), each.edit);
        EXPECT_TRUE(states.enabled(UiCommand::RemoveTask));

        // Without the focus nothing of it is enabled.
        applyTaskRule(states, ListId::Saved, selected);
        EXPECT_FALSE(states.enabled(UiCommand::RemoveTask));
        EXPECT_FALSE(states.enabled(UiCommand::StartTask));
    }
}

TEST(CommandRulesTest, GlobalCommandsFollowAllTasks) {
    LooseTask running("a", TaskState::Running), waiting("b", TaskState::Waiting),
        finished("c", TaskState::Finished);
    struct Case {
        std::vector<TTask*> tasks;
        bool globalOptions, stopAll, abortAll;
    };
    const Case cases[] = {
        {{}, true, false, false},
        {{finished.task.get()}, true, false, false},
        {{finished.task.get(), waiting.task.get()}, false, false, true},
        {{running.task.get(), finished.task.get()}, false, true, true},
    };
    for (const Case& each : cases) {
        CommandStates states;
        applyGlobalRule(states, each.tasks);
        EXPECT_EQ(states.enabled(UiCommand::GlobalOptions), each.globalOptions);
        EXPECT_EQ(states.enabled(UiCommand::StopAllTasks), each.stopAll);
        EXPECT_EQ(states.enabled(UiCommand::AbortAllTasks), each.abortAll);
    }
}

TEST(CommandRulesTest, ObjectCommandsFollowTheFocusedList) {
    LooseTask task("a", TaskState::Running);
    TDnObj* failed = &task.add("http://h/a/1", ObjectState::Failed);
    TDnObj* done = &task.add("http://h/a/2", ObjectState::Done);
    TDnObj* failed2 = &task.add("http://h/a/3", ObjectState::Incomplete);

    CommandStates states;
    applyObjectRule(states, ListId::Saved, std::vector{failed}, 0, 0);
    EXPECT_TRUE(states.enabled(UiCommand::StartObject));
    EXPECT_TRUE(states.enabled(UiCommand::CopyUrl));
    EXPECT_FALSE(states.enabled(UiCommand::StopObject));

    applyObjectRule(states, ListId::Saved, std::vector{failed, failed2}, 0, 0);
    EXPECT_TRUE(states.enabled(UiCommand::StartObject));
    EXPECT_FALSE(states.enabled(UiCommand::CopyUrl));

    applyObjectRule(states, ListId::Saved, std::vector{failed, done}, 0, 0);
    EXPECT_FALSE(states.enabled(UiCommand::StartObject));

    task.task->State = TaskState::Stopped;
    applyObjectRule(states, ListId::Saved, std::vector{failed}, 0, 0);
    EXPECT_FALSE(states.enabled(UiCommand::StartObject));

    applyObjectRule(states, ListId::BeingRetrieved, {}, 2, 1);
    EXPECT_TRUE(states.enabled(UiCommand::StopObject));
    EXPECT_FALSE(states.enabled(UiCommand::CopyUrl));
    EXPECT_FALSE(states.enabled(UiCommand::RemoveFromQueue));

    applyObjectRule(states, ListId::Queued, {}, 0, 1);
    EXPECT_TRUE(states.enabled(UiCommand::RemoveFromQueue));
    EXPECT_TRUE(states.enabled(UiCommand::CopyUrl));
    applyObjectRule(states, ListId::Queued, {}, 0, 2);
    EXPECT_FALSE(states.enabled(UiCommand::CopyUrl));
    applyObjectRule(states, ListId::Queued, {}, 0, 0);
    EXPECT_FALSE(states.enabled(UiCommand::RemoveFromQueue));
}

TEST(CommandRulesTest, RetryAndDialogCommands) {
    struct Case {
        ListId focus;
        std::size_t tasks, saved;
        bool retry;
    };
    const Case cases[] = {
        {ListId::Tasks, 1, 0, true},  {ListId::Saved, 1, 0, true},   {ListId::Saved, 0, 2, true},
        {ListId::Tasks, 0, 0, false}, {ListId::Queued, 1, 1, false}, {ListId::None, 1, 1, false},
    };
    for (const Case& each : cases) {
        CommandStates states;
        applyRetryRule(states, each.focus, each.tasks, each.saved);
        EXPECT_EQ(states.enabled(UiCommand::RetryFailedLinks), each.retry);
    }
    CommandStates states;
    applyDialogRule(states, true);
    for (UiCommand command : {UiCommand::NewTask, UiCommand::GlobalOptions, UiCommand::EditTask,
                              UiCommand::DefaultTaskOptions}) {
        EXPECT_FALSE(states.enabled(command));
    }
    EXPECT_TRUE(states.enabled(UiCommand::StartTask));
}

}  // namespace
}  // namespace quillharbor
