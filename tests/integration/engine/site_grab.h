#pragma once

// A whole-site grab as the front ends run one: the engine over a program directory with real
// HTTP slots, the link intake, the link rewriter and the real task files, its scheduler on the
// 200 ms timer and the loop driven in short steps. Shared by the site grab test and benchmark.

#include <chrono>
#include <cstdint>
#include <functional>
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
    std::vector<TTask*> SelectedTasks() override { return selected; }
    void ShowNotification(const std::string& text) override { notifications.push_back(text); }

    std::vector<TTask*> selected;
    std::vector<std::string> notifications;
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
        for (const TTask& task : tasks) {
            writes += task.State == TaskState::Running ? 1 : 0;
        }
        return storageTaskFiles().SaveRunningTasks(tasks, programDir);
    }

    int writes = 0;
};

class SiteGrab {
public:
    // programDir and taskRoot end with "/". The task files of programDir are loaded.
    SiteGrab(const std::string& programDir, const std::string& taskRoot, std::uint16_t slots)
        : m_engine(EngineServices{.loop = m_loop,
                                  .view = m_view,
                                  .drop = m_drop,
                                  .dialUp = m_dialUp,
                                  .taskFiles = m_taskFiles,
                                  .intake = m_intake,
                                  .rewriter = m_rewriter,
                                  .slots = &m_factory},
                   programDir) {
        GlobalOptions& options = m_engine.globalOptions();
        options.TaskRoot = taskRoot;
        options.MaxHTTPConns = slots;
        options.MaxFTPConns = 0;
        options.Pause = 0;
        options.ObeyRobotExclusion = true;
        m_engine.ApplySettings();
        m_rewriter.attach(m_engine.state());
        m_engine.LoadAllTasks();
    }
    ~SiteGrab() { m_rewriter.stop(); }
    SiteGrab(const SiteGrab&) = delete;
    SiteGrab& operator=(const SiteGrab&) = delete;

    Engine& engine() { return m_engine; }
    SiteGrabView& view() { return m_view; }
    int taskFileWrites() const { return m_taskFiles.writes; }

    // A running task over the whole site below boundary, every level; adjust may change the
    // dialog's choices before the task is made.
    TTask* createTask(const std::string& name, const std::string& url, const std::string& boundary,
                      const std::function<void(NewTaskParams&)>& adjust = {}) {
        m_engine.PrepareNewTaskParams();
        NewTaskParams& params = m_engine.newTaskParams();
        params.Name = name;
        params.URL = url;
        params.Parse = true;
        params.StartAtOnce = true;
        params.BoundaryPrefix = boundary;
        params.MaxLevelsInf = true;
        params.MaxFilesInf = true;
        if (adjust) {
            adjust(params);
        }
        return m_engine.CreateTask();
    }
    void start(TTask& task) {
        m_view.selected = {&task};
        m_engine.StartSelectedTasks();
        m_view.selected.clear();
    }

    // Runs the scheduler and the loop until every task has ended, every rewriting pass is
    // applied and every slot is idle, or until stopEarly says so, for at most `steps` steps of
    // at most 20 ms each. Returns whether the run settled.
    bool run(int steps, const std::function<bool()>& stopEarly = {}) {
        m_engine.StartScheduler();
        for (int step = 0; step < steps; ++step) {
            m_loop.runOnce(std::chrono::milliseconds(20));
            if (stopEarly && stopEarly()) {
                return false;
            }
            if (settled()) {
                return true;
            }
        }
        return false;
    }
    // As the front ends close: the rewriter ends its pass, then the configuration and every
    // task file are written. Returns whether everything was written.
    bool close() {
        m_rewriter.stop();
        return m_engine.SaveAtClose();
    }

private:
    bool settled() {
        for (const TTask& task : m_engine.state().TaskList) {
            if (task.State == TaskState::Running || task.State == TaskState::Waiting ||
                task.State == TaskState::RewritePending) {
                return false;
            }
        }
        for (const auto& slot : m_engine.state().HttpSlots) {
            if (!slot->ready()) {
                return false;
            }
        }
        return !m_rewriter.isPending();
    }

    MessageLoop m_loop;
    SiteGrabView m_view;
    CountingTaskFiles m_taskFiles;
    NullDropSource m_drop;
    NullDialUp m_dialUp;
    EngineLinkIntake m_intake;
    LinkRewriter m_rewriter{m_loop, m_view};
    NetworkSlotFactory m_factory{m_loop};
    Engine m_engine;
};

}  // namespace quillharbor::test
