#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/interrupt_signal.h"
#include "cli/new_task_request.h"
#include "cli/run_report.h"
#include "cli/usage.h"
#include "cli/verbosity_options.h"

namespace quillharbor {

ExitCode runGet(Invocation& invocation) {
    Result<NewTaskRequest> request = readNewTaskRequest(invocation.arguments);
    if (!request) {
        return usageError(request.error().text, "get");
    }
    Result<std::string> url = cleanStartingUrl(request.value().url);
    if (!url) {
        return usageError(url.error().text, "get");
    }
    if (Status merged = mergeVerbosity(invocation, request.value().verbosity); !merged) {
        return usageError(merged.error().text, "get");
    }
    invocation.json = request.value().json;
    if (invocation.json) {
        invocation.terminalFd = ::isatty(STDERR_FILENO) ? STDERR_FILENO : -1;
    }

    // Before the engine starts, so that no transfer begins unwatched.
    InterruptSignal interrupt;
    CliSession session(invocation.programDir, invocation.verbosity, invocation.terminalFd,
                       invocation.json ? std::cerr : std::cout,
                       invocation.json ? &std::cout : nullptr);
    Engine& engine = session.engine();
    if (request.value().fast) {
        session.dispatchFast();
    }
    if (request.value().perHost) {
        session.capPerHost(*request.value().perHost);
    }
    if (request.value().keepAlive) {
        session.keepConnections();
    }
    engine.PrepareNewTaskParams();
    applyNewTaskRequest(request.value(), url.value(), engine.newTaskParams());

    TerminalView& view = session.view();
    view.captureNotifications();
    TTask* task = engine.CreateTask();
    const std::vector<std::string> told = view.takeCaptured();
    if (task == nullptr) {
        // Nothing was created, so nothing is saved: the program directory stays as it was.
        for (const std::string& text : told) {
            printError(text);
        }
        return ExitCode::Usage;
    }
    for (const std::string& text : told) {
        view.print(text);
    }
    view.watch(*task);
    view.print("Task " + task->Name + ": " + task->URL + " into " + task->Dir);
    const CliSession::RunEnd end = session.run(interrupt);
    return finishRun(session, end, {task}, invocation);
}

}  // namespace quillharbor
