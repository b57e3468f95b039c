#pragma once

#include <array>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/engine.h"
#include "engine/engine_view.h"
#include "ui/details_panel.h"
#include "ui/drop_window_controls.h"
#include "ui/icon_cache.h"
#include "ui/list_id.h"
#include "ui/object_rows.h"
#include "ui/text_collator.h"
#include "ui/ui_command.h"
#include "ui/window_services.h"

namespace quillharbor {

// The main window without a toolkit: the task rows, the three object lists of the current task,
// the details labels, the status panes and which commands are enabled. The engine drives it
// through EngineView; the widgets feed it focus, selection, clicks and keys and draw what it
// holds. Loop's thread only; records are held as the engine's view contract allows.
class MainWindowModel final : public EngineView {
public:
    static constexpr int kContentsHelp = 0;
    static constexpr int kMainWindowHelp = 4;
    static constexpr int kLicenseHelp = 3;

    MainWindowModel(DesktopShell& shell, WindowDialogs& dialogs, const TextCollator& collator);

    // The engine the commands run; set once it exists (it is made with this view).
    void attach(Engine& engine) { m_engine = &engine; }
    void setObserver(WindowObserver* observer) {
        m_observer = observer;
        m_rowsObserver = observer;
    }

    // What the widgets draw.
    const std::vector<TTask*>& taskRows() const { return m_tasks; }
    static int taskStateImage(const TTask& task);
    static constexpr int kTaskImage = 5;
    const ObjectRows& objectRows(ObjectListPage page) const;
    const CommandStates& commands() const { return m_commands; }
    bool enabled(UiCommand command) const { return m_commands.enabled(command); }
    // The drop window's toggles, when the program has a drop window.
    void attachDropWindow(DropWindowControls& controls) { m_dropWindow = &controls; }
    DropWindowControls* dropWindow() const { return m_dropWindow; }
    const DetailsLabels& details() const { return m_details; }
    const std::array<std::string, 5>& statusPanes() const { return m_panes; }
    TTask* currentTask() const { return m_current; }

    // What the widgets report. Selections come in list order.
    void focusChanged(ListId list);
    void taskSelectionChanged(std::vector<TTask*> selected);
    void objectSelectionChanged(ObjectListPage page, const std::vector<TDnObj*>& selected);
    // A command of a button, a menu item or a popup item (Exit belongs to the window).
    void run(UiCommand command);
    // Enter or a double-click in a list.
    void activate(ListId list);
    // The Delete key and Ctrl+Insert in a list.
    void deletePressed(ListId list);
    void copyPressed(ListId list);
    // F1: the main window's help page.
    void helpPressed() { m_shell.showHelp(kMainWindowHelp); }
    // A click on a column header.
    void sortByColumn(ObjectListPage page, int column);
    // An option dialog reported that it closed.
    void dialogClosed();
    // The Edit Task dialog closed: the task list, kept off while it was open, comes back too.
    void editTaskClosed();
    bool taskListEnabled() const { return m_taskListEnabled; }

    // The close question: true when the window may close; otherwise the confirm-exit box is
    // shown (without waiting) and the window stays open until confirmExit().
    bool closeRequested();
    // The confirm-exit box's OK: the next close is allowed without asking.
    void confirmExit() { m_forceClose = true; }
    // The close has begun: pane 0 says so while the files are written.
    void closing() { SetStatusText(0, "Parsing ..."); }

    // EngineView
    std::vector<TTask*> SelectedTasks() override { return m_selectedTasks; }
    std::vector<TDnObj*> SelectedObjects(ObjectListPage page) override;
    void AddTaskRow(TTask& task) override;
    void SelectTaskRow(TTask& task) override;
    void DeleteTaskRow(TTask& task) override;
    void RefreshTaskIcons() override { refresh(); }
    void ClearCurrentTask() override;
    void AddObjectRow(TDnObj& object) override;
    void RefreshObjectRow(TDnObj& object) override;
    void FillObjectLists() override;
    void ShowObjectStarted(TDnObj& object) override { RefreshObjectRow(object); }
    void ShowObjectReceiving(TDnObj& object) override;
    void ShowObjectProgress(TDnObj& object) override;
    void ShowTaskCounters(TTask& task) override;
    void UpdateCommands() override;
    void ShowNotification(const std::string& text) override { m_dialogs.showNotification(text); }
    void SetStatusText(int pane, const std::string& text) override;
    void OpenNewTask(const std::string& url) override;
    void OpenEditTask(TTask& task) override;

private:
    void openNewTask(const std::string& url, bool keptOnTop);
    void openEditTask(TTask& task, bool keptOnTop);
    ObjectRows& rows(ObjectListPage page);
    ObjectRows* rowsHolding(const TDnObj& object);
    std::unordered_set<TDnObj*>& selection(ObjectListPage page);
    void forgetRow(TDnObj& object);
    // Empties the object lists and forgets the rows of the current task's objects.
    void emptyObjectLists();
    void copyUrl();
    void runDropWindowToggle(UiCommand command);
    void refresh();

    DesktopShell& m_shell;
    WindowDialogs& m_dialogs;
    Engine* m_engine = nullptr;
    WindowObserver* m_observer = nullptr;
    RowsObserver* m_rowsObserver = nullptr;  // m_observer, or nullptr while lists are filled
    std::vector<TTask*> m_tasks;
    std::array<std::unique_ptr<ObjectRows>, 3> m_objectRows;
    IconCache m_icons;
    TTask* m_current = nullptr;
    ListId m_focus = ListId::None;
    std::vector<TTask*> m_selectedTasks;
    std::array<std::unordered_set<TDnObj*>, 3> m_selectedObjects;
    CommandStates m_commands;
    int m_dialogsOpen = 0;
    bool m_listsShown = false;  // the object lists show the current task's objects
    bool m_forceClose = false;
    bool m_taskListEnabled = true;
    DropWindowControls* m_dropWindow = nullptr;
    DetailsLabels m_details = bareDetailsLabels();
    // The last pane names the hosts held back, empty while there are none.
    std::array<std::string, 5> m_panes = {"bytes/sec", "RAS:", "work time", "bytes total", ""};
};

}  // namespace quillharbor
