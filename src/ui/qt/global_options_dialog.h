#pragma once

#include <array>
#include <optional>

#include "storage/global_options.h"
#include "ui/global_options_form.h"
#include "ui/qt/option_dialog.h"

class QCheckBox;
class QFileDialog;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace quillharbor {

// "Global Options Setup": the program-wide settings on four pages. OK stores them and posts the
// engine's ApplySettings report, which rebuilds the transfer slots.
class GlobalOptionsDialog final : public OptionDialog {
    Q_OBJECT
public:
    GlobalOptionsDialog(QWidget* parent, GlobalOptions& options, DesktopShell& shell,
                        ReportTarget reports);

    // Fills the controls from the settings as they are now and shows the dialog.
    void showCurrent(DialUpSupport dialUp);

    QTabWidget* pages() const { return m_pages; }
    QLineEdit* taskRootEdit() const { return m_taskRoot; }
    QToolButton* browseButton() const { return m_browse; }
    QFileDialog* directoryChooser() const { return m_chooser; }
    QCheckBox* saveSeparateBox() const { return m_saveSeparate; }
    QRadioButton* otherChoice() const { return m_linkOrCopy; }
    QSpinBox* httpConnectionsSpin() const { return m_maxHttpConns; }
    QSpinBox* pauseSpin() const { return m_pause; }
    QCheckBox* httpProxyBox() const { return m_useHttpProxy; }
    QLineEdit* httpProxyNameEdit() const { return m_httpProxy[0]; }
    QCheckBox* httpsBox() const { return m_https; }
    QCheckBox* verifyCertificatesBox() const { return m_verifyCertificates; }

protected:
    void storeAndReport() override;
    int helpContext() const override;

private:
    QWidget* generalPage();
    QWidget* httpPage();
    QWidget* ftpPage();
    QWidget* notificationsPage();
    void readControls();
    void drawState();
    void showDirectoryChooser();

    GlobalOptions& m_options;
    std::optional<GlobalOptionsForm> m_form;
    QTabWidget* m_pages = nullptr;
    QFileDialog* m_chooser = nullptr;
    // General
    QLineEdit* m_taskRoot = nullptr;
    QToolButton* m_browse = nullptr;
    QCheckBox* m_saveSeparate = nullptr;
    QRadioButton* m_retrieveAgain = nullptr;
    QRadioButton* m_linkOrCopy = nullptr;
    QCheckBox* m_forceFtp = nullptr;
    QCheckBox* m_retryOnFails = nullptr;
    QCheckBox* m_useRasCtrl = nullptr;
    QCheckBox* m_breakConnection = nullptr;
    QCheckBox* m_fastDispatch = nullptr;
    // HTTP
    QSpinBox* m_maxHttpConns = nullptr;
    QSpinBox* m_maxConnsPerHost = nullptr;
    QSpinBox* m_pause = nullptr;
    QCheckBox* m_obeyRobots = nullptr;
    QSpinBox* m_httpTimeout = nullptr;
    QCheckBox* m_useHttpProxy = nullptr;
    std::array<QLineEdit*, 4> m_httpProxy{};  // name, port, user, password
    QCheckBox* m_savePassword = nullptr;
    QCheckBox* m_https = nullptr;
    QCheckBox* m_verifyCertificates = nullptr;
    QCheckBox* m_keepAlive = nullptr;
    // FTP
    QSpinBox* m_maxFtpConns = nullptr;
    QLineEdit* m_defUser = nullptr;
    QLineEdit* m_defPassword = nullptr;
    QSpinBox* m_ftpTimeout = nullptr;
    QCheckBox* m_useFtpProxy = nullptr;
    QLineEdit* m_ftpProxy = nullptr;
    // Notifications
    std::array<QCheckBox*, 6> m_notify{};
};

}  // namespace quillharbor
