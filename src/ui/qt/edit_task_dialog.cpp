#include "ui/qt/edit_task_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quillharbor {

namespace {

constexpr int kHelpContext = 8;

}  // namespace

EditTaskDialog::EditTaskDialog(QWidget* parent, TaskEditParams& params, DesktopShell& shell,
                               ReportTarget reports)
    : OptionDialog(parent, QStringLiteral("Edit Task Properties"), kHelpContext, shell, reports,
                   WindowMessage::EditTaskClosed),
      m_params(params) {
    auto* layout = new QVBoxLayout(this);
    m_url = new QLabel;
    m_url->setTextFormat(Qt::PlainText);
    m_url->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_url->font();
    bold.setBold(true);
    m_url->setFont(bold);
    layout->addWidget(m_url);
    m_trySlashes = new QCheckBox(QStringLiteral("Try trailing slashes "));
    m_parse = new QCheckBox(QStringLiteral("&Parse retrieved files"));
    layout->addWidget(m_trySlashes);
    layout->addWidget(m_parse);
    addOfflineCopyBoxes(layout, m_pageRequisites, m_siteLayout);
    m_startAtOnce = new QCheckBox(QStringLiteral("&Start at once"));
    m_startAfter = spinBox(EditTaskForm::kStartAfter);
    auto* start = new QHBoxLayout;
    start->addWidget(m_startAtOnce);
    start->addSpacing(12);
    start->addWidget(new QLabel(QStringLiteral("Start after")));
    start->addWidget(m_startAfter);
    auto* minutes = new QLabel(QStringLiteral("&minutes"));
    minutes->setBuddy(m_startAfter);
    start->addWidget(minutes);
    start->addStretch();
    layout->addLayout(start);

    auto* limits = new QGroupBox(QStringLiteral("Download files"));
    auto* rows = new QVBoxLayout(limits);
    m_levels = spinBox(EditTaskForm::kLevels);
    m_levelsInfinity = new QCheckBox(QStringLiteral("Infinity"));
    rows->addLayout(
        limitRow(m_levels, QStringLiteral("&links away from the starting doc"), m_levelsInfinity));
    m_files = spinBox(EditTaskForm::kFiles);
    m_filesInfinity = new QCheckBox(QStringLiteral("Infinity"));
    rows->addLayout(limitRow(m_files, QStringLiteral("&files"), m_filesInfinity));
    rows->addWidget(new QLabel(QStringLiteral("Only files with extensions")));
    m_extensions = new QLineEdit;
    rows->addWidget(m_extensions);
    layout->addWidget(limits);
    m_followFtp = new QCheckBox(QStringLiteral("Follow child FTP links"));
    layout->addWidget(m_followFtp);

    auto* from = new QHBoxLayout;
    auto* fromLabel = new QLabel(QStringLiteral("&Download from:"));
    m_boundary = new QLineEdit;
    m_boundary->setMinimumWidth(220);
    fromLabel->setBuddy(m_boundary);
    m_fromAnywhere = new QCheckBox(QStringLiteral("from anywhere"));
    from->addWidget(fromLabel);
    from->addWidget(m_boundary, 1);
    from->addWidget(m_fromAnywhere);
    layout->addLayout(from);
    m_skipCertificateCheck = new QCheckBox(QStringLiteral("Do not verify https certificates"));
    layout->addWidget(m_skipCertificateCheck);
    addButtons(layout);

    for (QCheckBox* box : {m_startAtOnce, m_levelsInfinity, m_filesInfinity, m_fromAnywhere}) {
        connect(box, &QCheckBox::toggled, this, [this] {
            readControls();
            drawState();
        });
    }
}

void EditTaskDialog::showFor(const EditTaskForm& form) {
    m_form.reset();
    m_url->setText(qtText(form.url));
    m_trySlashes->setChecked(form.trySlashes);
    m_parse->setChecked(form.parse);
    m_pageRequisites->setChecked(form.pageRequisites);
    m_siteLayout->setChecked(form.siteLayout);
    m_startAtOnce->setChecked(form.startAtOnce);
    m_startAfter->setValue(form.startAfter);
    m_levels->setValue(form.levels);
    m_levelsInfinity->setChecked(form.levelsInfinity);
    m_files->setValue(form.files);
    m_filesInfinity->setChecked(form.filesInfinity);
    m_extensions->setText(qtText(form.extensions));
    m_followFtp->setChecked(form.followFtp);
    m_boundary->setText(qtText(form.boundary));
    m_fromAnywhere->setChecked(form.fromAnywhere);
    m_skipCertificateCheck->setChecked(form.skipCertificateCheck);
    m_form = form;
    drawState();
    present();
}

void EditTaskDialog::readControls() {
    if (!m_form) {
        return;
    }
    EditTaskForm& form = *m_form;
    form.trySlashes = m_trySlashes->isChecked();
    form.parse = m_parse->isChecked();
    form.pageRequisites = m_pageRequisites->isChecked();
    form.siteLayout = m_siteLayout->isChecked();
    form.startAtOnce = m_startAtOnce->isChecked();
    form.startAfter = m_startAfter->value();
    form.levels = m_levels->value();
    form.levelsInfinity = m_levelsInfinity->isChecked();
    form.files = m_files->value();
    form.filesInfinity = m_filesInfinity->isChecked();
    form.extensions = stdText(m_extensions->text());
    form.followFtp = m_followFtp->isChecked();
    form.boundary = stdText(m_boundary->text());
    form.fromAnywhere = m_fromAnywhere->isChecked();
    form.skipCertificateCheck = m_skipCertificateCheck->isChecked();
}

void EditTaskDialog::drawState() {
    if (!m_form) {
        return;
    }
    m_startAfter->setEnabled(!m_form->startAtOnce);
    m_levels->setEnabled(!m_form->levelsInfinity);
    m_files->setEnabled(!m_form->filesInfinity);
    m_boundary->setEnabled(m_form->boundaryEnabled());
}

void EditTaskDialog::storeAndReport() {
    readControls();
    m_form->store(m_params);
    reports().post(EngineMessage::ApplyTaskEdit);
}

}  // namespace quillharbor
