#include "ui/command_rules.h"

#include <algorithm>

namespace quillharbor {

namespace {

bool isStoppedOrAborted(TaskState state) {
    return state == TaskState::Stopped || state == TaskState::Aborted;
}

template <typename Predicate>
bool all(std::span<TTask* const> tasks, Predicate predicate) {
    return std::all_of(tasks.begin(), tasks.end(),
                       [&](const TTask* task) { return predicate(task->State); });
}

}  // namespace

void applyTaskRule(CommandStates& states, ListId focus, std::span<TTask* const> selected) {
    for (UiCommand command : {UiCommand::StartTask, UiCommand::StopTask, UiCommand::AbortTask,
                              UiCommand::RemoveTask, UiCommand::EditTask}) {
        states.set(command, false);
    }
    if (focus != ListId::Tasks || selected.empty()) {
        return;
    }
    states.set(UiCommand::RemoveTask, true);
    states.set(UiCommand::EditTask, selected.size() == 1);
    const bool running = all(selected, [](TaskState s) { return s == TaskState::Running; });
    const bool stopped = all(selected, isStoppedOrAborted);
    const bool waiting = all(selected, [](TaskState s) { return s == TaskState::Waiting; });
    const bool waitingOrStopped = all(
        selected, [](TaskState s) { return s == TaskState::Waiting || s == TaskState::Stopped; });
    const bool waitingOrRunning = all(
        selected, [](TaskState s) { return s == TaskState::Waiting || s == TaskState::Running; });
    states.set(UiCommand::StartTask, stopped || waiting || waitingOrStopped);
    states.set(UiCommand::StopTask, running);
    states.set(UiCommand::AbortTask, running || waiting || waitingOrRunning);
}

void applyGlobalRule(CommandStates& states, std::span<TTask* const> tasks) {
    const bool anyRunning = std::any_of(tasks.begin(), tasks.end(), [](const TTask* task) {
        return task->State == TaskState::Running;
    });
    const bool anyWaiting = std::any_of(tasks.begin(), tasks.end(), [](const TTask* task) {
        return task->State == TaskState::Waiting;
    });
    states.set(UiCommand::GlobalOptions, !anyRunning && !anyWaiting);
    states.set(UiCommand::StopAllTasks, anyRunning);
    states.set(UiCommand::AbortAllTasks, anyRunning || anyWaiting);
}

void applyObjectRule(CommandStates& states, ListId focus, std::span<TDnObj* const> savedSelected,
                     std::size_t retrievingSelected, std::size_t queuedSelected) {
    for (UiCommand command : {UiCommand::StartObject, UiCommand::StopObject,
                              UiCommand::RemoveFromQueue, UiCommand::CopyUrl}) {
        states.set(command, false);
    }
    if (focus == ListId::Saved && !savedSelected.empty()) {
        states.set(UiCommand::CopyUrl, savedSelected.size() == 1);
        const bool refused =
            std::any_of(savedSelected.begin(), savedSelected.end(), [](const TDnObj* object) {
                return object->State == ObjectState::Retrieved ||
                       object->State == ObjectState::Done ||
                       object->Task->State == TaskState::Stopped;
            });
        states.set(UiCommand::StartObject, !refused);
    } else if (focus == ListId::BeingRetrieved && retrievingSelected > 0) {
        states.set(UiCommand::StopObject, true);
    } else if (focus == ListId::Queued && queuedSelected > 0) {
        states.set(UiCommand::RemoveFromQueue, true);
        states.set(UiCommand::CopyUrl, queuedSelected == 1);
    }
}

void applyRetryRule(CommandStates& states, ListId focus, std::size_t tasksSelected,
                    std::size_t savedSelected) {
    const bool focused = focus == ListId::Tasks || focus == ListId::Saved;
    states.set(UiCommand::RetryFailedLinks, focused && (tasksSelected > 0 || savedSelected > 0));
}

void applyDialogRule(CommandStates& states, bool dialogOpen) {
    if (!dialogOpen) {
        return;
    }
    for (UiCommand command : {UiCommand::NewTask, UiCommand::GlobalOptions, UiCommand::EditTask,
                              UiCommand::DefaultTaskOptions}) {
        states.set(command, false);
    }
}

}  // namespace quillharbor
