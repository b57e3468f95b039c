#pragma once

#include <array>
#include <optional>

#include "storage/default_task_options.h"
#include "ui/default_task_options_form.h"
#include "ui/qt/option_dialog.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace quillharbor {

// "Default Task Options": the options new tasks start with. OK stores them (they reach the
// configuration file when the program ends) and reports so.
class DefaultTaskOptionsDialog final : public OptionDialog {
    Q_OBJECT
public:
    DefaultTaskOptionsDialog(QWidget* parent, DefaultTaskOptions& options, DesktopShell& shell,
                             ReportTarget reports);

    // Fills the controls from the defaults as they are now and shows the dialog.
    void showCurrent();

    QLineEdit* dirTemplateEdit() const { return m_dirTemplate; }
    QSpinBox* levelsSpin() const { return m_levels; }

protected:
    void storeAndReport() override;

private:
    void readControls();
    void drawState();

    DefaultTaskOptions& m_options;
    std::optional<DefaultTaskOptionsForm> m_form;
    QLineEdit* m_dirTemplate = nullptr;
    QLineEdit* m_startingDoc = nullptr;
    QCheckBox* m_trySlashes = nullptr;
    QCheckBox* m_parse = nullptr;
    QCheckBox* m_pageRequisites = nullptr;
    QCheckBox* m_siteLayout = nullptr;
    QCheckBox* m_startAtOnce = nullptr;
    QSpinBox* m_startAfter = nullptr;
    std::array<QRadioButton*, 3> m_from{};
    QSpinBox* m_levels = nullptr;
    QCheckBox* m_levelsInfinity = nullptr;
    QLineEdit* m_extensions = nullptr;
    QSpinBox* m_files = nullptr;
    QCheckBox* m_filesInfinity = nullptr;
    QCheckBox* m_followFtp = nullptr;
};

}  // namespace quillharbor
