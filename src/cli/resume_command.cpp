#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "cli/argument_reader.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/interrupt_signal.h"
#include "cli/per_host_option.h"
#include "cli/run_report.h"
#include "cli/usage.h"
#include "cli/verbosity_options.h"

namespace quillharbor {

ExitCode runResume(Invocation& invocation) {
    std::optional<Verbosity> verbosity;
    bool fast = false;
    std::optional<int> perHost;
    std::vector<CommandOption> options = verbosityOptions(verbosity);
    options.push_back(perHostOption(perHost));
    options.emplace_back("--fast", false, [&](std::string_view) -> Status {
        fast = true;
        return {};
    });
    bool keepAlive = false;
    options.emplace_back("--keep-alive", false, [&](std::string_view) -> Status {
        keepAlive = true;
        return {};
    });
    Result<std::vector<std::string>> names = readArguments(invocation.arguments, options);
    if (!names) {
        return usageError(names.error().text, "resume");
    }
    if (Status merged = mergeVerbosity(invocation, verbosity); !merged) {
        return usageError(merged.error().text, "resume");
    }

    InterruptSignal interrupt;
    CliSession session(invocation.programDir, invocation.verbosity, invocation.terminalFd);
    Engine& engine = session.engine();
    if (fast) {
        session.dispatchFast();
    }
    if (perHost) {
        session.capPerHost(*perHost);
    }
    if (keepAlive) {
        session.keepConnections();
    }
    TerminalView& view = session.view();
    std::vector<TTask*> tasks;
    for (const std::string& name : names.value()) {
        TTask* task = engine.state().TaskList.TaskFind(name);
        if (task == nullptr) {
            return usageError("no task named '" + name + "' in " + invocation.programDir, "resume");
        }
        if (task->Queued <= 0) {
            // Started with nothing queued, a task would never end.
            view.print("Task " + name + " has nothing left to retrieve.");
        } else if (std::find(tasks.begin(), tasks.end(), task) == tasks.end()) {
            tasks.push_back(task);
        }
    }
    if (names.value().empty()) {
        for (TTask& task : engine.state().TaskList) {
            if (task.Queued > 0) {
                tasks.push_back(&task);
            }
        }
    }
    if (tasks.empty()) {
        view.print("Nothing to resume.");
        return session.startupTrouble() ? ExitCode::Failure : ExitCode::Success;
    }
    for (TTask* task : tasks) {
        view.watch(*task);
    }
    view.select(tasks);
    engine.StartSelectedTasks();
    view.select({});
    const CliSession::RunEnd end = session.run(interrupt);
    const ExitCode code = finishRun(session, end, tasks, invocation);
    // The tasks of files that could not be loaded were not resumed.
    return code == ExitCode::Success && session.startupTrouble() ? ExitCode::Failure : code;
}

}  // namespace quillharbor
