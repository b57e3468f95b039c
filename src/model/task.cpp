#include "model/task.h"

#include <utility>

#include "parser/url_helpers.h"

namespace quillharbor {

std::unique_ptr<TTask> NewTask(std::string name, std::string url, std::string dir,
                               std::int32_t maxFiles, std::string boundaryPrefix,
                               std::int32_t maxLevels, std::int32_t flags,
                               std::string defaultFtpUser, std::string defaultFtpPassword) {
    auto task = std::make_unique<TTask>();
    task->Name = std::move(name);
    task->URL = std::move(url);
    task->Dir = std::move(dir);
    task->MaxFiles = maxFiles;
    task->BoundaryPrefix = std::move(boundaryPrefix);
    task->MaxLevels = maxLevels;
    task->Flags = flags;
    task->FtpUser = std::move(defaultFtpUser);
    task->FtpPassword = std::move(defaultFtpPassword);
    return task;
}

TDnObj* TaskFindDocument(const TTask& task, std::string_view url) {
    if (TDnObj* same = task.Objects.TaskFindObj(url)) {
        return same;
    }
    const std::string twin = SchemeTwin(url);
    return twin.empty() ? nullptr : task.Objects.TaskFindObj(twin);
}

TDnObj* NewDnObj(TTask& task, std::string url, std::int32_t level) {
    if (TaskFindDocument(task, url) != nullptr) {
        return nullptr;
    }
    return &AddDnObj(task, std::move(url), level);
}

TDnObj& AddDnObj(TTask& task, std::string url, std::int32_t level) {
    TDnObj& object = task.Objects.TaskObjInsert(std::move(url));
    object.Level = level;
    object.Task = &task;
    ++task.Queued;
    ++task.Total;
    return object;
}

void SetLocalName(TDnObj& object, std::string name) {
    object.LocalName = std::move(name);
    object.Task->LocalNames.noteName(object);
}

bool TaskHasFlag(const TTask& task, TaskFlag flag) {
    return (task.Flags & static_cast<std::int32_t>(flag)) != 0;
}

void TaskSetFlag(TTask& task, TaskFlag flag) {
    task.Flags |= static_cast<std::int32_t>(flag);
}

void TaskClearFlag(TTask& task, TaskFlag flag) {
    task.Flags &= ~static_cast<std::int32_t>(flag);
}

}  // namespace quillharbor
