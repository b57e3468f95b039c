#pragma once

#include <cstdint>
#include <unordered_set>

#include "engine/engine_view.h"
#include "engine/link_rewrite_queue.h"
#include "engine/parse_thread.h"
#include "engine/rewrite_job.h"
#include "engine/rewrite_result.h"
#include "engine/task_rewriter.h"
#include "model/engine_state.h"
#include "platform/message_loop.h"
#include "platform/message_target.h"

namespace quillharbor {

// Link rewriting for the engine: hands a copy of each queued task to the rewriting worker
// (TParseThread) and, back on the loop's thread, applies what each pass changed to the task's
// objects that still exist, then refreshes their rows. The worker never sees a record, so no
// lock guards them.
//
// Lifetime: made before the engine (it is one of the engine's services) and attach()ed to the
// engine's state once the engine exists; stop() it before the engine is destroyed, so that the
// pass that was running reaches the records, and with them the task files written at close;
// destroy it after the engine. Everything but the worker's pass runs on the loop's thread.
class LinkRewriter final : public LinkRewriteQueue, public MessageTarget {
public:
    LinkRewriter(MessageLoop& loop, EngineView& view, TParseThread::JobRunner run = runRewritePass);
    // Stops the worker; results not yet applied are dropped, since the engine may be gone.
    ~LinkRewriter() override;
    LinkRewriter(const LinkRewriter&) = delete;
    LinkRewriter& operator=(const LinkRewriter&) = delete;

    void attach(EngineState& state) { m_state = &state; }

    // Copies the task, with the SaveSeparate setting of this moment, for the worker. A task
    // still waiting gets its copy renewed in place; a task being rewritten is queued again once
    // that pass's results are applied, so that the next pass starts from them. When all 64
    // slots are taken the task is not queued. Ignored before attach() and after stop().
    void QueueTaskForParsing(TTask& task) override;
    // The task is about to be removed: its waiting pass is dropped, and the results of a pass
    // already running are dropped when they arrive. Call before the task is freed.
    void forgetTask(const TTask& task) override;
    // Whether a pass is waiting or running, or its results are not applied yet.
    bool isPending() const { return !m_outstanding.empty(); }
    // Ends the worker after the pass it runs, dropping the passes still waiting, and applies
    // the results that are in. Call while the engine lives. Idempotent.
    void stop();
    // Tells the worker to end after the pass it runs and returns at once; nothing more is
    // queued. For a program that is ending without saving.
    void requestStop() { m_thread.requestStop(); }

    void onMessage(const Message& message) override;

private:
    RewriteJob snapshot(const TTask& task) const;
    void applyResults();
    void apply(const RewriteResult& result);

    MessageLoop& m_loop;
    EngineView& m_view;
    EngineState* m_state = nullptr;
    Handle m_handle;
    std::unordered_set<std::uintptr_t> m_outstanding;  // tasks queued whose results are not in
    std::unordered_set<std::uintptr_t> m_requeue;      // queued again while being rewritten
    TParseThread m_thread;                             // last: it posts to m_handle
};

}  // namespace quillharbor
