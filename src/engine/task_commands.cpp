#include "engine/task_commands.h"

#include <cerrno>
#include <vector>

#include "engine/robots_gate.h"
#include "engine/slot_holders.h"
#include "model/link_admission.h"
#include "model/message_identity.h"
#include "platform/files.h"
#include "storage/grab_options_file.h"

namespace quillharbor {

namespace {

void applyFlag(TTask& task, TaskFlag flag, bool on) {
    if (on) {
        TaskSetFlag(task, flag);
    } else {
        TaskClearFlag(task, flag);
    }
}

bool leftAloneByAll(TaskState state) {
    return state == TaskState::Aborted || state == TaskState::Stopped ||
           state == TaskState::Finished;
}

}  // namespace

void TaskCommands::ApplyTaskEdit(const TaskEditParams& params) {
    TTask* task = taskByIdentity(m_context.state.TaskList, params.Task);
    if (task == nullptr) {
        return;
    }
    task->BoundaryPrefix = params.BoundaryPrefix;
    task->Extensions = params.Extensions;
    task->MaxFiles = params.MaxFilesInf ? 0 : params.MaxFiles;
    task->MaxLevels = params.MaxLevelsInf ? 0 : params.MaxLevels;
    task->StartCountdown = params.StartAfter * kTicksPerMinute;
    applyFlag(*task, TaskFlag::FollowFTP, params.FollowFTP);
    applyFlag(*task, TaskFlag::TrySlashes, params.TrySlashes);
    applyFlag(*task, TaskFlag::Parse, params.Parse);
    applyFlag(*task, TaskFlag::PageRequisites, params.PageRequisites);
    applyFlag(*task, TaskFlag::SiteLayout, params.SiteLayout);
    applyFlag(*task, TaskFlag::SkipCertificateCheck, params.SkipCertificateCheck);
    // Raised limits take effect on the documents already scanned. Collected first: the scans
    // add objects to the list being walked.
    std::vector<TDnObj*> scanned;
    for (TDnObj& object : task->Objects) {
        if (object.State == ObjectState::Done && ShouldParse(object)) {
            scanned.push_back(&object);
        }
    }
    for (TDnObj* page : scanned) {
        m_context.services.intake.RescanLinks(m_context, *page);
    }
    if (task->Queued <= 0) {
        task->State = TaskState::Finished;
    } else if (task->StartCountdown > 0) {
        task->State = TaskState::Waiting;
    } else {
        task->State = TaskState::Stopped;
    }
    refresh();
}

void TaskCommands::StartSelectedTasks() {
    for (TTask* task : m_context.services.view.SelectedTasks()) {
        task->State = TaskState::Running;
    }
    refresh();
}

void TaskCommands::StopSelectedTasks() {
    for (TTask* task : m_context.services.view.SelectedTasks()) {
        task->State = TaskState::Stopped;
        // With a transfer still running, its end reports the stop instead.
        if (!isServed(*task)) {
            m_context.services.view.ShowNotification("Task " + task->Name + " is stopped.");
            if (TaskHasFlag(*task, TaskFlag::Parse)) {
                m_context.post(EngineMessage::RewriteTaskLinks, identityOf(*task));
            }
        }
    }
    refresh();
}

void TaskCommands::AbortSelectedTasks() {
    for (TTask* task : m_context.services.view.SelectedTasks()) {
        task->State = TaskState::Aborted;
        abortTransfers(*task);
    }
    refresh();
}

void TaskCommands::StopAllTasks() {
    m_context.state.StopAllPending = true;
    for (TTask& task : m_context.state.TaskList) {
        if (!leftAloneByAll(task.State)) {
            task.State = TaskState::Stopped;
        }
    }
    refresh();
}

void TaskCommands::AbortAllTasks() {
    for (TTask& task : m_context.state.TaskList) {
        if (!leftAloneByAll(task.State)) {
            task.State = TaskState::Aborted;
            abortTransfers(task);
        }
    }
    refresh();
}

void TaskCommands::RemoveSelectedTasks() {
    EngineView& view = m_context.services.view;
    // By identity, so that a task selected twice is removed once.
    std::vector<std::uintptr_t> selected;
    for (TTask* task : view.SelectedTasks()) {
        selected.push_back(identityOf(*task));
    }
    view.ClearCurrentTask();
    for (std::uintptr_t identity : selected) {
        if (TTask* task = taskByIdentity(m_context.state.TaskList, identity)) {
            removeTask(*task);
        }
    }
    view.UpdateCommands();
}

bool TaskCommands::isServed(const TTask& task) const {
    bool served = false;
    const auto mark = [&served](TransferSlot&, TDnObj&) { served = true; };
    forSlotsServing(m_context.state.HttpSlots, task, mark);
    forSlotsServing(m_context.state.FtpSlots, task, mark);
    return served;
}

void TaskCommands::abortTransfers(TTask& task) {
    // An HTTP abort completes later, so the object is marked first; an FTP abort completes
    // inside the call, so it is marked afterwards, over what the completion left.
    forSlotsServing(m_context.state.HttpSlots, task, [](TransferSlot& slot, TDnObj& object) {
        // A robots.txt request stays one, so that its end still answers the objects waiting
        // for its host, whichever task they belong to.
        if (object.State != ObjectState::RobotsRequest) {
            object.State = ObjectState::Incomplete;
        }
        slot.abort();
    });
    forSlotsServing(m_context.state.FtpSlots, task, [](TransferSlot& slot, TDnObj& object) {
        slot.abort();
        object.State = ObjectState::Incomplete;
    });
}

void TaskCommands::removeTask(TTask& task) {
    EngineState& state = m_context.state;
    task.State = TaskState::Finished;
    const auto abandon = [](TransferSlot& slot, TDnObj&) { slot.abandon(); };
    forSlotsServing(state.HttpSlots, task, abandon);
    forSlotsServing(state.FtpSlots, task, abandon);
    for (TDnObj& object : task.Objects) {
        switch (object.InList) {
            case GlobalList::Queue:
                state.Queue.QueueRemove(object);
                break;
            case GlobalList::Seen:
                state.SeenList.SeenRemove(object);
                break;
            case GlobalList::Wait:
                state.WaitList.WaitRemove(object);
                break;
            case GlobalList::None:
                break;
        }
    }
    RobotsGate(m_context).forgetTask(task);
    m_context.services.rewriter.forgetTask(task);
    if (Status deleted = deleteFile(m_context.taskFilePath(task));
        !deleted && deleted.error().code != ENOENT) {
        m_context.services.view.ShowNotification(deleted.error().text);
    }
    if (Status deleted = writeGrabOptions(grabOptionsPath(m_context.programDir, task.Name), {});
        !deleted) {
        m_context.services.view.ShowNotification(deleted.error().text);
    }
    m_context.services.view.DeleteTaskRow(task);
    state.TaskList.TaskRemove(task);
}

void TaskCommands::refresh() {
    m_context.services.view.RefreshTaskIcons();
    m_context.services.view.UpdateCommands();
}

}  // namespace quillharbor
