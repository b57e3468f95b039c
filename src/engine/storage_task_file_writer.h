#pragma once

#include <string>
#include <vector>

#include "engine/task_file_writer.h"

namespace quillharbor {

// The engine's task files as storage/task_file.h writes them: composed whole and replaced
// atomically. It holds nothing, so one instance serves every engine.
class StorageTaskFileWriter final : public TaskFileWriter {
public:
    Status WriteTaskFile(const TTask& task, const std::string& path) override;
    std::vector<Error> SaveRunningTasks(const TaskList& tasks,
                                        const std::string& programDir) override;
};

// The writer an engine uses unless its front end hands it another one (EngineServices).
TaskFileWriter& storageTaskFiles();

}  // namespace quillharbor
