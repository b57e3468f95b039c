#include <array>
#include <iostream>

#include "cli/argument_reader.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/json_output.h"
#include "cli/state_words.h"
#include "cli/usage.h"

namespace quillharbor {

namespace {

std::string limitText(std::int32_t limit) {
    return limit == 0 ? std::string("infinity") : std::to_string(limit);
}

// The task's details in the words of the desktop program's details panel.
void printTask(const TTask& task) {
    std::cout << task.Name << " (" << taskStateWords(task.State) << ")\n"
              << "  URL: " << task.URL << "\n"
              << "  Directory: " << task.Dir << "\n"
              << "  Files queued: " << task.Queued << "\n"
              << "  Files read: " << task.Total - task.Queued << "\n"
              << "  Download from "
              << (task.BoundaryPrefix.empty() ? std::string("anywhere") : task.BoundaryPrefix)
              << "\n"
              << "  Max files: " << limitText(task.MaxFiles) << "\n"
              << "  Max levels: " << limitText(task.MaxLevels) << "\n";
}

}  // namespace

ExitCode runList(Invocation& invocation) {
    bool json = false;
    const std::array options{CommandOption{"--json", false, [&](std::string_view) -> Status {
                                               json = true;
                                               return {};
                                           }}};
    Result<std::vector<std::string>> operands = readArguments(invocation.arguments, options);
    if (!operands) {
        return usageError(operands.error().text, "list");
    }
    if (!operands.value().empty()) {
        return usageError("'list' takes no operands", "list");
    }
    CliSession session(invocation.programDir, invocation.verbosity, invocation.terminalFd);
    const TaskList& tasks = session.engine().state().TaskList;
    if (json) {
        const char* separator = "[";
        for (const TTask& task : tasks) {
            std::cout << separator << taskJson(task);
            separator = ",\n";
        }
        std::cout << (tasks.empty() ? "[]\n" : "]\n");
    } else if (tasks.empty()) {
        std::cout << "No tasks in " << invocation.programDir << "\n";
    } else {
        for (const TTask& task : tasks) {
            printTask(task);
        }
    }
    // A task file that could not be loaded is missing from the list.
    return session.startupTrouble() ? ExitCode::Failure : ExitCode::Success;
}

}  // namespace quillharbor
