#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

#include "ui/window_services.h"

class QMessageBox;

namespace quillharbor {

// The dialogs until the real ones exist: the option dialogs and New/Edit Task are not shown
// yet; confirm-exit, confirm-remove, About and the notification boxes are plain message boxes,
// none of them modal.
class StandInDialogs final : public QObject, public WindowDialogs {
    Q_OBJECT
public:
    // The window that owns the boxes, and what the OK buttons of the two questions do.
    void setOwner(QWidget* owner, std::function<void()> onExitConfirmed,
                  std::function<void()> onRemoveConfirmed);

    bool showNewTask() override { return false; }
    bool showEditTask(TTask&) override { return false; }
    bool showGlobalOptions() override { return false; }
    bool showDefaultTaskOptions() override { return false; }
    void showConfirmRemove() override;
    void showConfirmExit() override;
    void showAbout() override;
    void showNotification(const std::string& text) override;

    // Closes every box still open (the window is closing).
    void closeAll();
    // The boxes open now, for tests.
    std::vector<QMessageBox*> openBoxes() const;

private:
    QMessageBox* newBox(const QString& text);

    QWidget* m_owner = nullptr;
    std::function<void()> m_onExitConfirmed;
    std::function<void()> m_onRemoveConfirmed;
    std::vector<QPointer<QMessageBox>> m_boxes;
};

}  // namespace quillharbor
