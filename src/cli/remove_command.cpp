#include <algorithm>
#include <vector>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/usage.h"

namespace quillharbor {

ExitCode runRemove(Invocation& invocation) {
    if (invocation.arguments.empty()) {
        return usageError("'remove' needs the names of the tasks to remove", "remove");
    }
    CliSession session(invocation.programDir, invocation.verbosity, invocation.terminalFd);
    Engine& engine = session.engine();
    std::vector<TTask*> tasks;
    // Every name is checked before anything is removed.
    for (const std::string& name : invocation.arguments) {
        TTask* task = engine.state().TaskList.TaskFind(name);
        if (task == nullptr) {
            return usageError("no task named '" + name + "' in " + invocation.programDir, "remove");
        }
        if (std::find(tasks.begin(), tasks.end(), task) == tasks.end()) {
            tasks.push_back(task);
        }
    }
    std::vector<std::string> removed;
    for (const TTask* task : tasks) {
        removed.push_back("Removed task " + task->Name + "; its files stay in " + task->Dir);
    }
    TerminalView& view = session.view();
    view.select(tasks);
    engine.RemoveSelectedTasks();
    for (const std::string& line : removed) {
        view.print(line);
    }
    return session.close() ? ExitCode::Success : ExitCode::Failure;
}

}  // namespace quillharbor
