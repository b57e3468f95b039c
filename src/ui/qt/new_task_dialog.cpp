#include "ui/qt/new_task_dialog.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillharbor {

namespace {

constexpr int kHelpContext = 15;

}  // namespace

NewTaskDialog::NewTaskDialog(QWidget* parent, NewTaskParams& params, DesktopShell& shell,
                             ReportTarget reports)
    : OptionDialog(parent, QStringLiteral("New Task"), kHelpContext, shell, reports,
                   WindowMessage::NewTaskClosed),
      m_params(params) {
    auto* layout = new QVBoxLayout(this);
    m_pages = new QTabWidget;
    m_pages->addTab(mainPage(), QStringLiteral("&Main options"));
    m_pages->addTab(additionalPage(), QStringLiteral("&Additional options"));
    layout->addWidget(m_pages);
    addButtons(layout);

    for (QLineEdit* edit : {m_url, m_name, m_boundary, m_extensions, m_ftpUser, m_ftpPassword}) {
        connect(edit, &QLineEdit::textChanged, this, [this] {
            readControls();
            drawState();
        });
    }
    connect(m_url, &QLineEdit::editingFinished, this, [this] {
        m_form->urlEditLeft();
        drawState();
    });
    m_boundary->installEventFilter(this);
    for (QCheckBox* box : {m_levelsInfinity, m_filesInfinity, m_startAtOnce}) {
        connect(box, &QCheckBox::toggled, this, [this] {
            readControls();
            drawState();
        });
    }
}

QWidget* NewTaskDialog::mainPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* names = new QFormLayout;
    m_url = new QLineEdit;
    m_url->setMinimumWidth(320);
    m_name = new QLineEdit;
    names->addRow(QStringLiteral("Starting &URL"), m_url);
    names->addRow(QStringLiteral("Task &directory"), m_name);
    layout->addLayout(names);

    auto* boundaries = new QGroupBox(QStringLiteral(" Download boundaries "));
    auto* from = new QVBoxLayout(boundaries);
    from->addWidget(new QLabel(QStringLiteral("Download from:")));
    for (QRadioButton*& choice : m_from) {
        choice = new QRadioButton;
        from->addWidget(choice);
    }
    m_from[2]->setText(QStringLiteral("From anywhere"));
    m_boundary = new QLineEdit;
    from->addWidget(m_boundary);
    layout->addWidget(boundaries);

    auto* limits = new QGroupBox(QStringLiteral("Download files"));
    auto* rows = new QVBoxLayout(limits);
    m_levels = spinBox(NewTaskForm::kLevels);
    m_levelsInfinity = new QCheckBox(QStringLiteral("Infinity"));
    rows->addLayout(
        limitRow(m_levels, QStringLiteral("links away from the starting doc"), m_levelsInfinity));
    m_files = spinBox(NewTaskForm::kFiles);
    m_filesInfinity = new QCheckBox(QStringLiteral("Infinity"));
    rows->addLayout(limitRow(m_files, QStringLiteral("files"), m_filesInfinity));
    layout->addWidget(limits);
    layout->addStretch();
    return page;
}

QWidget* NewTaskDialog::additionalPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    m_startAtOnce = new QCheckBox(QStringLiteral("Start &at once"));
    m_startAfter = spinBox(NewTaskForm::kStartAfter);
    auto* start = new QHBoxLayout;
    start->addWidget(m_startAtOnce);
    start->addSpacing(12);
    start->addWidget(new QLabel(QStringLiteral("Start after")));
    start->addWidget(m_startAfter);
    start->addWidget(new QLabel(QStringLiteral("minutes")));
    start->addStretch();
    layout->addLayout(start);
    m_trySlashes = new QCheckBox(QStringLiteral("Try trailing slashes"));
    m_parse = new QCheckBox(QStringLiteral("Parse retrieved files"));
    layout->addWidget(m_trySlashes);
    layout->addWidget(m_parse);
    addOfflineCopyBoxes(layout, m_pageRequisites, m_siteLayout);

    auto* follow = new QGroupBox(QStringLiteral(" Follow child links for "));
    auto* kinds = new QVBoxLayout(follow);
    const char* captions[] = {"Text only", "Graphics only", "All files"};
    for (std::size_t kind = 0; kind < m_kinds.size(); ++kind) {
        m_kinds[kind] = new QRadioButton(QString::fromLatin1(captions[kind]));
        kinds->addWidget(m_kinds[kind]);
    }
    kinds->addWidget(new QLabel(QStringLiteral("Only files with extensions")));
    m_extensions = new QLineEdit;
    kinds->addWidget(m_extensions);
    layout->addWidget(follow);

    m_followFtp = new QCheckBox(QStringLiteral("Follow child FTP links"));
    layout->addWidget(m_followFtp);
    auto* ftp = new QFormLayout;
    m_ftpUser = new QLineEdit;
    m_ftpPassword = new QLineEdit;
    m_ftpPassword->setEchoMode(QLineEdit::Password);
    ftp->addRow(QStringLiteral("FTP user name"), m_ftpUser);
    ftp->addRow(QStringLiteral("FTP password"), m_ftpPassword);
    layout->addLayout(ftp);
    m_skipCertificateCheck = new QCheckBox(QStringLiteral("Do not verify https certificates"));
    layout->addWidget(m_skipCertificateCheck);
    layout->addStretch();
    return page;
}

