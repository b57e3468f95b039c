#pragma once

#include <cstdint>

#include "model/engine_message.h"
#include "platform/message_loop.h"

namespace quillharbor {

// The dialogs' reports that the window handles itself, as offsets from WM_USER; their OK
// reports (402, 406, 408, 409) are the engine's messages and a closed notification box is 551.
enum class WindowMessage : unsigned {
    GlobalOptionsClosed = 401,
    DefaultTaskOptionsClosed = 403,
    DefaultTaskOptionsAccepted = 404,  // the defaults are already stored; nothing to do
    NewTaskClosed = 405,
    EditTaskClosed = 407,
    ExitConfirmed = 410,
    // The drop window's own menu; its captures (416) are the engine's LinkDropped.
    DropWindowHidden = 411,
    DropWatchingToggled = 412,
    DropDefaultTaskOptions = 413,
    DropNewTask = 414,
    DropExit = 415,
};

constexpr unsigned messageNumber(WindowMessage message) {
    return WM_USER + static_cast<unsigned>(message);
}

// Where the dialogs post their reports: the window's target on the loop. Posting never waits,
// so a dialog reports and goes on, and the report is handled on a later turn of the loop.
class ReportTarget {
public:
    ReportTarget(MessageLoop& loop, Handle handle) : m_loop(loop), m_handle(handle) {}
    void post(unsigned number) const { m_loop.post(m_handle, number); }
    void post(WindowMessage message) const { post(messageNumber(message)); }
    void post(EngineMessage message, std::uintptr_t wParam = 0) const {
        m_loop.post(m_handle, messageNumber(message), wParam);
    }

private:
    MessageLoop& m_loop;
    Handle m_handle;
};

}  // namespace quillharbor
