#pragma once

#include <memory>
#include <string>

#include "clients/network_slot_factory.h"
#include "engine/dial_up_library.h"
#include "engine/engine.h"
#include "engine/engine_link_intake.h"
#include "engine/link_rewriter.h"
#include "platform/message_loop.h"
#include "ui/drop_window_controls.h"
#include "ui/main_window_model.h"
#include "ui/qt/dial_up_module_path.h"
#include "ui/qt/drop_window.h"
#include "ui/qt/loop_notifier.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_desktop_shell.h"
#include "ui/qt/qt_dialogs.h"
#include "ui/window_reports.h"

namespace quillharbor {

// The desktop program's run: the loop (driven from Qt's), the engine with real transfer slots,
// the link rewriter, the window model and the main window, over one program directory.
// Construction is the program's start (the engine's fixed order, then the windows); show()
// loads the task files, fills the lists and starts the scheduler; closing the window (the close
// box, Exit, a signal) writes the configuration and every task file once the link rewriting has
// ended. Main thread only; members are declared so that everything the engine uses outlives it.
class DesktopSession {
public:
    // programDir ends with "/". defaultTaskRoot is used when the configuration file names none.
    DesktopSession(const std::string& programDir, const std::string& defaultTaskRoot);
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // Loads the task files, fills the lists, shows the window, finds dial-up control and starts
    // the scheduler.
    void show();
    // Closes the window without the question (a signal, a confirmed exit).
    void forceClose();
    // The unexpected-error path: the scheduler and the engine's loop stop, the link rewriter is
    // told to end (not waited for), and a dial-up connection seen up is hung up when
    // BreakConnection says so. Nothing is saved.
    void halt();

    MainWindow& window() { return *m_window; }
    MainWindowModel& model() { return m_model; }
    Engine& engine() { return m_engine; }
    MessageLoop& loop() { return m_loop; }
    QtDialogs& dialogs() { return m_dialogs; }
    QtDropWindow& dropWindow() { return m_drop; }
    DropWindowControls& dropControls() { return m_dropControls; }
    LinkRewriter& rewriter() { return m_rewriter; }
    // Whether the close steps ran and wrote everything.
    bool saved() const { return m_saved; }

private:
    void closeSteps();

    MessageLoop m_loop;
    QtDesktopShell m_shell;
    QtDialogs m_dialogs;
    MainWindowModel m_model;
    // Before the engine: the drop window is made with the engine and reports to the window.
    WindowReports m_reports;
    QtDropWindow m_drop;
    DialUpLibrary m_dialUp{dialUpModulePath()};
    EngineLinkIntake m_intake;
    LinkRewriter m_rewriter;
    NetworkSlotFactory m_slots;
    Engine m_engine;
    DropWindowControls m_dropControls;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<LoopNotifier> m_notifier;
    bool m_saved = false;
};

}  // namespace quillharbor
