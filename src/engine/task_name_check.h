#pragma once

#include <optional>
#include <string>

#include "model/task_list.h"

namespace quillharbor {

// A task's name becomes its task file's name and, with separate directories, its directory's
// name, and two tasks of one name would share both. A task file of the name that no task holds
// (one that could not be loaded) is kept for the user, so the name is not free either. Returns
// the notification that refuses name for a new task, or nothing when the name may be used.
std::optional<std::string> taskNameRefusal(const std::string& name, const TaskList& tasks,
                                           const std::string& programDir);

}  // namespace quillharbor
