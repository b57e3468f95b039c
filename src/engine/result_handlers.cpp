#include "engine/result_handlers.h"

#include <string>

#include "engine/slot_holders.h"
#include "model/message_identity.h"

namespace quillharbor {

void ResultHandlers::ObjectDone(TDnObj& object) {
    EngineView& view = m_context.services.view;
    TTask& task = *object.Task;
    view.RefreshObjectRow(object);
    view.ShowTaskCounters(task);
    if (!m_context.notifies(NotifyBit::TaskFinished) || m_context.state.StopAllPending ||
        task.State != TaskState::Stopped) {
        return;
    }
    // An FTP slot still holds the object it reports until its quit is answered; the stop is
    // reported after that only by a later transfer of the task.
    bool stillServed = false;
    forSlotsServing(m_context.state.HttpSlots, task, [&](TransferSlot&, TDnObj& held) {
        stillServed = stillServed || &held != &object;
    });
    forSlotsServing(m_context.state.FtpSlots, task,
                    [&](TransferSlot&, TDnObj&) { stillServed = true; });
    if (stillServed) {
        return;
    }
    view.ShowNotification("Task " + task.Name + " is stopped.");
    if (TaskHasFlag(task, TaskFlag::Parse)) {
        m_context.post(EngineMessage::RewriteTaskLinks, identityOf(task));
    }
}

void ResultHandlers::ObjectStarted(TDnObj& object) {
    if (object.State != ObjectState::RobotsRequest) {
        m_context.services.view.ShowObjectStarted(object);
    }
}

void ResultHandlers::ObjectReceiving(TDnObj& object) {
    m_context.services.view.ShowObjectReceiving(object);
    m_dialUp.CheckRasActive();
}

void ResultHandlers::ObjectProgress(TDnObj& object) {
    m_context.services.view.ShowObjectProgress(object);
}

void ResultHandlers::FtpSizeKnown(TDnObj& object) {
    m_context.services.view.RefreshObjectRow(object);
    m_dialUp.CheckRasActive();
}

void ResultHandlers::NetworkError(TDnObj* object) {
    failure(object, m_context.notifies(NotifyBit::NetworkError), "Network error ",
            "Unknown network error");
}

void ResultHandlers::HttpError(TDnObj* object) {
    failure(object, m_context.notifies(NotifyBit::ProtocolError), "HTTP protocol error ",
            "Unknown HTTP protocol error");
}

void ResultHandlers::FtpError(TDnObj* object) {
    failure(object, m_context.notifies(NotifyBit::ProtocolError), "FTP protocol error ",
            "Unknown FTP protocol error");
}

void ResultHandlers::TransferAborted(TDnObj* object) {
    EngineView& view = m_context.services.view;
    if (m_context.notifies(NotifyBit::ProtocolError) ||
        m_context.notifies(NotifyBit::NetworkError)) {
        view.ShowNotification(
            object == nullptr ? std::string("Trasfer aborted")
                              : "Transfer from the " + object->URL +
                                    " was aborted. The reason: " + std::to_string(object->Status));
    }
    if (object != nullptr) {
        view.RefreshObjectRow(*object);
        m_dialUp.CheckRasBroken();
    }
}

void ResultHandlers::RewriteTaskLinks(TTask& task) {
    EngineView& view = m_context.services.view;
    if (task.State != TaskState::Stopped) {
        task.State = TaskState::Finished;
    }
    m_context.services.rewriter.QueueTaskForParsing(task);
    const std::vector<TTask*> selected = view.SelectedTasks();
    if (selected.size() == 1 && selected.front() == &task) {
        view.FillObjectLists();
    }
    view.RefreshTaskIcons();
    view.UpdateCommands();
}

void ResultHandlers::failure(TDnObj* object, bool notify, const char* prefix, const char* unknown) {
    EngineView& view = m_context.services.view;
    if (notify) {
        view.ShowNotification(object == nullptr ? std::string(unknown)
                                                : prefix + std::to_string(object->Status) +
                                                      " when retrieving URL " + object->URL);
    }
    if (object != nullptr) {
        view.RefreshObjectRow(*object);
        m_dialUp.CheckRasBroken();
    }
}

}  // namespace quillharbor
