#pragma once

#include "engine/dial_up_watch.h"
#include "engine/engine_context.h"
#include "model/task.h"

namespace quillharbor {

// The end of a task whose last object is finished (TaskEnded, WM_USER+134). Main thread only.
class TaskEnd {
public:
    TaskEnd(EngineContext& context, DialUpWatch& dialUp) : m_context(context), m_dialUp(dialUp) {}

    // Writes the task's file; the task becomes finished, or waits for its links to be rewritten
    // (state 5, RewriteTaskLinks posted) when it has the Parse flag. Then the notifications the
    // Notify setting asks for ("Task ... is finished.", and "All tasks are finished" once no
    // task runs or waits) and the idle hang-up. A task that holds queued objects again (they
    // were put back after the message was posted) has not ended: nothing happens.
    void TaskEnded(TTask& task);

private:
    EngineContext& m_context;
    DialUpWatch& m_dialUp;
};

}  // namespace quillharbor
