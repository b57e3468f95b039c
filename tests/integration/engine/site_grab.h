#pragma once

// An engine as the front ends run one: over a program directory with real HTTP and FTP slots,
// the link intake, the link rewriter and the real task files, its scheduler on the 200 ms timer
// and the loop driven in short steps. Shared by the engine's grab tests, the dial-up tests and
// the site grab benchmark.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "clients/network_slot_factory.h"
#include "engine/engine.h"
#include "engine/engine_link_intake.h"
#include "engine/link_rewriter.h"
#include "engine/null_dial_up.h"
#include "engine/null_drop_source.h"
#include "engine/null_engine_view.h"

namespace quillharbor::test {

class SiteGrabView final : public NullEngineView {
public:
    void ShowNotification(const std::string& text) override { notifications.push_back(text); }
    void SetStatusText(int pane, const std::string& text) override {
        if (pane == 1)
            panes.push_back(text);
    }

    std::vector<std::string> notifications;
    std::vector<std::string> panes;  // the dial-up pane's texts in turn
};

// The real task files, counted.
class CountingTaskFiles final : public TaskFileWriter {
public:
    Status WriteTaskFile(const TTask& task, const std::string& path) override {
        ++writes;
        return storageTaskFiles().WriteTaskFile(task, path);
    }
    std::vector<Error> SaveRunningTasks(const TaskList& tasks,
                                        const std::string& programDir) override {
        for (const TTask& task : tasks) writes += task.State == TaskState::Running ? 1 : 0;
        return storageTaskFiles().SaveRunningTasks(tasks, programDir);
    }

    int writes = 0;
};

class SiteGrab {
public:
    // programDir and taskRoot end with "/". The task files of programDir are loaded; with a
    // dial-up module, dial-up control is detected as at start-up.
    SiteGrab(const std::string& programDir, const std::string& taskRoot, std::uint16_t httpSlots,
             std::uint16_t ftpSlots = 0, DialUp* dialUp = nullptr)
        : m_engine(std::make_unique<Engine>(
              EngineServices{.loop = m_loop,
                             .view = m_view,
                             .drop = m_drop,
                             .dialUp = dialUp != nullptr ? *dialUp : m_noDialUp,
                             .taskFiles = m_taskFiles,
                             .intake = m_intake,
                             .rewriter = m_rewriter,
                             .slots = &m_factory},
              programDir)) {
        GlobalOptions& options = m_engine->globalOptions();
        options.TaskRoot = taskRoot;
        options.MaxHTTPConns = httpSlots;
        options.MaxFTPConns = ftpSlots;
        options.Pause = 0;
        options.ObeyRobotExclusion = true;
        m_engine->ApplySettings();
        m_rewriter.attach(m_engine->state());
        m_engine->LoadAllTasks();
        if (dialUp != nullptr)
            m_engine->DetectDialup();
    }
    ~SiteGrab() { m_rewriter.stop(); }
    SiteGrab(const SiteGrab&) = delete;
    SiteGrab& operator=(const SiteGrab&) = delete;

    Engine& engine() { return *m_engine; }
    EngineState& state() { return m_engine->state(); }
    SiteGrabView& view() { return m_view; }
    int taskFileWrites() const { return m_taskFiles.writes; }

    // A running task over the whole site below boundary, every level; adjust may change the
    // dialog's choices before the task is made.
    TTask* createTask(const std::string& name, const std::string& url, const std::string& boundary,
                      const std::function<void(NewTaskParams&)>& adjust = {}) {
        m_engine->PrepareNewTaskParams();
        NewTaskParams& params = m_engine->newTaskParams();
        params.Name = name;
        params.URL = url;
        params.Parse = true;
        params.StartAtOnce = true;
        params.BoundaryPrefix = boundary;
        params.MaxLevelsInf = true;
        params.MaxFilesInf = true;
        if (adjust)
            adjust(params);
        return m_engine->CreateTask();
    }
    // A running task of the document at url alone.
    TTask* createDocumentTask(const std::string& name, const std::string& url) {
        return createTask(name, url, "", [](NewTaskParams& params) {
            params.MaxLevelsInf = false;
            params.MaxLevels = 1;
        });
    }
    // Runs the scheduler and the loop until done says so, for at most `steps` times 20 ms.
    // Returns done().
    bool runUntil(const std::function<bool()>& done, int steps = 500) {
        m_engine->StartScheduler();
        // Bounded by time, not by turns: a busy transfer makes each turn of the loop short.
        // A turn waits as long as the command-line front end's do, so an idle loop wakes no
        // more often than it does for users (which the benchmarks' CPU figures count).
        const auto deadline =
            std::chrono::steady_clock::now() + steps * std::chrono::milliseconds(20);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            m_loop.runOnce(std::chrono::milliseconds(200));
        }
        return done();
    }
    // Runs until every task has ended, every rewriting pass is applied and every slot is idle,
    // or until stopEarly says so. Returns whether the run settled.
    bool run(int steps, const std::function<bool()>& stopEarly = {}) {
        bool stopped = false;
        const bool done =
            runUntil([&] { return (stopped = stopEarly && stopEarly()) || settled(); }, steps);
        return done && !stopped;
    }
    // As the front ends close: the rewriter ends its pass, then the configuration and every
    // task file are written. Returns whether everything was written.
    bool close() {
        m_rewriter.stop();
        return m_engine->SaveAtClose();
    }

private:
    bool settled() {
        const auto& tasks = m_engine->state().TaskList;
        const auto& slots = m_engine->state().HttpSlots;
        return std::none_of(tasks.begin(), tasks.end(),
                            [](const TTask& task) {
                                return task.State == TaskState::Running ||
                                       task.State == TaskState::Waiting ||
                                       task.State == TaskState::RewritePending;
                            }) &&
               std::all_of(slots.begin(), slots.end(),
                           [](const auto& slot) { return slot->ready(); }) &&
               !m_rewriter.isPending();
    }

    MessageLoop m_loop;
    SiteGrabView m_view;
    CountingTaskFiles m_taskFiles;
    NullDropSource m_drop;
    NullDialUp m_noDialUp;
    EngineLinkIntake m_intake;
    LinkRewriter m_rewriter{m_loop, m_view};
    NetworkSlotFactory m_factory{m_loop};
    std::unique_ptr<Engine> m_engine;
};

}  // namespace quillharbor::test
