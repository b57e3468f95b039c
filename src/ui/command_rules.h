#pragma once

#include <span>

#include "model/dn_obj.h"
#include "model/task.h"
#include "ui/list_id.h"
#include "ui/ui_command.h"

namespace quillharbor {

// The enabling rules of the main window's commands, as pure functions of what is focused and
// selected. Each one sets only the commands it owns.

// Per-task commands: only while the task list is focused and has a selection. Start, stop and
// abort follow the states of all selected tasks; Edit needs exactly one.
void applyTaskRule(CommandStates& states, ListId focus, std::span<TTask* const> selected);

// Global Options only while no task runs or waits (it rebuilds the transfer slots); Stop All
// while one runs; Abort All while one runs or waits.
void applyGlobalRule(CommandStates& states, std::span<TTask* const> tasks);

// Per-object commands of the focused object list. Starting a Saved object is refused for a
// retrieved one and for one of a stopped task; Copy URL needs exactly one row.
void applyObjectRule(CommandStates& states, ListId focus, std::span<TDnObj* const> savedSelected,
                     std::size_t retrievingSelected, std::size_t queuedSelected);

// Retry failed links: the task list or the Saved list focused, and one of them has a selection.
void applyRetryRule(CommandStates& states, ListId focus, std::size_t tasksSelected,
                    std::size_t savedSelected);

// While an option dialog is open the commands that open dialogs stay off, whatever the other
// rules decided.
void applyDialogRule(CommandStates& states, bool dialogOpen);

}  // namespace quillharbor
