#include "engine/scheduler.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "model/failure_cause.h"
#include "model/message_identity.h"
#include "model/task.h"
#include "platform/thread_cpu_clock.h"

namespace quillharbor {

namespace {

constexpr std::int32_t kStatisticsTicks = 10;  // 2 s
constexpr std::int32_t kSaveTicks = 900;       // 3 minutes
// A large task's file takes long to write: the changed-task saves wait at least this many times
// the CPU time the last one took, so they cost the loop no more than a twentieth of its time.
constexpr std::int64_t kChangedSaveSpacing = 20;
constexpr std::int32_t kTickMilliseconds = 200;

// Hours keep counting past a day: the work time is a duration, not a time of day.
std::string formatWorkTime(std::chrono::steady_clock::duration elapsed) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

constexpr int kHeldHostsPane = 4;

bool isFree(const HttpSlot& slot) {
    return slot.ready();
}

// A slot that still holds its object is finished by its pass; its session is over.
bool isFree(const FtpSlot& slot) {
    return slot.ready() && slot.InUse() == 0;
}

// Releases the hosts counted for slots that are free again, and for slots that are gone.
template <class Slot>
void release(HostTable& hosts, std::vector<std::optional<HostTable::Id>>& serving,
             const std::vector<std::unique_ptr<Slot>>& slots) {
    for (std::size_t index = 0; index < serving.size(); ++index) {
        if (serving[index] && (index >= slots.size() || isFree(*slots[index]))) {
            hosts.slotFreed(*serving[index]);
            serving[index].reset();
        }
    }
    serving.resize(slots.size());
}

}  // namespace

void Scheduler::Timer1Timer() {
    updateStatistics();
    countPeriodicSave();
    countChangedSave();
    bool idle = true;
    startWaitingTasks();
    releaseFreeSlots();
    ObjectPicker picker(m_context);
    serveHttpSlots(picker, idle, true);
    serveFtpSlots(picker, idle);
    if (m_context.state.StopAllPending && idle) {
        m_context.post(EngineMessage::StopAllDone);
    }
}

void Scheduler::StopAllDone() {
    m_context.state.StopAllPending = false;
    m_context.services.view.ShowNotification("All tasks are stopped.");
}

void Scheduler::SaveRunningTasks() {
    EngineView& view = m_context.services.view;
    for (const Error& error : m_context.services.taskFiles.SaveRunningTasks(
             m_context.state.TaskList, m_context.programDir)) {
        view.ShowNotification(error.text);
    }
}

void Scheduler::noteChanged(const TTask& task) {
    m_changedTasks.insert(identityOf(task));
}

void Scheduler::SaveChangedTasks() {
    const auto began = ThreadCpuClock::now();
    std::unordered_set<std::uintptr_t> changed;
    changed.swap(m_changedTasks);
    for (const std::uintptr_t identity : changed) {
        const TTask* task = taskByIdentity(m_context.state.TaskList, identity);
        if (task == nullptr) {
            continue;
        }
        const Status written =
            m_context.services.taskFiles.WriteTaskFile(*task, m_context.taskFilePath(*task));
        if (written) {
            m_failedSaves.erase(identity);
            continue;
        }
        m_changedTasks.insert(identity);
        if (m_failedSaves.insert(identity).second) {
            m_context.services.view.ShowNotification(written.error().text);
        }
    }
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(ThreadCpuClock::now() - began);
    const std::int64_t spacingTicks =
        (took.count() * kChangedSaveSpacing + kTickMilliseconds - 1) / kTickMilliseconds;
    m_changedSaveEvery = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(spacingTicks, kChangedSaveTicks, kSaveTicks));
}

void Scheduler::updateStatistics() {
    if (++m_statTicks < kStatisticsTicks) {
        return;
    }
    m_statTicks = 0;
    EngineState& state = m_context.state;
    state.BytesTotal += state.BytesWindow;
    // The window spans 2 seconds.
    const std::int64_t bytesPerSec = state.BytesWindow / 2;
    state.BytesWindow = 0;
    EngineView& view = m_context.services.view;
    view.SetStatusText(0, "bytes/sec: " + std::to_string(bytesPerSec));
    view.SetStatusText(
        2, "work time: " + formatWorkTime(std::chrono::steady_clock::now() - m_startTime));
    view.SetStatusText(3, "bytes total: " + std::to_string(state.BytesTotal));
    showHeldHosts();
}

void Scheduler::showHeldHosts() {
    HostTable& hosts = m_context.state.Queue.hosts();
    const HostTable::Clock::time_point now = HostTable::Clock::now();
    std::string text;
    for (const auto& [id, until] : hosts.heldHosts(now)) {
        text += (text.empty() ? "held back: " : ", ") + hosts.name(id) + " " +
                std::to_string(std::chrono::ceil<std::chrono::seconds>(until - now).count()) + " s";
    }
    m_context.services.view.SetStatusText(kHeldHostsPane, text);
}

void Scheduler::start(TransferSlot& slot, std::optional<HostTable::Id>& serving, TDnObj& object) {
    EngineState& state = m_context.state;
    serving = object.Run->Host;
    state.Queue.hosts().slotStarted(*serving);
    // Everything that has left the queue is in the seen list, where other tasks look for copies.
    state.Queue.QueueRemove(object);
    state.SeenList.SeenInsert(object);
    slot.Start(object);
}

