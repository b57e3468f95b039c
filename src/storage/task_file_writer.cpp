#include <charconv>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

#include "platform/files.h"
#include "storage/task_file.h"
#include "storage/task_file_value.h"

namespace quillharbor {

namespace {

// The file's text written piece by piece into Out (a FileReplacement, or StringOut), so that
// saving a large task never holds the whole text.
template <class Out>
class TaskFileText {
public:
    explicit TaskFileText(Out& out) : m_out(out) {}

    void line(std::string_view text) {
        m_out.write(text);
        m_out.write("\r\n");
    }

    void value(std::string_view text) {
        writeEscapedTaskFileValue(text, [this](std::string_view piece) { m_out.write(piece); });
        m_out.write("\r\n");
    }

    void number(std::int64_t number) {
        char digits[24];
        const auto end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
        line(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }

    template <class Enum>
    void state(Enum state) {
        number(static_cast<std::int32_t>(state));
    }

private:
    Out& m_out;
};

struct StringOut {
    void write(std::string_view bytes) { text += bytes; }
    std::string text;
};

template <class Out>
void composeTo(const TTask& task, Out& out) {
    TaskFileText<Out> text(out);
    text.line("# Download Task file v 0.0.1 ");
    text.line("# do not modify");
    text.line("#");
    text.state(task.State);
    text.value(task.Name);
    text.value(task.URL);
    text.value(task.Dir);
    text.value(task.BoundaryPrefix);
    text.value(task.Extensions);
    text.number(task.MaxLevels);
    text.number(task.MaxFiles);
    text.number(task.Flags);
    text.value(task.StartDocName);
    for (const TDnObj& object : task.Objects) {
        // The engine makes a new robots.txt request for a host after every start.
        if (object.State == ObjectState::RobotsRequest) {
            continue;
        }
        text.line("#");
        text.value(object.URL);
        text.value(object.Location);
        text.value(object.Referrer);
        text.value(object.LocalName);
        text.value(object.ContentType);
        text.state(object.State);
        text.number(object.Level);
        text.number(object.Received);
        text.number(object.Size);
        text.number(object.Status);
    }
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
    StringOut out;
    composeTo(task, out);
    return std::move(out.text);
}

Status WriteTaskFileAt(const TTask& task, const std::string& path) {
    FileReplacement file(path);
    composeTo(task, file);
    return file.commit();
}

Status WriteTaskFile(const TTask& task, const std::string& programDir) {
    return WriteTaskFileAt(task, taskFilePath(programDir, task.Name));
}

std::vector<Error> SaveAllTasks(const TaskList& tasks, const std::string& programDir) {
    return saveTasks(tasks, programDir, [](const TTask&) { return true; });
}

std::vector<Error> SaveRunningTasks(const TaskList& tasks, const std::string& programDir) {
    return saveTasks(tasks, programDir,
                     [](const TTask& task) { return task.State == TaskState::Running; });
}

}  // namespace quillharbor
