#include "engine/engine.h"

#include <optional>
#include <string>

#include "engine/held_hosts.h"
#include "model/message_identity.h"

namespace quillharbor {

namespace {

// Reports that may name no object (wParam 0) tell the user so; a report whose object is gone is
// stale and dropped. Returns whether to handle the report, with object the live record or null.
bool resolveOptional(const TaskList& tasks, std::uintptr_t identity, TDnObj*& object) {
    object = objectByIdentity(tasks, identity);
    return object != nullptr || identity == 0;
}

// Reports after which the object's task file is behind: an object ended, began its file, or
// yielded new objects.
bool changesTaskFile(EngineMessage message) {
    switch (message) {
        case EngineMessage::ObjectDone:
        case EngineMessage::ObjectReceiving:
        case EngineMessage::NetworkError:
        case EngineMessage::HttpError:
        case EngineMessage::ScanLinks:
        case EngineMessage::TransferAborted:
        case EngineMessage::RobotsAnswer:
        case EngineMessage::ObjectExcluded:
        case EngineMessage::FtpSizeKnown:
        case EngineMessage::FtpRestartComplete:
        case EngineMessage::FtpError:
        case EngineMessage::HostHeld:
            return true;
        default:
            return false;
    }
}

}  // namespace

void Engine::onMessage(const Message& message) {
    if (message.number == WM_TIMER) {
        if (m_timer != 0 && message.wParam == m_timer) {
            Timer1Timer();
        } else {
            m_scheduler.onPauseTimer(static_cast<unsigned>(message.wParam));
        }
        return;
    }
    if (message.number < WM_USER) {
        return;
    }
    const TaskList& tasks = m_state.TaskList;
    TDnObj* object = objectByIdentity(tasks, message.wParam);
    TTask* task = taskByIdentity(tasks, message.wParam);
    const auto kind = static_cast<EngineMessage>(message.number - WM_USER);
    switch (kind) {
        case EngineMessage::ObjectDone:
            if (object != nullptr) {
                m_results.ObjectDone(*object);
            }
            break;
        case EngineMessage::ObjectStarted:
            if (object != nullptr) {
                m_results.ObjectStarted(*object);
            }
            break;
        case EngineMessage::ObjectReceiving:
            if (object != nullptr) {
                m_results.ObjectReceiving(*object);
            }
            break;
        case EngineMessage::ObjectProgress:
            if (object != nullptr) {
                m_results.ObjectProgress(*object);
            }
            break;
        case EngineMessage::FtpSizeKnown:
            if (object != nullptr) {
                m_results.FtpSizeKnown(*object);
            }
            break;
        case EngineMessage::ObjectExcluded:
        case EngineMessage::FtpRestartComplete:
            if (object != nullptr) {
                m_services.view.RefreshObjectRow(*object);
            }
            break;
        case EngineMessage::HostHeld:
            if (object != nullptr) {
                m_services.view.RefreshObjectRow(*object);
            }
            m_scheduler.showHeldHosts();
            // A run cut short still waits, and `list` shows the host meanwhile.
            if (Status saved = saveHeldHosts(m_context); !saved) {
                m_services.view.ShowNotification(saved.error().text);
            }
            break;
        case EngineMessage::NetworkError:
            if (resolveOptional(tasks, message.wParam, object)) {
                m_results.NetworkError(object);
            }
            break;
        case EngineMessage::HttpError:
            if (resolveOptional(tasks, message.wParam, object)) {
                m_results.HttpError(object);
            }
            break;
        case EngineMessage::TransferAborted:
            if (resolveOptional(tasks, message.wParam, object)) {
                m_results.TransferAborted(object);
            }
            break;
        case EngineMessage::FtpError:
            if (resolveOptional(tasks, message.wParam, object)) {
                m_results.FtpError(object);
            }
            break;
        case EngineMessage::ScanLinks:
            if (object != nullptr) {
                m_services.intake.ScanLinks(m_context, *object);
            }
            m_state.PagesToScan.erase(message.wParam);
            break;
        case EngineMessage::RobotsAnswer: {
            // wParam is the body's ticket and lParam the object; the body is taken even when
            // its object is gone, so that it is freed.
            const std::optional<std::string> body = m_state.RobotsBodies.take(message.wParam);
            if (TDnObj* request =
                    objectByIdentity(tasks, static_cast<std::uintptr_t>(message.lParam))) {
                m_services.intake.RobotsAnswer(m_context, *request, body.value_or(""));
            }
            break;
        }
        case EngineMessage::TaskEnded:
            if (task != nullptr) {
                m_taskEnd.TaskEnded(*task);
            }
            break;
        case EngineMessage::RewriteTaskLinks:
            if (task != nullptr) {
                m_results.RewriteTaskLinks(*task);
            }
            break;
        case EngineMessage::StopAllDone:
            m_scheduler.StopAllDone();
            break;
        case EngineMessage::SaveRunningTasks:
            m_scheduler.SaveRunningTasks();
            break;
        case EngineMessage::SaveChangedTasks:
            m_scheduler.SaveChangedTasks();
            break;
        case EngineMessage::ApplySettings:
            ApplySettings();
            break;
        case EngineMessage::CreateTask:
            CreateTask();
            break;
        case EngineMessage::ApplyTaskEdit:
            ApplyTaskEdit();
            break;
        case EngineMessage::RemoveSelectedTasks:
            RemoveSelectedTasks();
            break;
        case EngineMessage::LinkDropped: {
            // Anything but modes 0..4 does nothing; a negative size counts as no content.
            const int mode = message.wParam <= 4 ? static_cast<int>(message.wParam) : -1;
            const std::size_t size =
                message.lParam > 0 ? static_cast<std::size_t>(message.lParam) : 0;
            CreateTaskFromDrop(mode, size);
            break;
        }
        case EngineMessage::AdmitObjects:
            m_admitPosted = false;
            m_scheduler.AdmitObjects();
            return;
        case EngineMessage::FtpLoggedIn:
        case EngineMessage::NotificationClosed:
            break;
    }
    // A report may have freed a slot or queued objects: with FastDispatch they meet at once,
    // once every report waiting now has been handled.
    if (m_global.FastDispatch && m_timer != 0 && !m_admitPosted) {
        m_admitPosted = true;
        m_context.post(EngineMessage::AdmitObjects);
    }
    if (changesTaskFile(kind)) {
        // A robots answer names its object in lParam.
        const auto about = kind == EngineMessage::RobotsAnswer
                               ? static_cast<std::uintptr_t>(message.lParam)
                               : message.wParam;
        if (const TDnObj* changed = objectByIdentity(tasks, about)) {
            m_scheduler.noteChanged(*changed->Task);
        }
    }
}

}  // namespace quillharbor
