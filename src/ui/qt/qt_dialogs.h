#pragma once

#include <QPointer>
#include <memory>
#include <optional>

#include "engine/engine.h"
#include "ui/qt/default_task_options_dialog.h"
#include "ui/qt/edit_task_dialog.h"
#include "ui/qt/global_options_dialog.h"
#include "ui/qt/new_task_dialog.h"
#include "ui/qt/notification_boxes.h"
#include "ui/qt/small_dialogs.h"
#include "ui/window_services.h"

namespace quillharbor {

// The window's dialogs and boxes, made once the window exists and shown again for each use.
// None is modal: each reports by posting to the window's report target.
class QtDialogs final : public WindowDialogs {
public:
    // Made before the window, which needs it; nothing is shown until attach().
    QtDialogs() = default;
    ~QtDialogs() override;
    void attach(QWidget* window, Engine& engine, DesktopShell& shell, ReportTarget reports);

    bool showNewTask(bool keptOnTop) override;
    bool showEditTask(TTask& task, bool keptOnTop) override;
    bool showGlobalOptions() override;
    bool showDefaultTaskOptions() override;
    void showConfirmRemove() override;
    void showConfirmExit() override;
    void showAbout() override;
    void showNotification(const std::string& text) override;

    // A closed notification box's report.
    void FreeNotification(std::size_t slot);
    // The window is closing: every box goes, the dialogs are hidden.
    void closeAll();

    // What tests and the screenshot reach.
    NewTaskDialog* newTask() const { return m_newTask; }
    EditTaskDialog* editTask() const { return m_editTask; }
    GlobalOptionsDialog* globalOptions() const { return m_globalOptions; }
    DefaultTaskOptionsDialog* defaultTaskOptions() const { return m_defaultOptions; }
    ConfirmDialog* confirmRemove() const { return m_confirmRemove; }
    ConfirmDialog* confirmExit() const { return m_confirmExit; }
    AboutBox* about() const { return m_about; }
    NotificationBoxes* notifications() const { return m_notifications.get(); }

private:
    Engine* m_engine = nullptr;
    // Owned by the window; gone with it.
    QPointer<NewTaskDialog> m_newTask;
    QPointer<EditTaskDialog> m_editTask;
    QPointer<GlobalOptionsDialog> m_globalOptions;
    QPointer<DefaultTaskOptionsDialog> m_defaultOptions;
    QPointer<ConfirmDialog> m_confirmRemove;
    QPointer<ConfirmDialog> m_confirmExit;
    QPointer<AboutBox> m_about;
    std::unique_ptr<NotificationBoxes> m_notifications;
};

}  // namespace quillharbor
