#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/rewrite_job.h"
#include "engine/rewrite_result.h"

namespace quillharbor {

// The link-rewriting worker: one thread, below normal priority, fed from 64 slots. It takes the
// job of the lowest occupied slot (not necessarily the oldest), runs it, and keeps the result
// until the owner takes it; resultsReady is then called on the worker thread, so the owner can
// post to its loop. A job queued while the worker decides to sleep is never left waiting.
//
// All members may be called from any thread but the worker's own (the runner and resultsReady
// must not call back in). Jobs and results go by value: nothing is shared with the worker but
// the slots and the results, both under one lock.
class TParseThread {
public:
    static constexpr std::size_t kSlotCount = 64;
    using JobRunner = std::function<RewriteResult(RewriteJob job)>;

    // Starts the thread, asleep until a job is queued.
    TParseThread(JobRunner run, std::function<void()> resultsReady);
    // stop().
    ~TParseThread();
    TParseThread(const TParseThread&) = delete;
    TParseThread& operator=(const TParseThread&) = delete;

    // Puts the job into the lowest empty slot and wakes the worker. False when all 64 slots are
    // taken or the worker was told to stop: the job is dropped.
    bool queue(RewriteJob job);
    // Replaces the job of the same task that is still waiting in a slot, keeping its place.
    // False when no slot holds one (the worker may have taken it already).
    bool replaceWaiting(RewriteJob job);
    // Empties the slot whose job names this task; false when none did.
    bool withdraw(std::uintptr_t task);
    // Jobs waiting or running.
    int queuedCount() const;

    // The results of the jobs finished since the last call, in the order they finished.
    std::vector<RewriteResult> takeResults();

    // Tells the worker to end once the job it runs (if any) is done; waiting jobs are dropped
    // and nothing more is queued. Returns at once.
    void requestStop();
    // requestStop(), then waits for the thread to end. The result of the job that was running
    // is kept for takeResults(). Idempotent.
    void stop();

private:
    void run();

    JobRunner m_run;
    std::function<void()> m_resultsReady;

    mutable std::mutex m_mutex;  // guards everything below but m_thread
    std::condition_variable m_wake;
    std::array<std::optional<RewriteJob>, kSlotCount> m_slots;
    int m_queuedCount = 0;  // occupied slots plus the job running
    bool m_stopping = false;
    std::vector<RewriteResult> m_results;

    std::thread m_thread;  // last, so that it starts after everything it uses
};

}  // namespace quillharbor
