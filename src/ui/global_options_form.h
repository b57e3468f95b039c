#pragma once

#include <array>
#include <string>

#include "engine/dial_up.h"
#include "storage/global_options.h"
#include "ui/option_controls.h"

namespace quillharbor {

// The Global Options Setup dialog's controls as plain values, loaded from and stored into the
// program-wide settings. The pause is shown in fifths of what the setting holds.
class GlobalOptionsForm {
public:
    static constexpr SpinRange kConnections{1, 16};
    static constexpr SpinRange kPerHost{0, 16};  // 0: no cap
    static constexpr SpinRange kPause{0, 10000};
    static constexpr int kPauseStep = 200;
    static constexpr SpinRange kTimeout{1, 16};
    // The notification boxes in order, each with the Notify bit it stands for.
    static constexpr std::array<std::uint16_t, 6> kNotifyBits = {1, 2, 4, 8, 16, 32};
    static constexpr std::size_t kConnectionBrokenBox = 2;

    // dialUp: what start-up found of dial-up control. Without the module the controls about
    // breaking the connection are disabled, and UseRasCtrl's too when the module was missing;
    // disabled controls still show and store their state.
    GlobalOptionsForm(const GlobalOptions& options, DialUpSupport dialUp);

    // Page "General".
    std::string taskRoot;
    bool saveSeparate = false;
    bool alwaysRetrieve = false;  // "Retrieve it again"; otherwise the copy or link choice
    bool forceFtpRetrieve = false;
    bool retryOnFails = false;
    bool useRasCtrl = false;
    bool breakConnection = false;
    bool fastDispatch = false;
    // Page "HTTP".
    int maxHttpConns = 1;
    int maxConnsPerHost = 0;
    int pause = 0;  // as shown
    bool obeyRobots = false;
    int httpTimeout = 1;
    bool useHttpProxy = false;
    std::string httpProxyName;
    std::string httpProxyPort;
    std::string httpProxyUser;
    std::string httpProxyPassword;
    bool savePassword = false;
    bool https = false;
    bool verifyCertificates = false;
    bool keepAlive = false;
    // Page "FTP".
    int maxFtpConns = 1;
    std::string defUser;
    std::string defPassword;
    int ftpTimeout = 1;
    bool useFtpProxy = false;
    std::string ftpProxyName;
    // Page "Notifications", in the order of kNotifyBits.
    std::array<bool, 6> notify{};

    // The second choice for a file another task retrieved: a copy in a task directory of its
    // own, a link when every task saves into the same directory.
    std::string otherChoiceCaption() const;
    bool httpProxyEnabled() const { return useHttpProxy; }
    bool ftpProxyEnabled() const { return useFtpProxy; }
    // Certificates are verified only on https connections, which exist only with https on.
    bool verifyCertificatesEnabled() const { return https; }
    bool useRasCtrlEnabled() const { return m_dialUp != DialUpSupport::ModuleMissing; }
    bool breakConnectionEnabled() const { return m_dialUp == DialUpSupport::Loaded; }
    bool notifyEnabled(std::size_t box) const {
        return box != kConnectionBrokenBox || m_dialUp == DialUpSupport::Loaded;
    }

    // Writes the settings as OK does; the engine takes them when it applies the settings.
    void store(GlobalOptions& options) const;

private:
    DialUpSupport m_dialUp;
};

// The task root a folder picker starts in: the typed one when it exists, else "/". Picking
// nothing keeps the typed text.
std::string chooserStartDirectory(const std::string& typed, bool typedExists);
// The path a picked folder gives the task root edit: always ending with "/".
std::string chosenDirectory(const std::string& picked);

}  // namespace quillharbor
