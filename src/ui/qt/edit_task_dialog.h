#pragma once

#include <optional>

#include "engine/task_edit_params.h"
#include "ui/edit_task_form.h"
#include "ui/qt/option_dialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace quillharbor {

// "Edit Task Properties": the limits of one task. OK stores the task-edit record and posts the
// engine's ApplyTaskEdit report.
class EditTaskDialog final : public OptionDialog {
    Q_OBJECT
public:
    EditTaskDialog(QWidget* parent, TaskEditParams& params, DesktopShell& shell,
                   ReportTarget reports);

    void showFor(const EditTaskForm& form);

    QSpinBox* levelsSpin() const { return m_levels; }
    QCheckBox* fromAnywhereBox() const { return m_fromAnywhere; }
    QLineEdit* boundaryEdit() const { return m_boundary; }

protected:
    void storeAndReport() override;

private:
    void readControls();
    void drawState();

    TaskEditParams& m_params;
    std::optional<EditTaskForm> m_form;
    QLabel* m_url = nullptr;
    QCheckBox* m_trySlashes = nullptr;
    QCheckBox* m_parse = nullptr;
    QCheckBox* m_pageRequisites = nullptr;
    QCheckBox* m_siteLayout = nullptr;
    QCheckBox* m_startAtOnce = nullptr;
    QSpinBox* m_startAfter = nullptr;
    QSpinBox* m_levels = nullptr;
    QCheckBox* m_levelsInfinity = nullptr;
    QSpinBox* m_files = nullptr;
    QCheckBox* m_filesInfinity = nullptr;
    QLineEdit* m_extensions = nullptr;
    QCheckBox* m_followFtp = nullptr;
    QLineEdit* m_boundary = nullptr;
    QCheckBox* m_fromAnywhere = nullptr;
    QCheckBox* m_skipCertificateCheck = nullptr;
};

}  // namespace quillharbor
