#include "cli/run_report.h"

#include <iostream>

#include "cli/state_words.h"
#include "cli/usage.h"

namespace quillharbor {

namespace {

std::string resumeCommand(const Invocation& invocation, const std::vector<TTask*>& tasks) {
    std::string command = std::string(kProgram) + " --home '" + invocation.programDir + "' resume";
    for (const TTask* task : tasks) {
        command += " '" + task->Name + "'";
    }
    return command;
}

}  // namespace

ExitCode finishRun(CliSession& session, CliSession::RunEnd end, const std::vector<TTask*>& tasks,
                   const Invocation& invocation) {
    TerminalView& view = session.view();
    view.finish();
    const bool saved = session.close();

    bool allFinished = true;
    std::vector<const TDnObj*> failed;
    for (const TTask* task : tasks) {
        const bool finished = task->State == TaskState::Finished;
        allFinished = allFinished && finished;
        for (const TDnObj& object : task->Objects) {
            if (objectFailed(object)) {
                failed.push_back(&object);
            }
        }
        std::string line = "Task " + task->Name + " " + taskStateWords(task->State) + ": " +
                           std::to_string(task->Total - task->Queued) + " files read";
        if (!finished) {
            line += ", " + std::to_string(task->Queued) + " queued";
        }
        view.print(line + "; files in " + task->Dir);
    }
    if (end == CliSession::RunEnd::Interrupted) {
        view.print("Interrupted. Continue with: " + resumeCommand(invocation, tasks));
    }
    if (!failed.empty()) {
        std::cout << "Failed objects (" << failed.size() << "):\n";
        for (const TDnObj* object : failed) {
            std::cout << "  " << object->Status << "  " << object->URL << "  ("
                      << objectStateWords(object->State) << ", task " << object->Task->Name
                      << ")\n";
        }
        std::cout << std::flush;
    }
    if (end == CliSession::RunEnd::Interrupted) {
        return ExitCode::Interrupted;
    }
    return saved && allFinished && failed.empty() ? ExitCode::Success : ExitCode::Failure;
}

}  // namespace quillharbor
