#pragma once

#include <cstddef>
#include <string>

#include "engine/dial_up_watch.h"
#include "engine/engine_context.h"
#include "engine/engine_services.h"
#include "engine/new_task_params.h"
#include "engine/object_commands.h"
#include "engine/result_handlers.h"
#include "engine/scheduler.h"
#include "engine/task_commands.h"
#include "engine/task_creator.h"
#include "engine/task_edit_params.h"
#include "engine/task_end.h"
#include "engine/task_loader.h"
#include "model/engine_state.h"
#include "platform/message_target.h"
#include "storage/default_task_options.h"
#include "storage/global_options.h"

namespace quillharbor {

// The download engine: owns the tasks and their objects, the queue, the seen list, the transfer
// slots and the settings, and is a target of the message loop. Components report to it only by
// posting the messages of engine_message.h to handle(); dialogs post their results the same way
// after filling newTaskParams() or taskEditParams(). The operations may also be called directly.
// Everything runs on the loop's thread; handlers tolerate being entered from a nested pump.
class Engine final : public MessageTarget {
public:
    // Starts the engine in its fixed order: registers with the loop, creates the drop window,
    // loads the built-in defaults and then the configuration file of programDir, sets the agent
    // text, applies the settings (which creates the slots). The lists start empty.
    Engine(EngineServices services, std::string programDir);
    // Program end: the slots are freed, then every task with its objects; the drop window is
    // destroyed. The view must not use any record afterwards.
    ~Engine() override;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    Handle handle() const { return m_handle; }
    const std::string& programDir() const { return m_programDir; }
    EngineState& state() { return m_state; }
    GlobalOptions& globalOptions() { return m_global; }
    DefaultTaskOptions& defaultTaskOptions() { return m_defaults; }
    NewTaskParams& newTaskParams() { return m_newTaskParams; }
    TaskEditParams& taskEditParams() { return m_taskEditParams; }

    // Fills newTaskParams() from the defaults, all but its URL.
    void PrepareNewTaskParams() { m_creator.PrepareNewTaskParams(m_newTaskParams); }
    // Takes the global options into the engine and rebuilds the slots (busy ones abort).
    void ApplySettings();
    // From newTaskParams(); nullptr when the task was refused.
    TTask* CreateTask() { return m_creator.CreateTask(m_newTaskParams); }
    void CreateTaskFromDrop(int mode, std::size_t contentSize) {
        m_creator.CreateTaskFromDrop(mode, contentSize);
    }
    void ApplyTaskEdit() { m_commands.ApplyTaskEdit(m_taskEditParams); }
    void StartSelectedTasks() { m_commands.StartSelectedTasks(); }
    void StopSelectedTasks() { m_commands.StopSelectedTasks(); }
    void AbortSelectedTasks() { m_commands.AbortSelectedTasks(); }
    void StopAllTasks() { m_commands.StopAllTasks(); }
    void AbortAllTasks() { m_commands.AbortAllTasks(); }
    void RemoveSelectedTasks() { m_commands.RemoveSelectedTasks(); }
    void RetryFailedLinks() { m_objects.RetryFailedLinks(); }
    void StartSelectedObjects() { m_objects.StartSelectedObjects(); }
    void StopSelectedObjects() { m_objects.StopSelectedObjects(); }
    void RemoveSelectedFromQueue() { m_objects.RemoveSelectedFromQueue(); }

    // Start-up, where the main window is first shown: the tasks of the program directory's task
    // files come back stopped or finished, their objects queued or settled, their rows added;
    // each rejected file is notified and left on disk. Call it once after constructing the
    // engine and before StartScheduler (task_loader.h has the rules).
    // Also holds back again the hosts a run before held back, whose hold is not over.
    void LoadAllTasks();
    // Start-up, after LoadAllTasks and before StartScheduler: finds dial-up control and shows
    // its state in pane 1 (dial_up_watch.h has the rules).
    void DetectDialup() { m_dialUp.DetectDialup(); }
    DialUpSupport dialUpSupport() const { return m_dialUp.support(); }
    // The unexpected-error path: hangs up the connection seen up when BreakConnection says so.
    void HangUpAfterError() { m_dialUp.HangUpAfterError(); }
    // Starts the scheduler's 200 ms tick; the front end calls it once its lists are filled.
    // Calling it again does nothing.
    void StartScheduler();
    // Close: stops the scheduler, then writes the configuration file and every task's file
    // (running tasks as they stand; they come back stopped). Each failure is notified; returns
    // whether everything was written. Stop the link rewriter first, so that the files hold its
    // last pass. Quitting without calling it leaves the files of the last periodic save.
    bool SaveAtClose();
    // One tick of the scheduler, as the timer runs it.
    void Timer1Timer() { m_scheduler.Timer1Timer(); }

    // A message naming a task or an object that is gone is dropped here.
    void onMessage(const Message& message) override;

private:
    EngineServices m_services;
    std::string m_programDir;
    GlobalOptions m_global;
    DefaultTaskOptions m_defaults;
    EngineState m_state;
    NewTaskParams m_newTaskParams;
    TaskEditParams m_taskEditParams;
    Handle m_handle;
    EngineContext m_context;
    TaskCreator m_creator;
    TaskCommands m_commands;
    ObjectCommands m_objects;
    DialUpWatch m_dialUp;
    TaskEnd m_taskEnd;
    TaskLoader m_loader;
    ResultHandlers m_results;
    Scheduler m_scheduler;
    unsigned m_timer = 0;
    bool m_admitPosted = false;  // an AdmitObjects waits in the loop
};

}  // namespace quillharbor
