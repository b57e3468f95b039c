#include "cli/run_report.h"

#include <iostream>

#include "cli/state_words.h"
#include "cli/usage.h"

namespace quillharbor {

namespace {

// Whether the task left links behind at its level limit: a page at the last level arrived, and
// its links were never read.
bool reachedLevelLimit(const TTask& task) {
    if (task.MaxLevels == 0) {
        return false;
    }
    for (const TDnObj& object : task.Objects) {
        if (object.Level >= task.MaxLevels && objectArrived(object) &&
            object.ContentType.find("htm") != std::string::npos) {
            return true;
        }
    }
    return false;
}

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

    const bool interrupted = end == CliSession::RunEnd::Interrupted;
    bool allFinished = true;
    std::vector<const TDnObj*> failed;
    for (const TTask* task : tasks) {
        const bool finished = task->State == TaskState::Finished;
        allFinished = allFinished && finished;
        int arrived = 0;
        for (const TDnObj& object : task->Objects) {
            if (objectFailed(object)) {
                failed.push_back(&object);
            }
            arrived += objectArrived(object) ? 1 : 0;
        }
        // An interrupt may leave a task "finished" over objects it cut: resume tells.
        std::string line =
            "Task " + task->Name + " " +
            (interrupted ? std::string("interrupted") : taskStateWords(task->State)) + ": " +
            std::to_string(arrived) + " files read";
        if (task->Queued > 0) {
            line += ", " + std::to_string(task->Queued) + " queued";
        }
        view.print(line + "; files in " + task->Dir);
        if (interrupted) {
            continue;
        }
        if (const std::size_t refused = view.refusedLinks(*task); refused > 0) {
            view.print("Task " + task->Name + " refused " + std::to_string(refused) +
                       " links by --include/--exclude");
        }
        if (view.reachedFileLimit(*task)) {
            view.print("Task " + task->Name + " stopped at the file limit of " +
                       std::to_string(task->MaxFiles) + ": raise it with --files");
        } else if (reachedLevelLimit(*task)) {
            // The task counts the starting document as level 1; the user counts links away.
            view.print("Task " + task->Name + " stopped at the level limit of " +
                       std::to_string(task->MaxLevels - 1) + ": raise it with --levels");
        }
    }
    if (interrupted) {
        // Failed and cut objects are tried again by a resume, which lists what still fails.
        view.print("Continue with: " + resumeCommand(invocation, tasks));
        return ExitCode::Interrupted;
    }
    if (!failed.empty()) {
        std::ostream& out = invocation.json ? std::cerr : std::cout;
        out << "Failed objects (" << failed.size() << "):\n";
        for (const TDnObj* object : failed) {
            out << "  " << failureWords(*object) << "  " << object->URL << "  ("
                << objectStateWords(object->State) << ", task " << object->Task->Name << ")\n";
        }
        out << std::flush;
    }
    return saved && allFinished && failed.empty() ? ExitCode::Success : ExitCode::Failure;
}

}  // namespace quillharbor
