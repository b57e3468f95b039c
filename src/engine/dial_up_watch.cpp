#include "engine/dial_up_watch.h"

#include <algorithm>

namespace quillharbor {

namespace {

constexpr int kDialUpPane = 1;

}  // namespace

void DialUpWatch::CheckRasActive() {
    EngineState& state = m_context.state;
    if (state.RasWatching && m_context.services.dialUp.IsRASConnected()) {
        state.RasWatching = false;
        state.RasConnected = true;
        m_context.services.view.SetStatusText(kDialUpPane, "RAS: Active");
    }
}

void DialUpWatch::CheckRasBroken() {
    EngineState& state = m_context.state;
    if (!state.RasConnected || m_context.services.dialUp.IsRASConnected()) {
        return;
    }
    state.RasConnected = false;
    state.RasWatching = true;
    m_commands.StopAllTasks();
    if (m_context.notifies(NotifyBit::ConnectionBroken)) {
        m_context.services.view.ShowNotification("The internet connection was broken.");
    }
    m_context.services.view.SetStatusText(kDialUpPane, "RAS: Broken");
}

void DialUpWatch::HangUpWhenIdle() {
    EngineState& state = m_context.state;
    const bool anyRunning =
        std::any_of(state.TaskList.begin(), state.TaskList.end(),
                    [](const TTask& task) { return task.State == TaskState::Running; });
    if (anyRunning || !state.RasConnected || !m_context.global.BreakConnection) {
        return;
    }
    m_context.services.dialUp.Hangup();
    state.RasConnected = false;
    state.RasWatching = true;
    m_context.services.view.SetStatusText(kDialUpPane, "RAS disconnected");
}

}  // namespace quillharbor
