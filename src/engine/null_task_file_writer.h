#pragma once

#include "engine/task_file_writer.h"

namespace quillharbor {

// Writes no task files: for runs that must leave the program directory as it is.
class NullTaskFileWriter final : public TaskFileWriter {
public:
    Status WriteTaskFile(const TTask&, const std::string&) override { return {}; }
    std::vector<Error> SaveRunningTasks(const TaskList&, const std::string&) override { return {}; }
};

}  // namespace quillharbor
