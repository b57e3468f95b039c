#include "engine/task_end.h"

#include <algorithm>

#include "model/message_identity.h"

namespace quillharbor {

void TaskEnd::TaskEnded(TTask& task) {
    if (task.Queued > 0) {
        return;
    }
    EngineView& view = m_context.services.view;
    if (Status written =
            m_context.services.taskFiles.WriteTaskFile(task, m_context.taskFilePath(task));
        !written) {
        view.ShowNotification(written.error().text);
    }
    if (TaskHasFlag(task, TaskFlag::Parse)) {
        task.State = TaskState::RewritePending;
        m_context.post(EngineMessage::RewriteTaskLinks, identityOf(task));
    } else {
        task.State = TaskState::Finished;
    }
    view.RefreshTaskIcons();
    view.UpdateCommands();
    if (m_context.notifies(NotifyBit::TaskFinished)) {
        view.ShowNotification("Task " + task.Name + " is finished.");
    }
    const TaskList& tasks = m_context.state.TaskList;
    const bool allEnded = std::none_of(tasks.begin(), tasks.end(), [](const TTask& each) {
        return each.State == TaskState::Running || each.State == TaskState::Waiting;
    });
    if (allEnded && m_context.notifies(NotifyBit::ProgramIdle)) {
        view.ShowNotification("All tasks are finished");
    }
    m_dialUp.HangUpWhenIdle();
}

}  // namespace quillharbor
