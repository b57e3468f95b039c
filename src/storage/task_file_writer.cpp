#include <cstdint>
#include <string>

#include "platform/files.h"
#include "storage/task_file.h"
#include "storage/task_file_value.h"

namespace quillharbor {

namespace {

void appendLine(std::string& text, std::string_view line) {
    text += line;
    text += "\r\n";
}

void appendValue(std::string& text, const std::string& value) {
    appendLine(text, escapeTaskFileValue(value));
}

void appendNumber(std::string& text, std::int64_t number) {
    appendLine(text, std::to_string(number));
}

template <class Enum>
void appendState(std::string& text, Enum state) {
    appendNumber(text, static_cast<std::int32_t>(state));
}

template <class Keep>
std::vector<Error> saveTasks(const TaskList& tasks, const std::string& programDir, Keep keep) {
    std::vector<Error> errors;
    for (const TTask& task : tasks) {
        if (!keep(task)) {
            continue;
        }
        if (Status written = WriteTaskFile(task, programDir); !written) {
            errors.push_back(written.error());
        }
    }
    return errors;
}

}  // namespace

std::string taskFilePath(const std::string& programDir, const std::string& taskName) {
    return programDir + taskName + ".tsf";
}

std::string composeTaskFile(const TTask& task) {
    std::string text;
    appendLine(text, "# Download Task file v 0.0.1 ");
    appendLine(text, "# do not modify");
    appendLine(text, "#");
    appendState(text, task.State);
    appendValue(text, task.Name);
    appendValue(text, task.URL);
    appendValue(text, task.Dir);
    appendValue(text, task.BoundaryPrefix);
    appendValue(text, task.Extensions);
    appendNumber(text, task.MaxLevels);
    appendNumber(text, task.MaxFiles);
    appendNumber(text, task.Flags);
    appendValue(text, task.StartDocName);
    for (const TDnObj& object : task.Objects) {
        // The engine makes a new robots.txt request for a host after every start.
        if (object.State == ObjectState::RobotsRequest) {
            continue;
        }
        appendLine(text, "#");
        appendValue(text, object.URL);
        appendValue(text, object.Location);
        appendValue(text, object.Referrer);
        appendValue(text, object.LocalName);
        appendValue(text, object.ContentType);
        appendState(text, object.State);
        appendNumber(text, object.Level);
        appendNumber(text, object.Received);
        appendNumber(text, object.Size);
        appendNumber(text, object.Status);
    }
    return text;
}

Status WriteTaskFile(const TTask& task, const std::string& programDir) {
    return replaceFileAtomically(taskFilePath(programDir, task.Name), composeTaskFile(task));
}

std::vector<Error> SaveAllTasks(const TaskList& tasks, const std::string& programDir) {
    return saveTasks(tasks, programDir, [](const TTask&) { return true; });
}

std::vector<Error> SaveRunningTasks(const TaskList& tasks, const std::string& programDir) {
    return saveTasks(tasks, programDir,
                     [](const TTask& task) { return task.State == TaskState::Running; });
}

}  // namespace quillharbor
