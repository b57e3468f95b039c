#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/files.h"
#include "storage/task_file.h"
#include "storage/task_file_lines.h"
#include "storage/task_file_value.h"

namespace quillharbor {

namespace {

bool isStoredTaskState(std::int32_t number) {
    switch (static_cast<TaskState>(number)) {
        case TaskState::Running:
        case TaskState::Stopped:
        case TaskState::Aborted:
        case TaskState::RewritePending:
        case TaskState::Finished:
        case TaskState::Waiting:
            return true;
    }
    return false;
}

// Every object state but a robots.txt request, which is never stored.
bool isStoredObjectState(std::int32_t number) {
    switch (static_cast<ObjectState>(number)) {
        case ObjectState::Queued:
        case ObjectState::Retrieved:
        case ObjectState::Retrieving:
        case ObjectState::Failed:
        case ObjectState::Incomplete:
        case ObjectState::Removed:
        case ObjectState::ProtocolError:
        case ObjectState::Excluded:
        case ObjectState::RetrievedByOther:
        case ObjectState::FtpError:
        case ObjectState::Done:
            return true;
        case ObjectState::RobotsRequest:
            return false;
    }
    return false;
}

// Objects whose state says their file is worth nothing get Dir + LocalName deleted at start-up,
// so a local name must not reach outside the task directory.
bool staysInsideDirectory(std::string_view localName) {
    if (localName.starts_with('/')) {
        return false;
    }
    for (std::size_t start = 0; start <= localName.size();) {
        const std::size_t slash = std::min(localName.find('/', start), localName.size());
        if (localName.substr(start, slash - start) == "..") {
            return false;
        }
        start = slash + 1;
    }
    return true;
}

class TaskFileParser {
public:
    TaskFileParser(TaskFileLines& lines, const GlobalOptions& settings)
        : m_lines(lines), m_settings(settings) {}

    Result<std::unique_ptr<TTask>> parse() {
        std::unique_ptr<TTask> task = readTask();
        if (!task) {
            return std::move(*m_error);
        }
        return task;
    }

private:
    std::unique_ptr<TTask> readTask() {
        for (int header = 0; header < 3; ++header) {
            if (!m_lines.next()) {
                return failed(m_lines.lineNumber(), "the file ends inside its header");
            }
        }
        std::int32_t state = 0;
        if (!readNumber(state, "the task state")) {
            return nullptr;
        }
        if (!isStoredTaskState(state)) {
            return failed(lineJustRead(), std::to_string(state) + " is not a task state");
        }
        std::string name, url, dir, boundaryPrefix;
        if (!readValue(name, "the task name") || !readValue(url, "the task URL") ||
            !readValue(dir, "the task directory")) {
            return nullptr;
        }
        if (!dir.ends_with('/')) {
            return failed(lineJustRead(), "the task directory does not end with \"/\"");
        }
        if (!readValue(boundaryPrefix, "the boundary prefix")) {
            return nullptr;
        }
        std::unique_ptr<TTask> task =
            NewTask(std::move(name), std::move(url), std::move(dir), 0, std::move(boundaryPrefix),
                    0, 0, m_settings.DefUser, m_settings.DefPassword);
        // A task that was running when it was saved comes back stopped: loaded tasks never start
        // by themselves.
        task->State = static_cast<TaskState>(state) == TaskState::Running
                          ? TaskState::Stopped
                          : static_cast<TaskState>(state);
        if (!readValue(task->Extensions, "the extensions") ||
            !readNumber(task->MaxLevels, "the link level limit", 0) ||
            !readNumber(task->MaxFiles, "the file limit", 0) ||
            !readNumber(task->Flags, "the task flags") ||
            !readValue(task->StartDocName, "the starting document name")) {
            return nullptr;
        }
        // Blank lines between groups and after the last one are passed over; the writer makes
        // none, but an editor may add them.
        while (m_lines.skipBlanks()) {
            if (!readObject(*task)) {
                return nullptr;
            }
        }
        return task;
    }

