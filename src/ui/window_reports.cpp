#include "ui/window_reports.h"

#include "model/message_identity.h"

namespace quillharbor {

WindowReports::WindowReports(MessageLoop& loop, MainWindowModel& model, Engine& engine,
                             Actions actions)
    : m_loop(loop),
      m_model(model),
      m_engine(engine),
      m_actions(std::move(actions)),
      m_handle(loop.add(*this)) {}

WindowReports::~WindowReports() {
    m_loop.remove(m_handle);
}

void WindowReports::onMessage(const Message& message) {
    if (message.number < WM_USER) {
        return;
    }
    switch (message.number - WM_USER) {
        case static_cast<unsigned>(WindowMessage::GlobalOptionsClosed):
        case static_cast<unsigned>(WindowMessage::DefaultTaskOptionsClosed):
        case static_cast<unsigned>(WindowMessage::NewTaskClosed):
            m_model.dialogClosed();
            break;
        case static_cast<unsigned>(WindowMessage::EditTaskClosed):
            m_model.editTaskClosed();
            break;
        case static_cast<unsigned>(WindowMessage::ExitConfirmed):
            if (m_actions.exitConfirmed) {
                m_actions.exitConfirmed();
            }
            break;
        case static_cast<unsigned>(EngineMessage::ApplyTaskEdit):
            m_engine.onMessage(message);
            // The details of the edited task show its new limits.
            if (TTask* task =
                    taskByIdentity(m_engine.state().TaskList, m_engine.taskEditParams().Task)) {
                m_model.ShowTaskCounters(*task);
            }
            m_model.UpdateCommands();
            break;
        case static_cast<unsigned>(EngineMessage::ApplySettings):
        case static_cast<unsigned>(EngineMessage::CreateTask):
        case static_cast<unsigned>(EngineMessage::RemoveSelectedTasks):
            m_engine.onMessage(message);
            m_model.UpdateCommands();
            break;
        case static_cast<unsigned>(EngineMessage::NotificationClosed):
            if (m_actions.notificationClosed) {
                m_actions.notificationClosed(message.wParam);
            }
            break;
        default:
            break;
    }
}

}  // namespace quillharbor
