#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "engine/engine_context.h"
#include "engine/new_task_params.h"
#include "model/task.h"

namespace quillharbor {

// Makes new tasks: from the New Task dialog's parameters and from links and documents captured
// by the drop window. Main thread only.
class TaskCreator {
public:
    explicit TaskCreator(EngineContext& context) : m_context(context) {}

    // Fills everything but URL from the default task options: a free task name, the defaults,
    // an empty boundary and the default FTP login.
    void PrepareNewTaskParams(NewTaskParams& params) const;

    // Creates the task, its directory and its starting object (queued), shows and selects it and
    // writes its task file. Refuses, with a notification and without creating anything, a name
    // that is unsafe or taken and a directory that cannot be made. Returns the task or nullptr.
    TTask* CreateTask(const NewTaskParams& params);

    // Handles a capture of the drop window (mode 0..4; contentSize bytes of a dropped document,
    // 0 for a bare URL).
    void CreateTaskFromDrop(int mode, std::size_t contentSize);

private:
    std::string proposeTaskName() const;
    std::string taskDirectory(const std::string& name) const;
    // Checks the name and makes the directory; on failure shows why and returns false.
    bool prepareTaskPlace(const std::string& name, const std::string& directory);
    std::unique_ptr<TTask> newTaskFrom(const NewTaskParams& params,
                                       const std::string& directory) const;
    void createFromDroppedUrl(int mode, const std::string& url);
    void createFromDroppedDocument(int mode, const std::string& url, std::size_t contentSize);

    EngineContext& m_context;
};

}  // namespace quillharbor
