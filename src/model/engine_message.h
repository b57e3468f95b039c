#pragma once

#include "platform/message.h"

namespace quillharbor {

// The engine's message protocol: offsets from WM_USER of the messages posted to the engine's
// handle. Parameters that name a task or an object carry its identity (see message_identity.h),
// never a pointer, so a message that outlives its task is recognised and dropped.
enum class EngineMessage : unsigned {
    ObjectDone = 129,           // wParam object, lParam Received or 0
    ObjectStarted = 130,        // wParam object
    ObjectReceiving = 131,      // wParam object
    FtpLoggedIn = 132,          // wParam object; the engine takes no action
    TaskEnded = 134,            // wParam task: its Queued count reached 0
    NetworkError = 136,         // wParam object or 0, lParam 0 or socket error code
    HttpError = 137,            // wParam object or 0, lParam status code
    ScanLinks = 138,            // wParam object: a saved document to take links from
    TransferAborted = 139,      // wParam object or 0
    RobotsAnswer = 140,         // wParam body or 0, lParam object
    ObjectExcluded = 141,       // wParam object
    ObjectProgress = 142,       // wParam object
    FtpSizeKnown = 146,         // wParam object
    FtpRestartComplete = 147,   // wParam object
    FtpError = 148,             // wParam object or 0, lParam error code
    HostHeld = 149,             // wParam object queued again, lParam 429 or 503: its host waits
    ApplySettings = 402,        // the Global Options dialog was accepted
    CreateTask = 406,           // the New Task dialog was accepted; the new-task record is filled
    ApplyTaskEdit = 408,        // the Edit Task dialog was accepted; the task-edit record is filled
    RemoveSelectedTasks = 409,  // the removal was confirmed
    LinkDropped = 416,          // wParam drop mode 0..4, lParam size of the dropped content or 0
    StopAllDone = 418,
    SaveRunningTasks = 420,
    SaveChangedTasks = 421,    // the tasks whose objects moved on since their last save
    AdmitObjects = 422,        // fast dispatch: free slots take their objects now
    NotificationClosed = 551,  // wParam the notification's slot number
    RewriteTaskLinks = 601,    // wParam task
};

constexpr unsigned messageNumber(EngineMessage message) {
    return WM_USER + static_cast<unsigned>(message);
}

}  // namespace quillharbor
