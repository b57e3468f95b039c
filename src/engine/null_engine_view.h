#pragma once

#include <string>
#include <vector>

#include "engine/engine_view.h"

namespace quillharbor {

// A view that shows nothing and selects nothing: for headless runs that watch the engine through
// its records. Override what you want to see.
class NullEngineView : public EngineView {
public:
    std::vector<TTask*> SelectedTasks() override { return {}; }
    std::vector<TDnObj*> SelectedObjects(ObjectListPage) override { return {}; }
    void AddTaskRow(TTask&) override {}
    void SelectTaskRow(TTask&) override {}
    void DeleteTaskRow(TTask&) override {}
    void RefreshTaskIcons() override {}
    void ClearCurrentTask() override {}
    void AddObjectRow(TDnObj&) override {}
    void RefreshObjectRow(TDnObj&) override {}
    void FillObjectLists() override {}
    void ShowObjectStarted(TDnObj&) override {}
    void ShowObjectReceiving(TDnObj&) override {}
    void ShowObjectProgress(TDnObj&) override {}
    void ShowTaskCounters(TTask&) override {}
    void UpdateCommands() override {}
    void ShowNotification(const std::string&) override {}
    void SetStatusText(int, const std::string&) override {}
    void OpenNewTask(const std::string&) override {}
    void OpenEditTask(TTask&) override {}
};

}  // namespace quillharbor
