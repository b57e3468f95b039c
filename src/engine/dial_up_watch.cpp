#include "engine/dial_up_watch.h"

#include <algorithm>

namespace quillharbor {

namespace {

constexpr int kDialUpPane = 1;

}  // namespace

void DialUpWatch::DetectDialup() {
    EngineState& state = m_context.state;
    GlobalOptions& global = m_context.global;
    DialUp& dialUp = m_context.services.dialUp;
    if (!dialUp.NetworkingPresent()) {
        global.UseRasCtrl = false;
    }
    state.RasWatching = false;
    if (!global.UseRasCtrl) {
        m_support = DialUpSupport::Off;
    } else if (!dialUp.LoadModule()) {
        global.UseRasCtrl = false;
        m_support = DialUpSupport::ModuleMissing;
    } else {
        m_support = DialUpSupport::Loaded;
        state.RasWatching = dialUp.IsRASInstalled();
    }
    EngineView& view = m_context.services.view;
    view.SetStatusText(kDialUpPane, "RAS: None");
    state.RasConnected = false;
    if (!state.RasWatching) {
        return;
    }
    if (dialUp.IsRASConnected()) {
        state.RasWatching = false;
        state.RasConnected = true;
        view.SetStatusText(kDialUpPane, "RAS: Active");
    } else {
        view.SetStatusText(kDialUpPane, "RAS: Inactive");
    }
}

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

void DialUpWatch::HangUpAfterError() {
    if (m_context.global.BreakConnection && m_context.state.RasConnected) {
        m_context.services.dialUp.Hangup();
    }
}

}  // namespace quillharbor
