#include "ui/qt/global_options_dialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillharbor {

namespace {

constexpr int kHelpContext = 9;
constexpr int kFirstPageHelpContext = 10;
constexpr QSize kChooserSize(720, 440);

QLineEdit* passwordEdit() {
    auto* edit = new QLineEdit;
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

}  // namespace

GlobalOptionsDialog::GlobalOptionsDialog(QWidget* parent, GlobalOptions& options,
                                         DesktopShell& shell, ReportTarget reports)
    : OptionDialog(parent, QStringLiteral("Global Options Setup"), kHelpContext, shell, reports,
                   WindowMessage::GlobalOptionsClosed),
      m_options(options) {
    auto* layout = new QVBoxLayout(this);
    m_pages = new QTabWidget;
    m_pages->addTab(generalPage(), QStringLiteral("&General"));
    m_pages->addTab(httpPage(), QStringLiteral("&HTTP"));
    m_pages->addTab(ftpPage(), QStringLiteral("&FTP"));
    m_pages->addTab(notificationsPage(), QStringLiteral("&Notifications"));
    layout->addWidget(m_pages);
    addButtons(layout);
    for (QCheckBox* box : {m_saveSeparate, m_useHttpProxy, m_useFtpProxy, m_https}) {
        connect(box, &QCheckBox::toggled, this, [this] {
            readControls();
            drawState();
        });
    }
    connect(m_browse, &QToolButton::clicked, this, [this] { showDirectoryChooser(); });
}

QWidget* GlobalOptionsDialog::generalPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* tasks = new QGroupBox(QStringLiteral("Tasks"));
    auto* taskRows = new QVBoxLayout(tasks);
    taskRows->addWidget(new QLabel(QStringLiteral("Tasks' root directory")));
    auto* root = new QHBoxLayout;
    m_taskRoot = new QLineEdit;
    m_taskRoot->setMinimumWidth(300);
    m_browse = new QToolButton;
    m_browse->setIcon(QIcon::fromTheme("folder-open"));
    m_browse->setText(QStringLiteral("..."));
    m_browse->setToolTip(QStringLiteral("Browse"));
    root->addWidget(m_taskRoot, 1);
    root->addWidget(m_browse);
    taskRows->addLayout(root);
    m_saveSeparate = new QCheckBox(QStringLiteral("Save tasks in separate directories"));
    taskRows->addWidget(m_saveSeparate);
    layout->addWidget(tasks);

    auto* files = new QGroupBox(QStringLiteral("Files"));
    auto* fileRows = new QVBoxLayout(files);
    auto* already = new QLabel(QStringLiteral(
        "If the queued file has been already retrieved by another task during this session -"));
    already->setWordWrap(true);
    fileRows->addWidget(already);
    m_retrieveAgain = new QRadioButton(QStringLiteral("Retrieve it again"));
    m_linkOrCopy = new QRadioButton;
    fileRows->addWidget(m_retrieveAgain);
    fileRows->addWidget(m_linkOrCopy);
    m_forceFtp = new QCheckBox(QStringLiteral("Force FTP downloads"));
    fileRows->addWidget(m_forceFtp);
    layout->addWidget(files);

    m_retryOnFails = new QCheckBox(QStringLiteral("Retry on network failures"));
    layout->addWidget(m_retryOnFails);
    m_fastDispatch = new QCheckBox(QStringLiteral(
        "Fast dispatch: a free slot starts its next file at once (only for servers you may load)"));
    layout->addWidget(m_fastDispatch);
    auto* connections = new QGroupBox(QStringLiteral("Connections"));
    auto* connectionRows = new QVBoxLayout(connections);
    m_useRasCtrl = new QCheckBox(
        QStringLiteral("Use Dialwatch.dll (must restart program after changing this)."));
    m_breakConnection =
        new QCheckBox(QStringLiteral("Break Internet connection when program becomes idle"));
    connectionRows->addWidget(m_useRasCtrl);
    connectionRows->addWidget(m_breakConnection);
    layout->addWidget(connections);
    layout->addStretch();
    return page;
}

