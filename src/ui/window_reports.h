#pragma once

#include <cstddef>
#include <functional>

#include "engine/engine.h"
#include "platform/message_loop.h"
#include "platform/message_target.h"
#include "ui/main_window_model.h"
#include "ui/window_message.h"

namespace quillharbor {

// The main window's target on the loop, to which the dialogs and boxes post their reports: a
// closed option dialog gives the dialog commands back, an accepted one hands its record to the
// engine, a confirmed exit closes the window, a closed notification box frees its slot. Loop's
// thread only; registered for its whole life.
class WindowReports final : public MessageTarget {
public:
    struct Actions {
        std::function<void()> exitConfirmed;
        std::function<void(std::size_t slot)> notificationClosed;
    };

    WindowReports(MessageLoop& loop, MainWindowModel& model, Engine& engine, Actions actions);
    ~WindowReports() override;
    WindowReports(const WindowReports&) = delete;
    WindowReports& operator=(const WindowReports&) = delete;

    ReportTarget target() const { return {m_loop, m_handle}; }
    void onMessage(const Message& message) override;

private:
    MessageLoop& m_loop;
    MainWindowModel& m_model;
    Engine& m_engine;
    Actions m_actions;
    Handle m_handle;
};

}  // namespace quillharbor
