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

    // A transfer shows life: a connection that is up now is taken as seen ("RAS: Active").
    void CheckRasActive();
    // A transfer failed: when the connection seen up is down now, every task is stopped, the
    // user is told (Notify bit 4) and the pane reads "RAS: Broken".
    void CheckRasBroken();
    // A task ended: when no task runs any longer (waiting ones do not count) and BreakConnection
    // is set, the connection seen up is hung up ("RAS disconnected").
    void HangUpWhenIdle();

private:
    EngineContext& m_context;
    TaskCommands& m_commands;
};

}  // namespace quillharbor
