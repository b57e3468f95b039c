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
// engine, a confirmed exit closes the window, a closed notification box frees its slot. The drop
// window reports here too: its menu's messages (411 to 415) are the window's, its captures go
// to the engine. Loop's thread only; registered for its whole life, which begins before the
// engine's so that the drop window can be given its handle.
class WindowReports final : public MessageTarget {
public:
    struct Actions {
        std::function<void()> exitConfirmed;
        std::function<void(std::size_t slot)> notificationClosed;
        std::function<void()> exitRequested;  // the drop window's Exit, as the menu's
    };

    WindowReports(MessageLoop& loop, MainWindowModel& model, Actions actions);
    ~WindowReports() override;
    WindowReports(const WindowReports&) = delete;
    WindowReports& operator=(const WindowReports&) = delete;

    // The engine the reports go to; nothing reaches it before.
    void attach(Engine& engine) { m_engine = &engine; }
    Handle handle() const { return m_handle; }
    ReportTarget target() const { return {m_loop, m_handle}; }
    void onMessage(const Message& message) override;

private:
    void onDropWindowMenu(WindowMessage message);

    MessageLoop& m_loop;
    MainWindowModel& m_model;
    Engine* m_engine = nullptr;
    Actions m_actions;
    Handle m_handle;
};

}  // namespace quillharbor
