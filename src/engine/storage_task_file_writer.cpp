#include "engine/storage_task_file_writer.h"

#include "storage/task_file.h"

namespace quillharbor {

Status StorageTaskFileWriter::WriteTaskFile(const TTask& task, const std::string& path) {
    // The path as given: the engine names the file, storage only composes it.
    return WriteTaskFileAt(task, path);
}

std::vector<Error> StorageTaskFileWriter::SaveRunningTasks(const TaskList& tasks,
                                                           const std::string& programDir) {
    return quillharbor::SaveRunningTasks(tasks, programDir);
}

TaskFileWriter& storageTaskFiles() {
    static StorageTaskFileWriter writer;
    return writer;
}

}  // namespace quillharbor
