#include "ui/qt/desktop_session.h"

#include "platform/profile.h"
#include "storage/settings_file.h"

namespace quillharbor {

namespace {

bool namesTaskRoot(const std::string& programDir) {
    Result<Profile> profile = Profile::load(configurationFilePath(programDir));
    return profile.ok() && profile.value().find("General", "TaskRoot").has_value();
}

}  // namespace

DesktopSession::DesktopSession(const std::string& programDir, const std::string& defaultTaskRoot)
    : m_model(m_shell, m_dialogs, m_shell),
      m_reports(
          m_loop, m_model,
          {.exitConfirmed = [this] { forceClose(); },
           .notificationClosed = [this](std::size_t slot) { m_dialogs.FreeNotification(slot); },
           .exitRequested = [this] { m_window->close(); }}),
      m_drop(m_loop),
      m_rewriter(m_loop, m_model),
      m_slots(m_loop),
      m_engine(EngineServices{.loop = m_loop,
                              .view = m_model,
                              .drop = m_drop,
                              .dialUp = m_dialUp,
                              .intake = m_intake,
                              .rewriter = m_rewriter,
                              .slots = &m_slots,
                              .dropReports = m_reports.handle()},
               programDir),
      m_dropControls(m_drop, m_engine.globalOptions()) {
    // A new program directory downloads where the desktop keeps downloads, not inside itself.
    if (!namesTaskRoot(programDir)) {
        m_engine.globalOptions().TaskRoot = defaultTaskRoot;
    }
    m_rewriter.attach(m_engine.state());
    m_reports.attach(m_engine);
    m_model.attach(m_engine);
    m_model.attachDropWindow(m_dropControls);
    m_drop.placeAt(positionFromText(m_engine.globalOptions().DropWindowPosition));
    m_window = std::make_unique<MainWindow>(m_model, m_shell, [this] { closeSteps(); });
    m_dialogs.attach(m_window.get(), m_engine, m_shell, m_reports.target());
}

DesktopSession::~DesktopSession() {
    m_notifier.reset();
    m_window.reset();
    m_rewriter.stop();
}

void DesktopSession::show() {
    m_dropControls.startUp();
    m_engine.LoadAllTasks();
    m_model.UpdateCommands();
    m_window->show();
    m_notifier = std::make_unique<LoopNotifier>(m_loop);
    m_engine.DetectDialup();
    m_engine.StartScheduler();
}

void DesktopSession::forceClose() {
    m_model.confirmExit();
    m_window->close();
}

void DesktopSession::halt() {
    // Without the notifier the engine's loop no longer runs: no scheduler tick, no report.
    m_notifier.reset();
    m_rewriter.requestStop();
    m_engine.HangUpAfterError();
}

void DesktopSession::closeSteps() {
    m_rewriter.stop();
    m_engine.globalOptions().DropWindowPosition = positionText(m_drop.position());
    m_saved = m_engine.SaveAtClose();
    m_notifier.reset();
    m_dialogs.closeAll();
}

}  // namespace quillharbor