void Scheduler::releaseFreeSlots() {
    EngineState& state = m_context.state;
    HostTable& hosts = state.Queue.hosts();
    release(hosts, m_httpServing, state.HttpSlots);
    release(hosts, m_ftpServing, state.FtpSlots);
}

void Scheduler::countPeriodicSave() {
    if (++m_saveTicks < kSaveTicks) {
        return;
    }
    m_saveTicks = 0;
    m_context.post(EngineMessage::SaveRunningTasks);
}

void Scheduler::countChangedSave() {
    if (++m_changedSaveTicks < m_changedSaveEvery) {
        return;
    }
    m_changedSaveTicks = 0;
    if (!m_changedTasks.empty()) {
        m_context.post(EngineMessage::SaveChangedTasks);
    }
}

void Scheduler::startWaitingTasks() {
    bool started = false;
    for (TTask& task : m_context.state.TaskList) {
        if (task.State != TaskState::Waiting) {
            continue;
        }
        if (--task.StartCountdown < 1 && !m_context.state.StopAllPending) {
            if (m_context.notifies(NotifyBit::TaskStarted)) {
                m_context.services.view.ShowNotification("Task " + task.Name + " is starsted.");
            }
            task.State = TaskState::Running;
            started = true;
        }
    }
    if (started) {
        m_context.services.view.RefreshTaskIcons();
        m_context.services.view.UpdateCommands();
    }
}

void Scheduler::AdmitObjects() {
    if (!m_context.global.FastDispatch) {
        stopPauseTimers();
        return;
    }
    bool idle = true;
    releaseFreeSlots();
    ObjectPicker picker(m_context);
    serveHttpSlots(picker, idle, false);
    serveFtpSlots(picker, idle);
}

bool Scheduler::onPauseTimer(unsigned timerId) {
    for (FreeSlot& free : m_freeSlots) {
        if (free.timer == timerId) {
            m_context.services.loop.stopTimer(free.timer);
            free.timer = 0;
            AdmitObjects();
            return true;
        }
    }
    return false;
}

void Scheduler::stopPauseTimers() {
    for (FreeSlot& free : m_freeSlots) {
        m_context.services.loop.stopTimer(free.timer);
    }
    m_freeSlots.clear();
}

void Scheduler::serveHttpSlots(ObjectPicker& picker, bool& idle, bool ticking) {
    EngineState& state = m_context.state;
    // The options dialog never offers less than a minute; a configuration file that says 0
    // would otherwise abort every request on its first busy tick.
    const std::int32_t timeoutTicks =
        std::max<std::int32_t>(m_context.global.HTTPTimeout, 1) * kTicksPerMinute;
    if (m_freeSlots.size() != state.HttpSlots.size()) {
        // The slots were made anew.
        stopPauseTimers();
        m_freeSlots.resize(state.HttpSlots.size());
    }
    for (std::size_t index = 0; index < state.HttpSlots.size(); ++index) {
        HttpSlot& slot = *state.HttpSlots[index];
        if (!slot.ready()) {
            if (!ticking) {
                continue;
            }
            idle = false;
            if (++slot.BusyTicks >= timeoutTicks) {
                if (TDnObj* object = slot.Obj()) {
                    object->Cause = kCauseTimedOut;
                }
                slot.abort();
                slot.BusyTicks = 0;
            }
        } else if (!pauseOver(index, slot)) {
            continue;
        } else if (TDnObj* object = picker.PickHttpFor(slot)) {
            FreeSlot& free = m_freeSlots[index];
            m_context.services.loop.stopTimer(free.timer);
            free = FreeSlot{};
            start(slot, m_httpServing[index], *object);
        }
    }
}

// Whether a free slot has rested its Pause: counted in ticks, or with FastDispatch timed from
// when it was first seen free, a timer bringing the admission back when the rest is over.
bool Scheduler::pauseOver(std::size_t index, HttpSlot& slot) {
    if (!m_context.global.FastDispatch) {
        if (slot.IdleTicks < m_context.global.Pause / kTickMilliseconds) {
            ++slot.IdleTicks;
            return false;
        }
        return true;
    }
    using Clock = std::chrono::steady_clock;
    FreeSlot& free = m_freeSlots[index];
    const Clock::time_point now = Clock::now();
    if (!free.since) {
        free.since = now;
    }
    const auto pause = std::chrono::milliseconds(m_context.global.Pause);
    const auto rested = now - *free.since;
    if (rested >= pause) {
        return true;
    }
    if (free.timer == 0) {
        free.timer = m_context.services.loop.startTimer(
            m_context.handle, std::chrono::ceil<std::chrono::milliseconds>(pause - rested));
    }
    return false;
}

void Scheduler::serveFtpSlots(ObjectPicker& picker, bool& idle) {
    EngineState& state = m_context.state;
    for (std::size_t index = 0; index < state.FtpSlots.size(); ++index) {
        FtpSlot* slot = state.FtpSlots[index].get();
        // A request that ended without reaching its quit leaves the slot holding the object.
        if (slot->ready() && slot->Obj() != nullptr) {
            slot->Finish();
        }
        if (slot->ready() && slot->InUse() == 0) {
            if (TDnObj* object = picker.PickFtp()) {
                start(*slot, m_ftpServing[index], *object);
            }
        } else {
            idle = false;
        }
    }
}

}  // namespace quillharbor
