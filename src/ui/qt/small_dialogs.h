#pragma once

#include <QDialog>

#include "ui/window_message.h"

namespace quillharbor {

// A question with OK (the default) and Cancel; OK posts its report and closes, Cancel and Esc
// only close. Made once and shown again; showing it while shown brings it forward.
class ConfirmDialog final : public QDialog {
    Q_OBJECT
public:
    // The remove-task-records and the exit questions.
    static ConfirmDialog* confirmRemove(QWidget* parent, ReportTarget reports);
    static ConfirmDialog* confirmExit(QWidget* parent, ReportTarget reports);

    ConfirmDialog(QWidget* parent, const QString& caption, const QString& question,
                  ReportTarget reports, unsigned okReport);
    void present();
};

// The About box: the program's name, version and license line. It stays on top and closes when
// it loses activation, as a click on the main window does.
class AboutBox final : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent);
    void present();

protected:
    bool event(QEvent* event) override;
};

}  // namespace quillharbor
