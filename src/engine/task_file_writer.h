#pragma once

#include <string>
#include <vector>

#include "model/task.h"
#include "model/task_list.h"
#include "platform/result.h"

namespace quillharbor {

// Writes task files whole, replacing what the files held before.
class TaskFileWriter {
public:
    virtual ~TaskFileWriter() = default;
    virtual Status WriteTaskFile(const TTask& task, const std::string& path) = 0;
    // Writes the file of every running task into programDir (ending with "/"); a failure does
    // not stop the others. One error per file not written.
    virtual std::vector<Error> SaveRunningTasks(const TaskList& tasks,
                                                const std::string& programDir) = 0;
};

}  // namespace quillharbor
