#pragma once

#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cli/progress_line.h"
#include "cli/verbosity.h"
#include "engine/engine_view.h"
#include "model/engine_state.h"

namespace quillharbor {

// The engine's screen in the command-line front end: no rows and no commands to enable, but a
// status line (per watched task: files read and queued; then the scheduler's bytes per second,
// the bytes received so far, the scheduler's work time and the hosts held back, when any are),
// the engine's notifications
// printed as lines, and with Verbose every object as it settles. The selection is whatever the
// front end set, so that the engine's task commands act on the tasks the user named.
//
// Loop's thread only. Records are held only between the engine's AddTaskRow and DeleteTaskRow.
class TerminalView final : public EngineView {
public:
    // progress: where the status line and messages go; terminalFd: its descriptor when it is
    // a terminal, -1 otherwise. json: where each settled object of a watched task goes as one
    // line of JSON, when wanted.
    TerminalView(Verbosity verbosity, int terminalFd, std::ostream& progress = std::cout,
                 std::ostream* json = nullptr);

    // The tasks the engine's "selected" commands act on; dropped as their rows are deleted.
    void select(std::vector<TTask*> tasks) { m_selected = std::move(tasks); }
    // Where the byte counts come from; until then they show 0.
    void attach(const EngineState& state) { m_state = &state; }
    // Shows the task's counters in the status line.
    void watch(TTask& task);
    // Until takeCaptured(), notifications are kept instead of printed: the front end decides
    // where they go (a refused task creation reports them as errors). A new view captures until
    // it is first asked, so that what start-up reports is not lost either.
    void captureNotifications() { m_captured.emplace(); }
    std::vector<std::string> takeCaptured();
    // A line of the front end's own, printed like a notification (not when Quiet).
    void print(const std::string& message);
    // The final status line, left on screen.
    void finish();
    // Whether the link intake dropped a new link of the task at its file limit.
    bool reachedFileLimit(const TTask& task) const { return m_fileLimited.contains(&task); }
    // The distinct links of the task that its include and exclude expressions refused.
    std::size_t refusedLinks(const TTask& task) const;

    std::vector<TTask*> SelectedTasks() override { return m_selected; }
    std::vector<TDnObj*> SelectedObjects(ObjectListPage) override { return {}; }
    void AddTaskRow(TTask&) override {}
    void SelectTaskRow(TTask&) override {}
    void DeleteTaskRow(TTask& task) override;
    void RefreshTaskIcons() override { update(false); }
    void ClearCurrentTask() override {}
    void AddObjectRow(TDnObj& object) override { reportObject(object); }
    void RefreshObjectRow(TDnObj& object) override;
    void FillObjectLists() override {}
    void ShowObjectStarted(TDnObj&) override { update(false); }
    void ShowObjectReceiving(TDnObj&) override { update(false); }
    void ShowObjectProgress(TDnObj&) override { update(false); }
    void ShowTaskCounters(TTask&) override { update(false); }
    void UpdateCommands() override {}
    void ShowNotification(const std::string& text) override;
    // With Verbose an overlong link is told, and a link the task's expressions refuse (once
    // each); refusals are counted and a file limit is remembered for the end of the run.
    void ShowLinkDropped(const TDnObj& page, const std::string& link, LinkDrop why) override;
    void SetStatusText(int pane, const std::string& text) override;
    void OpenNewTask(const std::string&) override {}
    void OpenEditTask(TTask&) override {}

private:
    std::string counters() const;
    std::string statusText() const;
    // statisticsStep: the scheduler's 2-second step, when a plain-line status may be printed.
    void update(bool statisticsStep);
    void reportObject(const TDnObj& object);
    // Settled objects are printed (Verbose) or written as JSON; otherwise none is remembered.
    bool reportsObjects() const { return m_verbosity == Verbosity::Verbose || m_json != nullptr; }

    Verbosity m_verbosity;
    ProgressLine m_line;
    std::vector<TTask*> m_selected;
    std::vector<TTask*> m_watched;
    std::optional<std::vector<std::string>> m_captured{std::in_place};
    const EngineState* m_state = nullptr;
    // The scheduler's texts, renewed every 2 seconds; the byte total is taken when shown.
    std::string m_bytesPerSec = "bytes/sec: 0";
    std::string m_workTime = "work time: 0:00:00";
    std::string m_heldHosts;  // empty while no host is held back
    std::string m_lastPlainCounters;
    // Objects already reported by Verbose, with the state they were reported in.
    std::unordered_map<std::uintptr_t, ObjectState> m_reported;
    std::unordered_set<const TTask*> m_fileLimited;
    std::unordered_map<const TTask*, std::unordered_set<std::string>> m_refused;
    std::ostream* m_json;
};

}  // namespace quillharbor
