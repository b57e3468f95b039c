#pragma once

#include <optional>
#include <string>

#include "engine/engine_context.h"
#include "model/task.h"

namespace quillharbor {

// Start-up from the task files of the program directory (storage/task_file.h). Main thread only;
// nothing is posted, so no task ends while it is being loaded.
class TaskLoader {
public:
    explicit TaskLoader(EngineContext& context) : m_context(context) {}

    // Reads every task file into the task list; then for each loaded task in list order (by
    // name) RequeueLoadedTask, its state set to stopped while it holds queued objects and to
    // finished otherwise, and its row added. Loaded tasks never start by themselves. A rejected
    // file stays on disk as it was and is shown in one notification; a file whose task is
    // already in the list (created before loading) is that task's own and is passed over. Runs
    // once per engine: later calls do nothing.
    void LoadAllTasks();

    // Puts a loaded task's objects, which must be in no global list and all counted in Queued,
    // back to work by their stored states, taking each one that is settled from Queued:
    // - queued (0) and retrieved by another task (10): settled as a copy (10, Location naming
    //   it) when the scheduler would settle it now, otherwise queued (0);
    // - retrieved (1, 12) and excluded by robots (9): into the seen list, except a page of state
    //   1 still to be scanned (ShouldParse), which is queued so that its links are taken;
    // - being retrieved (2) and incomplete (4): queued, Received kept so the transfer resumes;
    // - failed otherwise: Received cleared, then as 0 (the slot replaces the file when the
    //   object starts); but after a 404 whose page was saved (a file longer than 0 bytes) the
    //   object keeps its state and goes into the seen list, and without such a page it is
    //   queued from byte 0. No file on disk is changed.
    void RequeueLoadedTask(TTask& task);

private:
    // The task's own options from the file beside its task file; one that cannot be read is
    // told and the task runs on the configuration alone.
    void loadGrabOptions(TTask& task);
    void queueOrSettle(TDnObj& object);
    // The path of the copy the scheduler would settle object on, if it picked it now.
    std::optional<std::string> copyToSettleOn(const TDnObj& object) const;
    void requeueFailed(TDnObj& object);
    void retrievedOrUnscanned(TDnObj& object);
    void queue(TDnObj& object);
    void settle(TDnObj& object);

    EngineContext& m_context;
    bool m_loaded = false;
};

}  // namespace quillharbor
