#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/files.h"
#include "storage/task_file.h"
#include "storage/task_file_value.h"

namespace quillharbor {

namespace {

// The file's text formatted straight into a block of 256 KiB that goes to Out (a FileReplacement,
// or StringOut) whenever it is full: a task of a million objects is a few hundred writes, never a
// call per line, and never held whole.
template <class Out>
class TaskFileText {
public:
    explicit TaskFileText(Out& out) : m_out(out) {}
    TaskFileText(const TaskFileText&) = delete;
    TaskFileText& operator=(const TaskFileText&) = delete;
    // Hands the last, partly filled block over.
    ~TaskFileText() { flush(); }

    void line(std::string_view text) {
        endLine(std::copy(text.begin(), text.end(), room(text.size())));
    }

    void value(std::string_view text) {
        endLine(escapeTaskFileValueTo(text, room(kEscapeGrowth * text.size())));
    }

    void number(std::int64_t number) {
        char* at = room(kLongestNumber);
        endLine(std::to_chars(at, at + kLongestNumber, number).ptr);
    }

    template <class Enum>
    void state(Enum state) {
        number(static_cast<std::int32_t>(state));
    }

private:
    static constexpr std::size_t kBlock = 256 * 1024;
    static constexpr std::size_t kLongestNumber = 20;  // "-9223372036854775808"
    static constexpr std::string_view kLineEnd = "\r\n";

    // Where a line of at most `bytes` bytes goes, with room for its end behind it. A line longer
    // than the block gets a block of its own size.
    char* room(std::size_t bytes) {
        bytes += kLineEnd.size();
        if (m_used + bytes > m_capacity) {
            flush();
            if (bytes > m_capacity) {
                m_block = std::make_unique_for_overwrite<char[]>(bytes);
                m_capacity = bytes;
            }
        }
        return m_block.get() + m_used;
    }

    void endLine(char* end) {
        end = std::copy(kLineEnd.begin(), kLineEnd.end(), end);
        m_used = static_cast<std::size_t>(end - m_block.get());
    }

    void flush() {
        if (m_used > 0) {
            m_out.write(std::string_view(m_block.get(), m_used));
            m_used = 0;
        }
    }

    Out& m_out;
    std::unique_ptr<char[]> m_block = std::make_unique_for_overwrite<char[]>(kBlock);
    std::size_t m_capacity = kBlock;
    std::size_t m_used = 0;
};

// Objects are written in URL order but lie in memory in the order they were made, so each one
// read is a wait for memory: the record of the object two ahead and the strings of the next are
// asked for early, so that those waits overlap the formatting.
class ObjectPrefetch {
public:
    explicit ObjectPrefetch(const TDnObj* first)
        : m_next(first != nullptr ? first->TaskNext : nullptr) {}

    // Called once per object, from the first on.
    void step() {
        if (m_next == nullptr) {
            return;
        }
        for (const std::string* text : {&m_next->URL, &m_next->Referrer, &m_next->LocalName}) {
            __builtin_prefetch(text->data());
        }
        m_next = m_next->TaskNext;
        if (m_next != nullptr) {
            const char* record = reinterpret_cast<const char*>(m_next);
            for (std::size_t line = 0; line < sizeof(TDnObj); line += 64) {
                __builtin_prefetch(record + line);
            }
            __builtin_prefetch(record + sizeof(TDnObj) - 1);
        }
    }

private:
    const TDnObj* m_next;
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
    ObjectPrefetch prefetch(task.Objects.head());
    for (const TDnObj& object : task.Objects) {
        prefetch.step();
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
