#include "ui/window_reports.h"

#include "model/message_identity.h"

namespace quillharbor {

WindowReports::WindowReports(MessageLoop& loop, MainWindowModel& model, Actions actions)
    : m_loop(loop), m_model(model), m_actions(std::move(actions)), m_handle(loop.add(*this)) {}

WindowReports::~WindowReports() {
    m_loop.remove(m_handle);
}

void WindowReports::onMessage(const Message& message) {
    if (message.number < WM_USER || m_engine == nullptr) {
        return;
    }
    Engine& engine = *m_engine;
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
            engine.onMessage(message);
            // The details of the edited task show its new limits.
            if (TTask* task =
                    taskByIdentity(engine.state().TaskList, engine.taskEditParams().Task)) {
                m_model.ShowTaskCounters(*task);
            }
            m_model.UpdateCommands();
            break;
        case static_cast<unsigned>(EngineMessage::ApplySettings):
        case static_cast<unsigned>(EngineMessage::CreateTask):
        case static_cast<unsigned>(EngineMessage::RemoveSelectedTasks):
        case static_cast<unsigned>(EngineMessage::LinkDropped):
            engine.onMessage(message);
            m_model.UpdateCommands();
            break;
        case static_cast<unsigned>(EngineMessage::NotificationClosed):
            if (m_actions.notificationClosed) {
                m_actions.notificationClosed(message.wParam);
            }
            break;
        case static_cast<unsigned>(WindowMessage::DropWindowHidden):
        case static_cast<unsigned>(WindowMessage::DropWatchingToggled):
        case static_cast<unsigned>(WindowMessage::DropDefaultTaskOptions):
        case static_cast<unsigned>(WindowMessage::DropNewTask):
        case static_cast<unsigned>(WindowMessage::DropExit):
            onDropWindowMenu(static_cast<WindowMessage>(message.number - WM_USER));
            break;
        default:
            break;
    }
}

void WindowReports::onDropWindowMenu(WindowMessage message) {
    DropWindowControls* controls = m_model.dropWindow();
    switch (message) {
        case WindowMessage::DropWindowHidden:
            if (controls != nullptr) {
                controls->hiddenFromMenu();
            }
            break;
        case WindowMessage::DropWatchingToggled:
            if (controls != nullptr) {
                controls->clipboardToggledFromMenu();
            }
            break;
        case WindowMessage::DropDefaultTaskOptions:
            m_model.run(UiCommand::DefaultTaskOptions);
            break;
        case WindowMessage::DropNewTask:
            m_model.run(UiCommand::NewTask);
            break;
        case WindowMessage::DropExit:
            if (m_actions.exitRequested) {
                m_actions.exitRequested();
            }
            return;
        default:
            return;
    }
    m_model.UpdateCommands();
}

}  // namespace quillharbor
