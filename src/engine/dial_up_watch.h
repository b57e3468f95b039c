#pragma once

#include "engine/engine_context.h"
#include "engine/task_commands.h"

namespace quillharbor {

// Follows the dial-up connection through the transfers' news (EngineState's RasWatching and
// RasConnected, status pane 1). Without dial-up control both flags stay false and nothing here
// asks the DialUp module anything. Main thread only.
class DialUpWatch {
public:
    DialUpWatch(EngineContext& context, TaskCommands& commands)
        : m_context(context), m_commands(commands) {}

    // Start-up, once the task files are loaded: probes dial-up networking (UseRasCtrl is
    // switched off without it), loads the module when UseRasCtrl asks for it (switched off when
    // it is missing) and shows what it finds in pane 1: "RAS: None", "RAS: Inactive" or
    // "RAS: Active". The switched-off UseRasCtrl is written with the settings at close.
    void DetectDialup();
    DialUpSupport support() const { return m_support; }

    // A transfer shows life: a connection that is up now is taken as seen ("RAS: Active").
    void CheckRasActive();
    // A transfer failed: when the connection seen up is down now, every task is stopped, the
    // user is told (Notify bit 4) and the pane reads "RAS: Broken".
    void CheckRasBroken();
    // A task ended: when no task runs any longer (waiting ones do not count) and BreakConnection
    // is set, the connection seen up is hung up ("RAS disconnected").
    void HangUpWhenIdle();
    // The program ends on an unexpected error: the connection seen up is hung up when
    // BreakConnection is set. Nothing else changes, since the process ends.
    void HangUpAfterError();

private:
    EngineContext& m_context;
    TaskCommands& m_commands;
    DialUpSupport m_support = DialUpSupport::Off;
};

}  // namespace quillharbor
