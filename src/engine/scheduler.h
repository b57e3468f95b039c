#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <unordered_set>
#include <vector>

#include "engine/engine_context.h"
#include "engine/object_picker.h"

namespace quillharbor {

// The engine's heartbeat: Timer1Timer runs every 200 ms once the front end has started it. Each
// tick, in this order: every 10th tick the byte statistics and three status texts; every 900th
// tick a SaveRunningTasks request posted to the engine; every 25th tick (or later after a slow
// save), when a task changed since its file was written, a SaveChangedTasks request; waiting tasks counted down and started;
// each HTTP slot, in index order, either advanced (busy: its time-out; resting: its Pause) or
// given the first eligible queued object; each FTP slot finished when its transfer ended and
// given an object when free; and during a Stop All, StopAllDone posted once no slot is busy.
//
// The tick never waits: an HTTP slot that times out is aborted and its completion arrives later.
// Main thread only.
//
// With FastDispatch the same admission (the slot passes of the tick, the same picker) also runs
// on AdmitObjects, which the engine posts after each report and a slot posts once it is
// free again, so a slot that became free takes its next object at once; an HTTP slot's Pause is
// then timed from the moment it was seen free, by a timer of its own, instead of by counting
// ticks. Everything else stays on the tick.
//
// Each slot's start counts against its object's host until a later pass sees the slot free
// again, so that MaxConnsPerHost holds; a held-back host's objects start on the first pass (a
// tick at the latest) after its hold is over. Every statistics step also shows the hosts held
// back in status pane 4 ("held back: " and each host with the seconds left; empty when none).
class Scheduler {
public:
    explicit Scheduler(EngineContext& context)
        : m_context(context), m_startTime(std::chrono::steady_clock::now()) {}

    void Timer1Timer();
    // StopAllDone (WM_USER+418): the Stop All has ended; the user is told whatever Notify says.
    void StopAllDone();
    // SaveRunningTasks (WM_USER+420): the task files of the running tasks are written; each
    // file that fails is reported.
    void SaveRunningTasks();
    // An object of task finished, started writing a file or was added: its file is written by
    // the next SaveChangedTasks, so a kill loses at most the last five seconds or so of progress
    // (more for a task whose file takes long to write).
    void noteChanged(const TTask& task);
    // SaveChangedTasks (WM_USER+421): the task files of the changed tasks still in the list are
    // written. A task whose file fails stays changed and is tried again; the failure is reported
    // once until a write succeeds. The next such save waits at least 20 times the CPU time this one
    // took.
    void SaveChangedTasks();
    // AdmitObjects: free slots take their objects now (FastDispatch only).
    void AdmitObjects();
    // A timer of the loop fired; returns whether it was a slot's Pause timer.
    bool onPauseTimer(unsigned timerId);
    // Status pane 4 shows the hosts held back now.
    void showHeldHosts();

private:
    void updateStatistics();
    void countPeriodicSave();
    void countChangedSave();
    void startWaitingTasks();
    void serveHttpSlots(ObjectPicker& picker, bool& idle, bool ticking);
    void serveFtpSlots(ObjectPicker& picker, bool& idle);
    bool pauseOver(std::size_t index, HttpSlot& slot);
    void stopPauseTimers();
    // A slot starts an object that has left the queue for the seen list; hosts counts it
    // against the object's host until the slot is seen free.
    void start(TransferSlot& slot, std::optional<HostTable::Id>& serving, TDnObj& object);
    // The slots seen free no longer count against the hosts they served.
    void releaseFreeSlots();

    // FastDispatch: when each HTTP slot was seen free, and the timer that ends its Pause.
    struct FreeSlot {
        std::optional<std::chrono::steady_clock::time_point> since;
        unsigned timer = 0;
    };

    EngineContext& m_context;
    std::int32_t m_statTicks = 0;  // 0..9
    std::int32_t m_saveTicks = 0;  // 0..899
    std::int32_t m_changedSaveTicks = 0;
    // 5 s: a kill loses a few seconds of progress (its files stay whole), and a busy grab
    // spends little of its time and its disk's flushes on rewriting its file.
    static constexpr std::int32_t kChangedSaveTicks = 25;
    std::int32_t m_changedSaveEvery = kChangedSaveTicks;  // ticks
    // Identities, so that a removed task is simply not found.
    std::unordered_set<std::uintptr_t> m_changedTasks;
    std::unordered_set<std::uintptr_t> m_failedSaves;
    std::chrono::steady_clock::time_point m_startTime;
    std::vector<FreeSlot> m_freeSlots;
    // The host each HTTP and FTP slot counts against while it serves one, by slot index.
    std::vector<std::optional<HostTable::Id>> m_httpServing;
    std::vector<std::optional<HostTable::Id>> m_ftpServing;
};

}  // namespace quillharbor
