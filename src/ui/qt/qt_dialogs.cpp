#include "ui/qt/qt_dialogs.h"

namespace quillharbor {

QtDialogs::~QtDialogs() = default;

void QtDialogs::attach(QWidget* window, Engine& engine, DesktopShell& shell, ReportTarget reports) {
    m_engine = &engine;
    m_newTask = new NewTaskDialog(window, engine.newTaskParams(), shell, reports);
    m_editTask = new EditTaskDialog(window, engine.taskEditParams(), shell, reports);
    m_globalOptions = new GlobalOptionsDialog(window, engine.globalOptions(), shell, reports);
    m_defaultOptions =
        new DefaultTaskOptionsDialog(window, engine.defaultTaskOptions(), shell, reports);
    m_confirmRemove = ConfirmDialog::confirmRemove(window, reports);
    m_confirmExit = ConfirmDialog::confirmExit(window, reports);
    m_about = new AboutBox(window);
    m_notifications = std::make_unique<NotificationBoxes>(reports);
}

// An option dialog already open is only brought forward and is not counted again.
bool QtDialogs::showNewTask(bool keptOnTop) {
    if (m_newTask == nullptr) {
        return false;
    }
    if (m_newTask->isVisible()) {
        m_newTask->present();
        return false;
    }
    m_newTask->setWindowFlag(Qt::WindowStaysOnTopHint, keptOnTop);
    m_newTask->showFor(NewTaskForm(m_engine->newTaskParams()));
    return true;
}

bool QtDialogs::showEditTask(TTask& task, bool keptOnTop) {
    if (m_editTask == nullptr) {
        return false;
    }
    if (m_editTask->isVisible()) {
        m_editTask->present();
        return false;
    }
    m_editTask->setWindowFlag(Qt::WindowStaysOnTopHint, keptOnTop);
    m_editTask->showFor(EditTaskForm(task));
    return true;
}

bool QtDialogs::showGlobalOptions() {
    if (m_globalOptions == nullptr) {
        return false;
    }
    if (m_globalOptions->isVisible()) {
        m_globalOptions->present();
        return false;
    }
    m_globalOptions->showCurrent(m_engine->dialUpSupport());
    return true;
}

bool QtDialogs::showDefaultTaskOptions() {
    if (m_defaultOptions == nullptr) {
        return false;
    }
    if (m_defaultOptions->isVisible()) {
        m_defaultOptions->present();
        return false;
    }
    m_defaultOptions->showCurrent();
    return true;
}

void QtDialogs::showConfirmRemove() {
    if (m_confirmRemove != nullptr) {
        m_confirmRemove->present();
    }
}

void QtDialogs::showConfirmExit() {
    if (m_confirmExit != nullptr) {
        m_confirmExit->present();
    }
}

void QtDialogs::showAbout() {
    if (m_about != nullptr) {
        m_about->present();
    }
}

void QtDialogs::showNotification(const std::string& text) {
    if (m_notifications) {
        m_notifications->ShowNotification(text);
    }
}

void QtDialogs::FreeNotification(std::size_t slot) {
    if (m_notifications) {
        m_notifications->FreeNotification(slot);
    }
}

void QtDialogs::closeAll() {
    if (m_notifications) {
        m_notifications->FreeAllNotifications();
    }
    for (QDialog* dialog :
         std::initializer_list<QDialog*>{m_newTask, m_editTask, m_globalOptions, m_defaultOptions,
                                         m_confirmRemove, m_confirmExit, m_about}) {
        if (dialog != nullptr) {
            dialog->hide();
        }
    }
}

}  // namespace quillharbor
