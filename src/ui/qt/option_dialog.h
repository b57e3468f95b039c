#pragma once

#include <QDialog>
#include <QString>
#include <optional>

#include "ui/option_controls.h"
#include "ui/window_message.h"
#include "ui/window_services.h"

class QBoxLayout;
class QHBoxLayout;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quillharbor {

// What the option dialogs share: not modal, OK (the default button) and Cancel at the bottom,
// Esc and the close box closing without accepting, F1 opening the dialog's help page, and the
// "closed" report posted however the dialog closes.
class OptionDialog : public QDialog {
    Q_OBJECT
public:
    OptionDialog(QWidget* parent, const QString& caption, int context, DesktopShell& shell,
                 ReportTarget reports, WindowMessage closed);

    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    // Shows the dialog with OK focused, or brings it forward when it is already shown.
    void present();

protected:
    // Adds the OK and Cancel row under the dialog's own controls.
    void addButtons(QBoxLayout* layout);
    // OK was pressed: the dialog stores its record and posts its report, then closes.
    virtual void storeAndReport() = 0;
    // The help context of what is shown now (a page of its own, for instance).
    virtual int helpContext() const { return m_helpContext; }

    const ReportTarget& reports() const { return m_reports; }

private:
    DesktopShell& m_shell;
    ReportTarget m_reports;
    int m_helpContext;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

// Adds the "Fetch page requisites" and "Save in the site's own folder layout" boxes one under
// the other; the three task dialogs show them alike.
void addOfflineCopyBoxes(QBoxLayout* layout, QCheckBox*& pageRequisites, QCheckBox*& siteLayout);
// A spin box kept within range.
QSpinBox* spinBox(SpinRange range, int step = 1);
// "No more than " [spin] unit, then its "Infinity" box.
QHBoxLayout* limitRow(QSpinBox* spin, const QString& unit, QCheckBox* infinity);
QString qtText(const std::string& text);
std::string stdText(const QString& text);

}  // namespace quillharbor