void NewTaskDialog::showFor(const NewTaskForm& form) {
    // Filled without reporting each control back: the form is already what they show.
    m_form.reset();
    m_pages->setCurrentIndex(0);
    m_url->setText(qtText(form.url));
    m_name->setText(qtText(form.name));
    m_from[static_cast<std::size_t>(form.downloadFrom - 1)]->setChecked(true);
    m_boundary->clear();
    m_levels->setValue(form.levels);
    m_levelsInfinity->setChecked(form.levelsInfinity);
    m_files->setValue(form.files);
    m_filesInfinity->setChecked(form.filesInfinity);
    m_startAtOnce->setChecked(form.startAtOnce);
    m_startAfter->setValue(form.startAfter);
    m_trySlashes->setChecked(form.trySlashes);
    m_parse->setChecked(form.parse);
    m_pageRequisites->setChecked(form.pageRequisites);
    m_siteLayout->setChecked(form.siteLayout);
    m_kinds[static_cast<std::size_t>(form.fileKinds)]->setChecked(true);
    m_extensions->setText(qtText(form.extensions));
    m_followFtp->setChecked(form.followFtp);
    m_ftpUser->setText(qtText(form.ftpUser));
    m_ftpPassword->setText(qtText(form.ftpPassword));
    m_skipCertificateCheck->setChecked(form.skipCertificateCheck);
    m_form = form;
    drawState();
    present();
    m_url->setFocus();
}

void NewTaskDialog::readControls() {
    if (!m_form) {
        return;
    }
    NewTaskForm& form = *m_form;
    form.url = stdText(m_url->text());
    form.name = stdText(m_name->text());
    for (std::size_t choice = 0; choice < m_from.size(); ++choice) {
        if (m_from[choice]->isChecked()) {
            form.downloadFrom = static_cast<int>(choice) + 1;
        }
    }
    form.boundary = stdText(m_boundary->text());
    form.levels = m_levels->value();
    form.levelsInfinity = m_levelsInfinity->isChecked();
    form.files = m_files->value();
    form.filesInfinity = m_filesInfinity->isChecked();
    form.startAtOnce = m_startAtOnce->isChecked();
    form.startAfter = m_startAfter->value();
    form.trySlashes = m_trySlashes->isChecked();
    form.parse = m_parse->isChecked();
    form.pageRequisites = m_pageRequisites->isChecked();
    form.siteLayout = m_siteLayout->isChecked();
    for (std::size_t kind = 0; kind < m_kinds.size(); ++kind) {
        if (m_kinds[kind]->isChecked()) {
            form.fileKinds = static_cast<FileKinds>(kind);
        }
    }
    form.extensions = stdText(m_extensions->text());
    form.followFtp = m_followFtp->isChecked();
    form.ftpUser = stdText(m_ftpUser->text());
    form.ftpPassword = stdText(m_ftpPassword->text());
    form.skipCertificateCheck = m_skipCertificateCheck->isChecked();
}

void NewTaskDialog::drawState() {
    if (!m_form) {
        return;
    }
    const NewTaskForm& form = *m_form;
    m_from[0]->setText(qtText(form.hostChoiceCaption()));
    m_from[1]->setText(qtText(form.directoryChoiceCaption()));
    for (QRadioButton* choice : m_from) {
        choice->setEnabled(form.boundaryChoicesEnabled());
    }
    for (QRadioButton* kind : m_kinds) {
        kind->setEnabled(form.fileKindsEnabled());
    }
    m_levels->setEnabled(!form.levelsInfinity);
    m_files->setEnabled(!form.filesInfinity);
    m_startAfter->setEnabled(!form.startAtOnce);
    okButton()->setEnabled(form.okEnabled());
}

bool NewTaskDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_boundary && event->type() == QEvent::FocusIn && m_form) {
        readControls();
        m_form->boundaryEditEntered();
        m_boundary->setText(qtText(m_form->boundary));
    }
    return OptionDialog::eventFilter(watched, event);
}

void NewTaskDialog::storeAndReport() {
    readControls();
    m_form->store(m_params);
    reports().post(EngineMessage::CreateTask);
}

}  // namespace quillharbor
