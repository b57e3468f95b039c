#pragma once

#include "engine/engine_context.h"
#include "model/dn_obj.h"
#include "model/task.h"

namespace quillharbor {

// The per-object commands, acting on the view's selection. An object that a slot still holds
// is never put back into the queue, and one already queued is not queued twice, whatever the
// selection says. Main thread only.
class ObjectCommands {
public:
    explicit ObjectCommands(EngineContext& context) : m_context(context) {}

    // With tasks selected: every failed, incomplete, removed or refused object (states 3, 4, 5,
    // 7) of each is queued again as state 0 and the task runs when it has queued objects. With
    // none but an object selected in the Saved list: the same for that object's task, except
    // the objects that failed with 404; incomplete ones keep state 4 so that they resume.
    void RetryFailedLinks();
    // The objects selected in the Saved list are queued again (state 0); the task of the last
    // one runs.
    void StartSelectedObjects();
    // The transfers of the objects selected in the Being retrieved list are aborted; their
    // completion settles the objects.
    void StopSelectedObjects();
    // The objects selected in the Queued list leave the queue for the seen list as state 5. A
    // task left without queued objects is finished (state 6) quietly: no task file is written
    // and nobody is notified.
    void RemoveSelectedFromQueue();

private:
    // Puts an object of the Saved list back into the queue; false when it may not go.
    bool requeue(TDnObj& object, ObjectState state);
    void retryTask(TTask& task, bool skipNotFound);
    void refresh();

    EngineContext& m_context;
};

}  // namespace quillharbor
