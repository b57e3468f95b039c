#include "ui/qt/option_dialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>

namespace quillharbor {

OptionDialog::OptionDialog(QWidget* parent, const QString& caption, int context,
                           DesktopShell& shell, ReportTarget reports, WindowMessage closed)
    : QDialog(parent), m_shell(shell), m_reports(reports), m_helpContext(context) {
    setWindowTitle(caption);
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { m_shell.showHelp(this->helpContext()); });
    // Every way of closing ends here: OK, Cancel, Esc and the close box.
    connect(this, &QDialog::finished, this, [this, closed] { m_reports.post(closed); });
}

void OptionDialog::addButtons(QBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox;
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_ok->setDefault(true);
    // Enter in an edit means OK, even after Cancel had the focus once.
    m_cancel->setAutoDefault(false);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        storeAndReport();
        accept();
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void OptionDialog::present() {
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    show();
    if (focusWidget() == m_cancel) {
        m_ok->setFocus();
    }
}

void addOfflineCopyBoxes(QBoxLayout* layout, QCheckBox*& pageRequisites, QCheckBox*& siteLayout) {
    pageRequisites =
        new QCheckBox(QStringLiteral("Fetch page requisites (style sheets, scripts, images)"));
    siteLayout = new QCheckBox(QStringLiteral("Save in the site's own folder layout"));
    layout->addWidget(pageRequisites);
    layout->addWidget(siteLayout);
}

QSpinBox* spinBox(SpinRange range, int step) {
    auto* box = new QSpinBox;
    box->setRange(range.min, range.max);
    box->setSingleStep(step);
    return box;
}

QHBoxLayout* limitRow(QSpinBox* spin, const QString& unit, QCheckBox* infinity) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("No more than ")));
    row->addWidget(spin);
    auto* label = new QLabel(unit);
    label->setBuddy(spin);
    row->addWidget(label);
    row->addStretch();
    row->addWidget(infinity);
    return row;
}

QString qtText(const std::string& text) {
    return QString::fromStdString(text);
}

std::string stdText(const QString& text) {
    return text.toStdString();
}

}  // namespace quillharbor
