#include "ui/global_options_form.h"

namespace quillharbor {

namespace {

constexpr int kPauseFactor = 5;

std::string withTrailingSlash(std::string directory) {
    if (directory.empty() || directory.back() != '/') {
        directory += '/';
    }
    return directory;
}

}  // namespace

GlobalOptionsForm::GlobalOptionsForm(const GlobalOptions& options, DialUpSupport dialUp)
    : taskRoot(options.TaskRoot),
      saveSeparate(options.SaveSeparate),
      alwaysRetrieve(options.AlwaysRetrieve),
      forceFtpRetrieve(options.ForceFTPRetrieve),
      retryOnFails(options.RetryOnFails),
      useRasCtrl(options.UseRasCtrl),
      breakConnection(options.BreakConnection),
      fastDispatch(options.FastDispatch),
      maxHttpConns(kConnections.clamp(options.MaxHTTPConns)),
      maxConnsPerHost(kPerHost.clamp(options.MaxConnsPerHost)),
      pause(kPause.clamp(options.Pause / kPauseFactor)),
      obeyRobots(options.ObeyRobotExclusion),
      httpTimeout(kTimeout.clamp(options.HTTPTimeout)),
      useHttpProxy(options.UseHTTPProxy),
      httpProxyName(options.HTTPProxyName),
      httpProxyPort(options.HTTPProxyPort),
      httpProxyUser(options.HTTPProxyUser),
      httpProxyPassword(options.HTTPProxyPassword),
      savePassword(options.SavePassword),
      https(options.HTTPS),
      verifyCertificates(options.VerifyCertificates),
      keepAlive(options.KeepAlive),
      maxFtpConns(kConnections.clamp(options.MaxFTPConns)),
      defUser(options.DefUser),
      defPassword(options.DefPassword),
      ftpTimeout(kTimeout.clamp(options.FTPTimeout)),
      useFtpProxy(options.UseFTPProxy),
      ftpProxyName(options.FTPProxyName),
      m_dialUp(dialUp) {
    for (std::size_t box = 0; box < notify.size(); ++box) {
        notify[box] = (options.Notify & kNotifyBits[box]) != 0;
    }
}

std::string GlobalOptionsForm::otherChoiceCaption() const {
    return saveSeparate ? "Copy the local file" : "Link to the local file";
}

void GlobalOptionsForm::store(GlobalOptions& options) const {
    options.NameAuto = true;
    options.TaskRoot = withTrailingSlash(taskRoot);
    options.SaveSeparate = saveSeparate;
    options.AlwaysRetrieve = alwaysRetrieve;
    options.ForceFTPRetrieve = forceFtpRetrieve;
    options.BreakConnection = breakConnection;
    options.MaxHTTPConns = static_cast<std::uint16_t>(maxHttpConns);
    options.MaxConnsPerHost = static_cast<std::uint16_t>(maxConnsPerHost);
    // Up to 10000 shown: 50000 still fits the 16-bit setting.
    options.Pause = static_cast<std::uint16_t>(pause * kPauseFactor);
    options.ObeyRobotExclusion = obeyRobots;
    options.HTTPTimeout = static_cast<std::uint16_t>(httpTimeout);
    options.UseHTTPProxy = useHttpProxy;
    options.HTTPProxyName = httpProxyName;
    options.HTTPProxyPort = httpProxyPort;
    options.HTTPProxyUser = httpProxyUser;
    options.HTTPProxyPassword = httpProxyPassword;
    options.SavePassword = savePassword;
    options.MaxFTPConns = static_cast<std::uint16_t>(maxFtpConns);
    options.DefUser = defUser;
    options.DefPassword = defPassword;
    options.FTPTimeout = static_cast<std::uint16_t>(ftpTimeout);
    options.UseFTPProxy = useFtpProxy;
    options.FTPProxyName = ftpProxyName;
    options.Notify = 0;
    for (std::size_t box = 0; box < notify.size(); ++box) {
        if (notify[box]) {
            options.Notify = static_cast<std::uint16_t>(options.Notify | kNotifyBits[box]);
        }
    }
    options.RetryOnFails = retryOnFails;
    options.UseRasCtrl = useRasCtrl;
    options.HTTPS = https;
    options.VerifyCertificates = verifyCertificates;
    options.FastDispatch = fastDispatch;
    options.KeepAlive = keepAlive;
}

std::string chooserStartDirectory(const std::string& typed, bool typedExists) {
    return typedExists && !typed.empty() ? typed : "/";
}

std::string chosenDirectory(const std::string& picked) {
    return withTrailingSlash(picked);
}

}  // namespace quillharbor
