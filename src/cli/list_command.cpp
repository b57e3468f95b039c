#include <array>
#include <chrono>
#include <iostream>
#include <set>

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

// The hosts the task's queued objects wait for, since they answered 429 or 503 with Retry-After.
std::vector<HeldBack> heldBackOf(const EngineState& state, const TTask& task) {
    const HostTable& hosts = state.Queue.hosts();
    const HostTable::Clock::time_point now = HostTable::Clock::now();
    std::vector<HeldBack> held;
    std::set<HostTable::Id> seen;
    for (const TDnObj& object : task.Objects) {
        if (object.InList != GlobalList::Queue || !seen.insert(object.Run->Host).second) {
            continue;
        }
        const HostTable::Clock::time_point until = hosts.heldUntil(object.Run->Host);
        if (until > now) {
            held.push_back(HeldBack{hosts.name(object.Run->Host),
                                    std::chrono::ceil<std::chrono::seconds>(until - now).count()});
        }
    }
    return held;
}

// The task's details in the words of the desktop program's details panel.
void printTask(const TTask& task, const std::vector<HeldBack>& heldBack) {
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
    for (const HeldBack& held : heldBack) {
        std::cout << "  Held back: " << held.host << " for " << held.seconds << " s\n";
    }
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
    const EngineState& state = session.engine().state();
    const TaskList& tasks = state.TaskList;
    if (json) {
        const char* separator = "[";
        for (const TTask& task : tasks) {
            std::cout << separator << taskJson(task, heldBackOf(state, task));
            separator = ",\n";
        }
        std::cout << (tasks.empty() ? "[]\n" : "]\n");
    } else if (tasks.empty()) {
        std::cout << "No tasks in " << invocation.programDir << "\n";
    } else {
        for (const TTask& task : tasks) {
            printTask(task, heldBackOf(state, task));
        }
    }
    // A task file that could not be loaded is missing from the list.
    return session.startupTrouble() ? ExitCode::Failure : ExitCode::Success;
}

}  // namespace quillharbor
