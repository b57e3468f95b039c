#pragma once

#include "engine/dial_up_watch.h"
#include "engine/engine_context.h"
#include "model/dn_obj.h"
#include "model/task.h"

namespace quillharbor {

// What the engine does with the transfer slots' reports. The engine has resolved the identities
// of the messages: the records are live. The error handlers take nullptr for a report that names
// no object, which shows the "Unknown ..." text (when Notify asks for it) and changes nothing
// else. Error texts carry the object's Status, not the message's code: a failure the slot
// reported without setting Status shows 0. Main thread only.
class ResultHandlers {
public:
    ResultHandlers(EngineContext& context, DialUpWatch& dialUp)
        : m_context(context), m_dialUp(dialUp) {}

    // ObjectDone (129): the row and the task's counters follow. With Notify bit 2, for a task
    // stopped while its transfers ran (not by a Stop All), the end of its last transfer reports
    // "Task ... is stopped." and asks for its links to be rewritten when it has the Parse flag.
    void ObjectDone(TDnObj& object);
    void ObjectStarted(TDnObj& object);    // 130; nothing for a robots.txt request
    void ObjectReceiving(TDnObj& object);  // 131
    void ObjectProgress(TDnObj& object);   // 142
    void FtpSizeKnown(TDnObj& object);     // 146
    void NetworkError(TDnObj* object);     // 136, Notify bit 32
    void HttpError(TDnObj* object);        // 137, Notify bit 16
    void TransferAborted(TDnObj* object);  // 139, Notify bit 16 or 32
    void FtpError(TDnObj* object);         // 148, Notify bit 16
    // RewriteTaskLinks (601): a task that is not stopped counts as finished from here on; the
    // task goes to the link-rewriting worker, and its object lists are rebuilt when it is the
    // one selected task.
    void RewriteTaskLinks(TTask& task);

private:
    // Notification, then the row and the dial-up check, the shared path of the error reports.
    void failure(TDnObj* object, bool notify, const char* prefix, const char* unknown);

    EngineContext& m_context;
    DialUpWatch& m_dialUp;
};

}  // namespace quillharbor