QWidget* GlobalOptionsDialog::httpPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* numbers = new QFormLayout;
    m_maxHttpConns = spinBox(GlobalOptionsForm::kConnections);
    m_pause = spinBox(GlobalOptionsForm::kPause, GlobalOptionsForm::kPauseStep);
    m_httpTimeout = spinBox(GlobalOptionsForm::kTimeout);
    numbers->addRow(QStringLiteral("Maximumn number of parallel HTTP connections"), m_maxHttpConns);
    m_maxConnsPerHost = spinBox(GlobalOptionsForm::kPerHost);
    numbers->addRow(QStringLiteral("Connections to one host at once (0: no limit)"),
                    m_maxConnsPerHost);
    numbers->addRow(QStringLiteral("Pause between the connections, milliseconds "), m_pause);
    layout->addLayout(numbers);
    m_obeyRobots = new QCheckBox(QStringLiteral("Obey robot exclusion protocol"));
    layout->addWidget(m_obeyRobots);
    m_https = new QCheckBox(QStringLiteral("Fetch https:// URLs"));
    m_verifyCertificates = new QCheckBox(QStringLiteral("Verify the servers' certificates"));
    layout->addWidget(m_https);
    layout->addWidget(m_verifyCertificates);
    m_keepAlive = new QCheckBox(
        QStringLiteral("Keep connections: a slot fetches its next file of the same server on one"));
    layout->addWidget(m_keepAlive);
    auto* timeout = new QFormLayout;
    timeout->addRow(QStringLiteral("HTTP timeout, minutes "), m_httpTimeout);
    layout->addLayout(timeout);

    auto* proxy = new QGroupBox(QStringLiteral("Proxy"));
    auto* proxyLayout = new QVBoxLayout(proxy);
    m_useHttpProxy = new QCheckBox(QStringLiteral("Use Proxy server"));
    proxyLayout->addWidget(m_useHttpProxy);
    auto* proxyRows = new QFormLayout;
    m_httpProxy = {new QLineEdit, new QLineEdit, new QLineEdit, passwordEdit()};
    const char* labels[] = {"Proxy name", "Proxy Port", "Proxy user name", "Proxy password"};
    for (std::size_t row = 0; row < m_httpProxy.size(); ++row) {
        proxyRows->addRow(QString::fromLatin1(labels[row]), m_httpProxy[row]);
    }
    proxyLayout->addLayout(proxyRows);
    m_savePassword = new QCheckBox(QStringLiteral("Save password"));
    proxyLayout->addWidget(m_savePassword);
    layout->addWidget(proxy);
    layout->addStretch();
    return page;
}

QWidget* GlobalOptionsDialog::ftpPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* rows = new QFormLayout;
    m_maxFtpConns = spinBox(GlobalOptionsForm::kConnections);
    m_defUser = new QLineEdit;
    m_defPassword = passwordEdit();
    m_ftpTimeout = spinBox(GlobalOptionsForm::kTimeout);
    rows->addRow(QStringLiteral("Maximum number of parallel FTP connections"), m_maxFtpConns);
    rows->addRow(QStringLiteral("Default user name"), m_defUser);
    rows->addRow(QStringLiteral("Default password"), m_defPassword);
    rows->addRow(QStringLiteral("FTP timeout, minutes "), m_ftpTimeout);
    layout->addLayout(rows);
    auto* proxy = new QGroupBox(QStringLiteral("Proxy"));
    auto* proxyLayout = new QVBoxLayout(proxy);
    m_useFtpProxy = new QCheckBox(QStringLiteral("Use Proxy server"));
    proxyLayout->addWidget(m_useFtpProxy);
    auto* proxyRows = new QFormLayout;
    m_ftpProxy = new QLineEdit;
    proxyRows->addRow(QStringLiteral("Proxy name"), m_ftpProxy);
    proxyLayout->addLayout(proxyRows);
    layout->addWidget(proxy);
    layout->addStretch();
    return page;
}

QWidget* GlobalOptionsDialog::notificationsPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(QStringLiteral("Notify when: "));
    auto* rows = new QVBoxLayout(group);
    const char* captions[] = {
        "Task is started",      "Task is finished",           "Internet connection is broken",
        "Program becomes idle", "Protocol error has occured", "Network error has occured"};
    for (std::size_t box = 0; box < m_notify.size(); ++box) {
        m_notify[box] = new QCheckBox(QString::fromLatin1(captions[box]));
        rows->addWidget(m_notify[box]);
    }
    layout->addWidget(group);
    layout->addStretch();
    return page;
}

void GlobalOptionsDialog::showCurrent(DialUpSupport dialUp) {
    m_form.reset();
    const GlobalOptionsForm form(m_options, dialUp);
    m_taskRoot->setText(qtText(form.taskRoot));
    m_saveSeparate->setChecked(form.saveSeparate);
    (form.alwaysRetrieve ? m_retrieveAgain : m_linkOrCopy)->setChecked(true);
    m_forceFtp->setChecked(form.forceFtpRetrieve);
    m_retryOnFails->setChecked(form.retryOnFails);
    m_useRasCtrl->setChecked(form.useRasCtrl);
    m_breakConnection->setChecked(form.breakConnection);
    m_fastDispatch->setChecked(form.fastDispatch);
    m_maxHttpConns->setValue(form.maxHttpConns);
    m_maxConnsPerHost->setValue(form.maxConnsPerHost);
    m_pause->setValue(form.pause);
    m_obeyRobots->setChecked(form.obeyRobots);
    m_httpTimeout->setValue(form.httpTimeout);
    m_useHttpProxy->setChecked(form.useHttpProxy);
    const std::array<const std::string*, 4> proxy = {&form.httpProxyName, &form.httpProxyPort,
                                                     &form.httpProxyUser, &form.httpProxyPassword};
    for (std::size_t row = 0; row < m_httpProxy.size(); ++row) {
        m_httpProxy[row]->setText(qtText(*proxy[row]));
    }
    m_savePassword->setChecked(form.savePassword);
    m_https->setChecked(form.https);
    m_verifyCertificates->setChecked(form.verifyCertificates);
    m_keepAlive->setChecked(form.keepAlive);
    m_maxFtpConns->setValue(form.maxFtpConns);
    m_defUser->setText(qtText(form.defUser));
    m_defPassword->setText(qtText(form.defPassword));
    m_ftpTimeout->setValue(form.ftpTimeout);
    m_useFtpProxy->setChecked(form.useFtpProxy);
    m_ftpProxy->setText(qtText(form.ftpProxyName));
    for (std::size_t box = 0; box < m_notify.size(); ++box) {
        m_notify[box]->setChecked(form.notify[box]);
    }
    m_form = form;
    drawState();
    present();
}

