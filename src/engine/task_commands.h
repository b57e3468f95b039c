#pragma once

#include "engine/engine_context.h"
#include "engine/task_edit_params.h"
#include "model/task.h"

namespace quillharbor {

// The task-level commands: edit, start, stop, abort, stop all, abort all and remove. The
// "selected" commands act on the view's selection in list order. Main thread only.
class TaskCommands {
public:
    explicit TaskCommands(EngineContext& context) : m_context(context) {}

    void ApplyTaskEdit(const TaskEditParams& params);
    void StartSelectedTasks();
    void StopSelectedTasks();
    void AbortSelectedTasks();
    void StopAllTasks();
    void AbortAllTasks();
    // Frees the selected tasks with their objects and deletes their task files; their saved
    // files stay on disk. Transfers serving them let go of their objects at once, and messages
    // still on the way about them are dropped when they arrive.
    void RemoveSelectedTasks();

private:
    bool isServed(const TTask& task) const;
    void abortTransfers(TTask& task);
    void removeTask(TTask& task);
    void refresh();

    EngineContext& m_context;
};

}  // namespace quillharbor
