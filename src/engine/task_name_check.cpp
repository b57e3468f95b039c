#include "engine/task_name_check.h"

#include "platform/files.h"

namespace quillharbor {

std::optional<std::string> taskNameRefusal(const std::string& name, const TaskList& tasks,
                                           const std::string& programDir) {
    // Anything that could name a place outside the task root or the program directory.
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        const std::string shown = name.substr(0, name.find('\0'));
        return "Cannot use \"" + shown +
               "\" as a task name: it must not be empty, \".\" or \"..\", nor contain \"/\". "
               "The task is not created";
    }
    if (tasks.TaskFind(name) != nullptr) {
        return "A task named \"" + name + "\" already exists. The task is not created";
    }
    if (const std::string file = programDir + name + ".tsf"; fileExists(file)) {
        return "The task file " + file + " already exists. The task is not created";
    }
    return std::nullopt;
}

}  // namespace quillharbor
