#pragma once

#include <string>

#include "model/task.h"
#include "platform/result.h"

namespace quillharbor {

// Writes a task's file whole, replacing what the file held before.
class TaskFileWriter {
public:
    virtual ~TaskFileWriter() = default;
    virtual Status WriteTaskFile(const TTask& task, const std::string& path) = 0;
};

}  // namespace quillharbor
