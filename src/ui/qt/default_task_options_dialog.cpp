#include "ui/qt/default_task_options_dialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quillharbor {

namespace {

constexpr int kHelpContext = 14;

}  // namespace

DefaultTaskOptionsDialog::DefaultTaskOptionsDialog(QWidget* parent, DefaultTaskOptions& options,
                                                   DesktopShell& shell, ReportTarget reports)
    : OptionDialog(parent, QStringLiteral(" Default Task Options"), kHelpContext, shell, reports,
                   WindowMessage::DefaultTaskOptionsClosed),
      m_options(options) {
    auto* layout = new QVBoxLayout(this);
    auto* names = new QFormLayout;
    m_dirTemplate = new QLineEdit;
    m_startingDoc = new QLineEdit;
    names->addRow(QStringLiteral("Task &directory template"), m_dirTemplate);
    names->addRow(QStringLiteral("&Starting document name"), m_startingDoc);
    layout->addLayout(names);
    m_trySlashes = new QCheckBox(QStringLiteral("Try trailing slashes "));
    m_parse = new QCheckBox(QStringLiteral("&Parse retrieved files"));
    layout->addWidget(m_trySlashes);
    layout->addWidget(m_parse);
    addOfflineCopyBoxes(layout, m_pageRequisites, m_siteLayout);
    m_startAtOnce = new QCheckBox(QStringLiteral("Start &At Once"));
    m_startAfter = spinBox(DefaultTaskOptionsForm::kStartAfter);
    auto* start = new QHBoxLayout;
    start->addWidget(m_startAtOnce);
    start->addSpacing(12);
    start->addWidget(new QLabel(QStringLiteral("Start after")));
    start->addWidget(m_startAfter);
    start->addWidget(new QLabel(QStringLiteral("Minutes")));
    start->addStretch();
    layout->addLayout(start);

    auto* limits = new QGroupBox(QStringLiteral("Download files"));
    auto* rows = new QVBoxLayout(limits);
    const char* captions[] = {"Only from the starting doc's host",
                              "Only from the starting doc's directory and subdirectories",
                              "From anywhere"};
    for (std::size_t choice = 0; choice < m_from.size(); ++choice) {
        m_from[choice] = new QRadioButton(QString::fromLatin1(captions[choice]));
        rows->addWidget(m_from[choice]);
    }
    m_levels = spinBox(DefaultTaskOptionsForm::kLevels);
    m_levelsInfinity = new QCheckBox(QStringLiteral("Infinity"));
    rows->addLayout(
        limitRow(m_levels, QStringLiteral("links away from the starting doc"), m_levelsInfinity));
    rows->addWidget(new QLabel(QStringLiteral("Only files with extensions")));
    m_extensions = new QLineEdit;
    rows->addWidget(m_extensions);
    m_files = spinBox(DefaultTaskOptionsForm::kFiles);
    m_filesInfinity = new QCheckBox(QStringLiteral("Infinity"));
    rows->addLayout(limitRow(m_files, QStringLiteral("files"), m_filesInfinity));
    layout->addWidget(limits);
    m_followFtp = new QCheckBox(QStringLiteral("Follow child FTP links"));
    layout->addWidget(m_followFtp);
    addButtons(layout);

    for (QCheckBox* box : {m_startAtOnce, m_levelsInfinity, m_filesInfinity}) {
        connect(box, &QCheckBox::toggled, this, [this] {
            readControls();
            drawState();
        });
    }
}

void DefaultTaskOptionsDialog::showCurrent() {
    m_form.reset();
    const DefaultTaskOptionsForm form(m_options);
    m_dirTemplate->setText(qtText(form.dirTemplate));
    m_startingDoc->setText(qtText(form.startingDoc));
    m_trySlashes->setChecked(form.trySlashes);
    m_parse->setChecked(form.parse);
    m_pageRequisites->setChecked(form.pageRequisites);
    m_siteLayout->setChecked(form.siteLayout);
    m_startAtOnce->setChecked(form.startAtOnce);
    m_startAfter->setValue(form.startAfter);
    m_from[static_cast<std::size_t>(form.downloadFrom - 1)]->setChecked(true);
    m_levels->setValue(form.levels);
    m_levelsInfinity->setChecked(form.levelsInfinity);
    m_extensions->setText(qtText(form.extensions));
    m_files->setValue(form.files);
    m_filesInfinity->setChecked(form.filesInfinity);
    m_followFtp->setChecked(form.followFtp);
    m_form = form;
    drawState();
    present();
}

void DefaultTaskOptionsDialog::readControls() {
    if (!m_form) {
        return;
    }
    DefaultTaskOptionsForm& form = *m_form;
    form.dirTemplate = stdText(m_dirTemplate->text());
    form.startingDoc = stdText(m_startingDoc->text());
    form.trySlashes = m_trySlashes->isChecked();
    form.parse = m_parse->isChecked();
    form.pageRequisites = m_pageRequisites->isChecked();
    form.siteLayout = m_siteLayout->isChecked();
    form.startAtOnce = m_startAtOnce->isChecked();
    form.startAfter = m_startAfter->value();
    for (std::size_t choice = 0; choice < m_from.size(); ++choice) {
        if (m_from[choice]->isChecked()) {
            form.downloadFrom = static_cast<int>(choice) + 1;
        }
    }
    form.levels = m_levels->value();
    form.levelsInfinity = m_levelsInfinity->isChecked();
    form.extensions = stdText(m_extensions->text());
    form.files = m_files->value();
    form.filesInfinity = m_filesInfinity->isChecked();
    form.followFtp = m_followFtp->isChecked();
}

void DefaultTaskOptionsDialog::drawState() {
    if (!m_form) {
        return;
    }
    m_dirTemplate->setEnabled(m_form->dirTemplateEnabled());
    m_startAfter->setEnabled(!m_form->startAtOnce);
    m_levels->setEnabled(!m_form->levelsInfinity);
    m_files->setEnabled(!m_form->filesInfinity);
}

void DefaultTaskOptionsDialog::storeAndReport() {
    readControls();
    m_form->store(m_options);
    reports().post(WindowMessage::DefaultTaskOptionsAccepted);
}

}  // namespace quillharbor
