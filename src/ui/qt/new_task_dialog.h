#pragma once

#include <array>
#include <optional>

#include "engine/new_task_params.h"
#include "ui/new_task_form.h"
#include "ui/qt/option_dialog.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace quillharbor {

// "New Task": the starting URL, the task's name and its options on two pages. It edits the
// new-task record the window prepared; OK stores it and posts the engine's CreateTask report.
class NewTaskDialog final : public OptionDialog {
    Q_OBJECT
public:
    NewTaskDialog(QWidget* parent, NewTaskParams& params, DesktopShell& shell,
                  ReportTarget reports);

    // Fills the controls from the record and shows the first page.
    void showFor(const NewTaskForm& form);

    QLineEdit* urlEdit() const { return m_url; }
    QLineEdit* nameEdit() const { return m_name; }
    QSpinBox* levelsSpin() const { return m_levels; }
    std::array<QRadioButton*, 3> boundaryChoices() const { return m_from; }
    QLineEdit* boundaryEdit() const { return m_boundary; }

protected:
    void storeAndReport() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* mainPage();
    QWidget* additionalPage();
    void readControls();
    void drawState();

    NewTaskParams& m_params;
    std::optional<NewTaskForm> m_form;
    QTabWidget* m_pages = nullptr;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_name = nullptr;
    std::array<QRadioButton*, 3> m_from{};
    QLineEdit* m_boundary = nullptr;
    QSpinBox* m_levels = nullptr;
    QCheckBox* m_levelsInfinity = nullptr;
    QSpinBox* m_files = nullptr;
    QCheckBox* m_filesInfinity = nullptr;
    QCheckBox* m_startAtOnce = nullptr;
    QSpinBox* m_startAfter = nullptr;
    QCheckBox* m_trySlashes = nullptr;
    QCheckBox* m_parse = nullptr;
    QCheckBox* m_pageRequisites = nullptr;
    QCheckBox* m_siteLayout = nullptr;
    std::array<QRadioButton*, 3> m_kinds{};
    QLineEdit* m_extensions = nullptr;
    QCheckBox* m_followFtp = nullptr;
    QLineEdit* m_ftpUser = nullptr;
    QLineEdit* m_ftpPassword = nullptr;
    QCheckBox* m_skipCertificateCheck = nullptr;
};

}  // namespace quillharbor