void GlobalOptionsDialog::readControls() {
    if (!m_form) {
        return;
    }
    GlobalOptionsForm& form = *m_form;
    form.taskRoot = stdText(m_taskRoot->text());
    form.saveSeparate = m_saveSeparate->isChecked();
    form.alwaysRetrieve = m_retrieveAgain->isChecked();
    form.forceFtpRetrieve = m_forceFtp->isChecked();
    form.retryOnFails = m_retryOnFails->isChecked();
    form.useRasCtrl = m_useRasCtrl->isChecked();
    form.breakConnection = m_breakConnection->isChecked();
    form.fastDispatch = m_fastDispatch->isChecked();
    form.maxHttpConns = m_maxHttpConns->value();
    form.maxConnsPerHost = m_maxConnsPerHost->value();
    form.pause = m_pause->value();
    form.obeyRobots = m_obeyRobots->isChecked();
    form.httpTimeout = m_httpTimeout->value();
    form.useHttpProxy = m_useHttpProxy->isChecked();
    form.httpProxyName = stdText(m_httpProxy[0]->text());
    form.httpProxyPort = stdText(m_httpProxy[1]->text());
    form.httpProxyUser = stdText(m_httpProxy[2]->text());
    form.httpProxyPassword = stdText(m_httpProxy[3]->text());
    form.savePassword = m_savePassword->isChecked();
    form.https = m_https->isChecked();
    form.verifyCertificates = m_verifyCertificates->isChecked();
    form.keepAlive = m_keepAlive->isChecked();
    form.maxFtpConns = m_maxFtpConns->value();
    form.defUser = stdText(m_defUser->text());
    form.defPassword = stdText(m_defPassword->text());
    form.ftpTimeout = m_ftpTimeout->value();
    form.useFtpProxy = m_useFtpProxy->isChecked();
    form.ftpProxyName = stdText(m_ftpProxy->text());
    for (std::size_t box = 0; box < m_notify.size(); ++box) {
        form.notify[box] = m_notify[box]->isChecked();
    }
}

void GlobalOptionsDialog::drawState() {
    if (!m_form) {
        return;
    }
    const GlobalOptionsForm& form = *m_form;
    m_linkOrCopy->setText(qtText(form.otherChoiceCaption()));
    for (QLineEdit* edit : m_httpProxy) {
        edit->setEnabled(form.httpProxyEnabled());
    }
    m_savePassword->setEnabled(form.httpProxyEnabled());
    m_ftpProxy->setEnabled(form.ftpProxyEnabled());
    m_verifyCertificates->setEnabled(form.verifyCertificatesEnabled());
    m_useRasCtrl->setEnabled(form.useRasCtrlEnabled());
    m_breakConnection->setEnabled(form.breakConnectionEnabled());
    for (std::size_t box = 0; box < m_notify.size(); ++box) {
        m_notify[box]->setEnabled(form.notifyEnabled(box));
    }
}

void GlobalOptionsDialog::showDirectoryChooser() {
    if (m_chooser == nullptr) {
        m_chooser = new QFileDialog(this, QStringLiteral("New Task Root Directory"));
        m_chooser->setFileMode(QFileDialog::Directory);
        m_chooser->setOption(QFileDialog::ShowDirsOnly);
        // The same picker everywhere, and one that works with no desktop portal.
        m_chooser->setOption(QFileDialog::DontUseNativeDialog);
        m_chooser->setModal(false);
        // Wide enough for the folders' dates.
        m_chooser->resize(kChooserSize);
        connect(m_chooser, &QFileDialog::fileSelected, this, [this](const QString& picked) {
            m_taskRoot->setText(qtText(chosenDirectory(stdText(picked))));
        });
    }
    const QString typed = m_taskRoot->text();
    m_chooser->setDirectory(
        qtText(chooserStartDirectory(stdText(typed), QFileInfo(typed).isDir())));
    m_chooser->show();
    m_chooser->raise();
}

int GlobalOptionsDialog::helpContext() const {
    return kFirstPageHelpContext + m_pages->currentIndex();
}

void GlobalOptionsDialog::storeAndReport() {
    readControls();
    m_form->store(m_options);
    reports().post(EngineMessage::ApplySettings);
}

}  // namespace quillharbor