    bool readObject(TTask& task) {
        std::optional<std::string_view> line = m_lines.next();
        if (!line) {
            return fail(m_lines.lineNumber(), "the file ends inside an object group");
        }
        std::string_view mark = *line;
        while (mark.ends_with(' ') || mark.ends_with('\t')) {
            mark.remove_suffix(1);
        }
        if (mark != "#") {
            return fail(lineJustRead(), "an object group does not begin with \"#\"");
        }
        std::string url;
        if (!readValue(url, "the object URL")) {
            return false;
        }
        TDnObj* object = NewDnObj(task, std::move(url), 0);
        if (object == nullptr) {
            return fail(lineJustRead(), "the object URL is already one of the task's objects");
        }
        if (!readValue(object->Location, "the object location") ||
            !readValue(object->Referrer, "the referrer") ||
            !readValue(object->LocalName, "the local name")) {
            return false;
        }
        if (!staysInsideDirectory(object->LocalName)) {
            return fail(lineJustRead(), "the local name leads out of the task directory");
        }
        if (!readValue(object->ContentType, "the content type")) {
            return false;
        }
        std::int32_t state = 0;
        if (!readNumber(state, "the object state")) {
            return false;
        }
        if (!isStoredObjectState(state)) {
            return fail(lineJustRead(),
                        std::to_string(state) + " is not an object state of a file");
        }
        if (!readNumber(object->Level, "the object level", 0) ||
            !readNumber(object->Received, "the received byte count", 0) ||
            !readNumber(object->Size, "the object size") ||
            !readNumber(object->Status, "the object status")) {
            return false;
        }
        object->State = static_cast<ObjectState>(state);
        return true;
    }

    bool readValue(std::string& value, std::string_view what) {
        std::optional<std::string_view> line = m_lines.next();
        if (!line) {
            return fail(m_lines.lineNumber(), "the file ends before " + std::string(what));
        }
        value = unescapeTaskFileValue(*line);
        return true;
    }

    // A number is looked for past blanks and line ends; whatever follows it on its line after a
    // blank is passed over.
    template <class Number>
    bool readNumber(Number& value, std::string_view what,
                    std::type_identity_t<Number> least = std::numeric_limits<Number>::min()) {
        if (!m_lines.skipBlanks()) {
            return fail(m_lines.lineNumber(), "the file ends before " + std::string(what));
        }
        const int line = m_lines.lineNumber();
        const std::optional<std::string_view> text = m_lines.next();
        if (!text) {
            return fail(line, "the file ends inside " + std::string(what));
        }
        const std::string_view token = text->substr(0, text->find_first_of(" \t"));
        std::int64_t number = 0;
        const auto [end, error] =
            std::from_chars(token.data(), token.data() + token.size(), number);
        if (error == std::errc::result_out_of_range ||
            (error == std::errc() && end == token.data() + token.size() &&
             (number < least || number > std::numeric_limits<Number>::max()))) {
            return fail(line, std::string(what) + " is out of range");
        }
        if (error != std::errc() || end != token.data() + token.size()) {
            return fail(line, std::string(what) + " is not a number");
        }
        value = static_cast<Number>(number);
        return true;
    }

    int lineJustRead() const { return m_lines.lineNumber() - 1; }

    bool fail(int line, std::string text) {
        m_error = Error{"line " + std::to_string(line) + ": " + std::move(text), 0};
        return false;
    }

    std::unique_ptr<TTask> failed(int line, std::string text) {
        fail(line, std::move(text));
        return nullptr;
    }

    TaskFileLines& m_lines;
    const GlobalOptions& m_settings;
    std::optional<Error> m_error;
};

}  // namespace

Result<std::unique_ptr<TTask>> parseTaskFile(std::string_view text, const GlobalOptions& settings) {
    TaskFileLines lines(text);
    return TaskFileParser(lines, settings).parse();
}

Result<std::unique_ptr<TTask>> ReadTaskFile(const std::string& path,
                                            const GlobalOptions& settings) {
    FileReader file(path);
    TaskFileLines lines(file);
    Result<std::unique_ptr<TTask>> task = TaskFileParser(lines, settings).parse();
    if (lines.readError()) {
        return *lines.readError();
    }
    const auto rejected = [&](const std::string& reason) {
        return Error{"cannot load the task file '" + path + "': " + reason, 0};
    };
    if (!task) {
        return rejected(task.error().text);
    }
    const std::string& name = task.value()->Name;
    const std::string_view fileName = std::string_view(path).substr(path.rfind('/') + 1);
    if (fileName != taskFilePath("", name)) {
        return rejected("it holds the task \"" + escapeTaskFileValue(name) + "\"");
    }
    return task;
}

LoadedTaskFiles readAllTaskFiles(const std::string& programDir, const GlobalOptions& settings) {
    LoadedTaskFiles loaded;
    Result<std::vector<std::string>> names = listTaskFiles(programDir);
    if (!names) {
        loaded.errors.push_back(names.error());
        return loaded;
    }
    for (const std::string& name : names.value()) {
        Result<std::unique_ptr<TTask>> task = ReadTaskFile(programDir + name, settings);
        if (task) {
            loaded.tasks.push_back(std::move(task).value());
        } else {
            loaded.errors.push_back(task.error());
        }
    }
    return loaded;
}

}  // namespace quillharbor
