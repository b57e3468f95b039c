#include "engine/engine.h"

#include <chrono>
#include <utility>

#include "engine/held_hosts.h"
#include "storage/settings_file.h"

namespace quillharbor {

namespace {

constexpr const char* kAgentText = "Mozilla/3.0(compatible)";

std::string asDirectory(std::string path) {
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    return path;
}

}  // namespace

Engine::Engine(EngineServices services, std::string programDir)
    : m_services(services),
      m_programDir(asDirectory(std::move(programDir))),
      m_handle(services.loop.add(*this)),
      m_context{services, m_state, m_global, m_defaults, m_programDir, m_handle},
      m_creator(m_context),
      m_commands(m_context),
      m_objects(m_context),
      m_dialUp(m_context, m_commands),
      m_taskEnd(m_context, m_dialUp),
      m_loader(m_context),
      m_results(m_context, m_dialUp),
      m_scheduler(m_context) {
    m_services.drop.CreateDropWindow(m_services.dropReports != 0 ? m_services.dropReports
                                                                 : m_handle);
    SetDefaultSettings(m_global, m_defaults, m_programDir);
    if (Status loaded = LoadSettings(m_global, m_defaults, m_programDir); !loaded) {
        // The built-in defaults stay in effect; the user should know their settings were not.
        m_services.view.ShowNotification(loaded.error().text);
    }
    // Both before the slots are made, so that every slot carries them.
    m_state.AgentText = kAgentText;
    m_state.MainWindow = m_handle;
    ApplySettings();
}

Engine::~Engine() {
    // First, so that nothing the teardown posts reaches a half-destroyed engine.
    m_services.loop.remove(m_handle);
    m_state.FreeSlots();
    m_state.Queue.clear();
    m_state.SeenList.clear();
    m_state.WaitList.clear();
    m_state.TaskList.FreeTaskList();
    m_state.HostExclList.HostExclClear();
    m_state.DisallowList.clear();
    m_services.drop.DestroyDropWindow();
}

void Engine::ApplySettings() {
    m_state.RetryOnFails = m_global.RetryOnFails;
    m_state.SaveSeparate = m_global.SaveSeparate;
    m_state.AlwaysRetrieve = m_global.AlwaysRetrieve;
    m_state.ForceFTPRetrieve = m_global.ForceFTPRetrieve;
    m_state.ObeyRobots = m_global.ObeyRobotExclusion;
    m_state.Https = m_global.HTTPS;
    m_state.VerifyCertificates = m_global.VerifyCertificates;
    m_state.KeepAlive = m_global.KeepAlive;
    // The disallow list is kept: every host in the host list is known and never asked again,
    // so emptying it would lift the rules of those hosts for the rest of the run.
    m_state.FreeSlots();
    m_state.DefaultFtpPassword = m_global.DefPassword;
    m_state.DefaultFtpUser = m_global.DefUser;
    m_state.CreateSlots(m_services.slots, m_global.MaxHTTPConns, m_global.MaxFTPConns);

    FtpSlotSettings ftp;
    ftp.Timeout = m_global.FTPTimeout;
    ftp.UserName = m_global.DefUser;
    ftp.Password = m_global.DefPassword;
    if (m_global.UseFTPProxy) {
        ftp.ProxyServer = m_global.FTPProxyName;
    }
    for (const auto& slot : m_state.FtpSlots) {
        slot->configure(ftp);
    }
    // The HTTP time-out is not the slot's: the scheduler enforces it.
    HttpProxySettings proxy;
    if (m_global.UseHTTPProxy) {
        proxy = {m_global.HTTPProxyName, m_global.HTTPProxyPort, m_global.HTTPProxyPassword,
                 m_global.HTTPProxyUser};
    }
    for (const auto& slot : m_state.HttpSlots) {
        slot->setProxy(proxy);
    }
    m_defaults.SaveSeparate = m_global.SaveSeparate;
}

void Engine::StartScheduler() {
    if (m_timer == 0) {
        m_timer = m_services.loop.startTimer(m_handle, std::chrono::milliseconds(200));
    }
}

void Engine::LoadAllTasks() {
    m_loader.LoadAllTasks();
    restoreHeldHosts(m_context);
}

bool Engine::SaveAtClose() {
    // No tick may change a task between its save and the engine's end.
    if (m_timer != 0) {
        m_services.loop.stopTimer(m_timer);
        m_timer = 0;
    }
    bool saved = true;
    const auto report = [&](const Error& error) {
        m_services.view.ShowNotification(error.text);
        saved = false;
    };
    if (Status settings = SaveSettings(m_global, m_defaults, m_programDir); !settings) {
        report(settings.error());
    }
    for (const TTask& task : m_state.TaskList) {
        if (Status written = m_services.taskFiles.WriteTaskFile(task, m_context.taskFilePath(task));
            !written) {
            report(written.error());
        }
    }
    if (Status held = saveHeldHosts(m_context); !held) {
        report(held.error());
    }
    return saved;
}

}  // namespace quillharbor
