#pragma once

#include <string>
#include <vector>

#include "model/dn_obj.h"
#include "model/task.h"

namespace quillharbor {

// The three object lists of the current task.
enum class ObjectListPage {
    Saved,
    BeingRetrieved,
    Queued,
};

// Why the link intake left a link of a page: longer than any link it takes, past the task's
// file limit, or refused by the task's own include and exclude expressions.
enum class LinkDrop {
    TooLong,
    FileLimit,
    Filtered,
};

// What the engine needs from a screen: the desktop window and the command-line front end
// implement it, tests record it. The engine calls it on the loop's thread after it has changed
// tasks or objects, and reads nothing back but the selection. Records handed over stay valid
// until the engine says otherwise: a task until DeleteTaskRow, its objects until ClearCurrentTask
// or DeleteTaskRow of their task.
class EngineView {
public:
    virtual ~EngineView() = default;

    // The tasks whose rows are selected, in list order.
    virtual std::vector<TTask*> SelectedTasks() = 0;
    // The objects whose rows are selected in one object list, in list order.
    virtual std::vector<TDnObj*> SelectedObjects(ObjectListPage page) = 0;

    virtual void AddTaskRow(TTask& task) = 0;
    // Makes the task's row the selected and focused one.
    virtual void SelectTaskRow(TTask& task) = 0;
    // The task is about to be freed with its objects: forget its row and everything of it.
    virtual void DeleteTaskRow(TTask& task) = 0;
    // Recomputes every task row's state image.
    virtual void RefreshTaskIcons() = 0;
    // No task is current any longer: the object lists are emptied and the task details show
    // their bare captions.
    virtual void ClearCurrentTask() = 0;

    virtual void AddObjectRow(TDnObj& object) = 0;
    virtual void RefreshObjectRow(TDnObj& object) = 0;
    virtual void FillObjectLists() = 0;
    // A transfer of the object began: its row is refreshed and marked as started.
    virtual void ShowObjectStarted(TDnObj& object) = 0;
    // The object's body began to arrive, or more of it arrived: when its task is the current one
    // its row (added to the Being retrieved list when missing) shows its name and byte counts.
    virtual void ShowObjectReceiving(TDnObj& object) = 0;
    virtual void ShowObjectProgress(TDnObj& object) = 0;
    // The task's Queued or Total changed: when it is the current task its details follow.
    virtual void ShowTaskCounters(TTask& task) = 0;

    // Recomputes which task, object and global commands are enabled.
    virtual void UpdateCommands() = 0;

    // Shows a message without waiting for the user.
    virtual void ShowNotification(const std::string& text) = 0;
    // A link of the page was dropped; a screen may say so or remember it, or ignore it.
    virtual void ShowLinkDropped(const TDnObj& /*page*/, const std::string& /*link*/, LinkDrop) {}
    virtual void SetStatusText(int pane, const std::string& text) = 0;

    // The New Task dialog, kept on top, with url filled in.
    virtual void OpenNewTask(const std::string& url) = 0;
    // The Edit Task dialog for task, kept on top.
    virtual void OpenEditTask(TTask& task) = 0;
};

}  // namespace quillharbor
