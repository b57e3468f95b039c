#include "ui/main_window_model.h"

#include <algorithm>

#include "ui/command_rules.h"
#include "ui/object_row.h"

namespace quillharbor {

namespace {

constexpr std::size_t pageIndex(ObjectListPage page) {
    return static_cast<std::size_t>(page);
}

constexpr std::array kPages = {ObjectListPage::Saved, ObjectListPage::BeingRetrieved,
                               ObjectListPage::Queued};

}  // namespace

MainWindowModel::MainWindowModel(DesktopShell& shell, WindowDialogs& dialogs,
                                 const TextCollator& collator)
    : m_shell(shell), m_dialogs(dialogs) {
    for (ObjectListPage page : kPages) {
        m_objectRows[pageIndex(page)] =
            std::make_unique<ObjectRows>(page, collator, m_rowsObserver);
    }
    UpdateCommands();
}

int MainWindowModel::taskStateImage(const TTask& task) {
    switch (task.State) {
        case TaskState::Running:
            return 0;
        case TaskState::Stopped:
            return 1;
        case TaskState::Waiting:
            return 2;
        case TaskState::Aborted:
            return 3;
        default:
            return 4;
    }
}

const ObjectRows& MainWindowModel::objectRows(ObjectListPage page) const {
    return *m_objectRows[pageIndex(page)];
}

ObjectRows& MainWindowModel::rows(ObjectListPage page) {
    return *m_objectRows[pageIndex(page)];
}

std::unordered_set<TDnObj*>& MainWindowModel::selection(ObjectListPage page) {
    return m_selectedObjects[pageIndex(page)];
}

ObjectRows* MainWindowModel::rowsHolding(const TDnObj& object) {
    return static_cast<ObjectRows*>(object.ListItem);
}

void MainWindowModel::focusChanged(ListId list) {
    m_focus = list;
    UpdateCommands();
}

void MainWindowModel::taskSelectionChanged(std::vector<TTask*> selected) {
    m_selectedTasks = std::move(selected);
    UpdateCommands();
    if (m_selectedTasks.size() == 1) {
        TTask& task = *m_selectedTasks.front();
        m_details = detailsLabelsOf(task);
        // The lists are filled again also for the current task when a wider selection emptied
        // them: the user selected it to see its objects.
        if (&task != m_current || !m_listsShown) {
            emptyObjectLists();
            m_current = &task;
            FillObjectLists();
        }
    } else if (m_selectedTasks.size() > 1) {
        // The lists are emptied but the task stays current: selecting it alone again refills them.
        m_details = bareDetailsLabels();
        emptyObjectLists();
        m_listsShown = false;
    }
    refresh();
}

void MainWindowModel::objectSelectionChanged(ObjectListPage page,
                                             const std::vector<TDnObj*>& selected) {
    selection(page) = {selected.begin(), selected.end()};
    UpdateCommands();
}

void MainWindowModel::run(UiCommand command) {
    if (m_engine == nullptr || !enabled(command)) {
        return;
    }
    Engine& engine = *m_engine;
    switch (command) {
        case UiCommand::NewTask:
            openNewTask("", false);
            break;
        case UiCommand::EditTask:
            if (m_selectedTasks.size() == 1) {
                openEditTask(*m_selectedTasks.front(), false);
            }
            break;
        case UiCommand::RemoveTask:
            m_dialogs.showConfirmRemove();
            break;
        case UiCommand::StartTask:
            engine.StartSelectedTasks();
            break;
        case UiCommand::StopTask:
            engine.StopSelectedTasks();
            break;
        case UiCommand::AbortTask:
            engine.AbortSelectedTasks();
            break;
        case UiCommand::StopAllTasks:
            engine.StopAllTasks();
            break;
        case UiCommand::AbortAllTasks:
            engine.AbortAllTasks();
            break;
        case UiCommand::RetryFailedLinks:
            engine.RetryFailedLinks();
            break;
        case UiCommand::StartObject:
            engine.StartSelectedObjects();
            break;
        case UiCommand::StopObject:
            engine.StopSelectedObjects();
            break;
        case UiCommand::RemoveFromQueue:
            engine.RemoveSelectedFromQueue();
            break;
        case UiCommand::CopyUrl:
            copyUrl();
            break;
        case UiCommand::DefaultTaskOptions:
            m_dialogsOpen += m_dialogs.showDefaultTaskOptions() ? 1 : 0;
            break;
        case UiCommand::GlobalOptions:
            m_dialogsOpen += m_dialogs.showGlobalOptions() ? 1 : 0;
            break;
        case UiCommand::ToggleDropWindow:
        case UiCommand::TogglePasteFromClipboard:
        case UiCommand::DropWindowItem:
        case UiCommand::PasteFromClipboardItem:
            runDropWindowToggle(command);
            break;
        case UiCommand::HelpContents:
            m_shell.showHelp(kContentsHelp);
            break;
        case UiCommand::License:
            m_shell.showHelp(kLicenseHelp);
            break;
        case UiCommand::About:
            m_dialogs.showAbout();
            break;
        case UiCommand::Exit:
        case UiCommand::Count:
            break;
    }
    UpdateCommands();
}

void MainWindowModel::runDropWindowToggle(UiCommand command) {
    if (m_dropWindow == nullptr) {
        return;
    }
    if (command == UiCommand::ToggleDropWindow) {
        m_dropWindow->dropButtonClicked();
    } else if (command == UiCommand::DropWindowItem) {
        m_dropWindow->dropItemClicked();
    } else if (command == UiCommand::TogglePasteFromClipboard) {
        m_dropWindow->pasteButtonClicked();
    } else {
        m_dropWindow->pasteItemClicked();
    }
}

void MainWindowModel::activate(ListId list) {
    if (list == ListId::Tasks && m_selectedTasks.size() == 1) {
        m_shell.openPath(m_selectedTasks.front()->Dir);
        return;
    }
    if (list != ListId::Saved && list != ListId::Queued) {
        return;
    }
    const ObjectListPage page =
        list == ListId::Saved ? ObjectListPage::Saved : ObjectListPage::Queued;
    const std::vector<TDnObj*> selected = SelectedObjects(page);
    // A queued row opens like a saved one: a file fetched from the internet is never executed.
    if (selected.size() == 1 || (list == ListId::Queued && !selected.empty())) {
        const TDnObj& object = *selected.front();
        m_shell.openPath(object.Task->Dir + object.LocalName);
    }
}

void MainWindowModel::deletePressed(ListId list) {
    if (list == ListId::Queued && m_engine != nullptr) {
        m_engine->RemoveSelectedFromQueue();
    }
}

void MainWindowModel::copyPressed(ListId list) {
    if (list == ListId::Queued) {
        copyUrl();
    }
}

void MainWindowModel::copyUrl() {
    if (m_focus != ListId::Saved && m_focus != ListId::Queued) {
        return;
    }
    const std::vector<TDnObj*> selected =
        SelectedObjects(m_focus == ListId::Saved ? ObjectListPage::Saved : ObjectListPage::Queued);
    if (!selected.empty()) {
        m_shell.copyText(selected.front()->URL);
    }
}

void MainWindowModel::sortByColumn(ObjectListPage page, int column) {
    if (column == 0 && page != ObjectListPage::BeingRetrieved) {
        rows(page).setOrder(RowOrder::Caption);
    } else if (column == 1 && page == ObjectListPage::Saved) {
        rows(page).setOrder(RowOrder::Url);
    }
}

void MainWindowModel::dialogClosed() {
    m_dialogsOpen = std::max(m_dialogsOpen - 1, 0);
    UpdateCommands();
}

void MainWindowModel::editTaskClosed() {
    m_taskListEnabled = true;
    dialogClosed();
}

bool MainWindowModel::closeRequested() {
    const bool active = std::any_of(m_tasks.begin(), m_tasks.end(), [](const TTask* task) {
        return task->State == TaskState::Running || task->State == TaskState::Waiting ||
               task->State == TaskState::RewritePending;
    });
    if (m_forceClose || !active) {
        return true;
    }
    m_dialogs.showConfirmExit();
    return false;
}

std::vector<TDnObj*> MainWindowModel::SelectedObjects(ObjectListPage page) {
    const ObjectRows& list = rows(page);
    std::vector<std::pair<std::size_t, TDnObj*>> ordered;
    for (TDnObj* object : selection(page)) {
        if (const auto row = list.rowOf(*object)) {
            ordered.emplace_back(*row, object);
        }
    }
    std::sort(ordered.begin(), ordered.end());
    std::vector<TDnObj*> objects;
    objects.reserve(ordered.size());
    for (const auto& [row, object] : ordered) {
        objects.push_back(object);
    }
    return objects;
}

void MainWindowModel::AddTaskRow(TTask& task) {
    if (m_rowsObserver != nullptr) {
        m_rowsObserver->beginInsertRow(ListId::Tasks, m_tasks.size());
    }
    m_tasks.push_back(&task);
    if (m_rowsObserver != nullptr) {
        m_rowsObserver->endInsertRow(ListId::Tasks);
    }
}

void MainWindowModel::SelectTaskRow(TTask& task) {
    const auto row = std::find(m_tasks.begin(), m_tasks.end(), &task);
    if (row == m_tasks.end()) {
        return;
    }
    m_focus = ListId::Tasks;
    taskSelectionChanged({&task});
    if (m_observer != nullptr) {
        m_observer->selectTaskRow(static_cast<std::size_t>(row - m_tasks.begin()));
    }
}

void MainWindowModel::DeleteTaskRow(TTask& task) {
    if (&task == m_current) {
        ClearCurrentTask();
    }
    std::erase(m_selectedTasks, &task);
    const auto row = std::find(m_tasks.begin(), m_tasks.end(), &task);
    if (row == m_tasks.end()) {
        return;
    }
    if (m_rowsObserver != nullptr) {
        m_rowsObserver->beginRemoveRow(ListId::Tasks,
                                       static_cast<std::size_t>(row - m_tasks.begin()));
    }
    m_tasks.erase(row);
    if (m_rowsObserver != nullptr) {
        m_rowsObserver->endRemoveRow(ListId::Tasks);
    }
    UpdateCommands();
}

void MainWindowModel::emptyObjectLists() {
    if (m_current != nullptr) {
        for (TDnObj& object : m_current->Objects) {
            object.ListItem = nullptr;
        }
    }
    for (ObjectListPage page : kPages) {
        rows(page).clear();
        selection(page).clear();
    }
}

void MainWindowModel::ClearCurrentTask() {
    emptyObjectLists();
    m_current = nullptr;
    m_details = bareDetailsLabels();
    UpdateCommands();
}

void MainWindowModel::AddObjectRow(TDnObj& object) {
    const std::optional<ObjectListPage> page = pageOfObject(object);
    if (!page) {
        return;
    }
    if (object.Task != m_current) {
        object.ListItem = nullptr;
        return;
    }
    // An object queued again after a wait (a loaded link that waited for its host's robots.txt)
    // may have its row already: it moves instead of showing twice.
    forgetRow(object);
    object.Icon = chooseObjectIcon(object, m_icons, m_shell);
    ObjectRows& list = rows(*page);
    list.insert(object);
    object.ListItem = &list;
}

void MainWindowModel::forgetRow(TDnObj& object) {
    if (ObjectRows* list = rowsHolding(object)) {
        list->erase(object);
        selection(list->page()).erase(&object);
        object.ListItem = nullptr;
    }
}

void MainWindowModel::RefreshObjectRow(TDnObj& object) {
    if (object.ListItem == nullptr) {
        AddObjectRow(object);
    } else if (object.State != ObjectState::RobotsRequest && object.Task == m_current) {
        forgetRow(object);
        AddObjectRow(object);
    }
}

void MainWindowModel::FillObjectLists() {
    // One reset per list instead of a notice per row: a task may hold 200,000 objects.
    for (ObjectListPage page : kPages) {
        if (m_rowsObserver != nullptr) {
            m_rowsObserver->beginResetRows(listOf(page));
        }
    }
    RowsObserver* const observer = std::exchange(m_rowsObserver, nullptr);
    for (ObjectListPage page : kPages) {
        rows(page).clear();
        selection(page).clear();
    }
    if (m_current != nullptr) {
        for (TDnObj& object : m_current->Objects) {
            object.ListItem = nullptr;
            AddObjectRow(object);
        }
    }
    m_listsShown = true;
    m_rowsObserver = observer;
    for (ObjectListPage page : kPages) {
        if (m_rowsObserver != nullptr) {
            m_rowsObserver->endResetRows(listOf(page));
        }
    }
    UpdateCommands();
}

void MainWindowModel::ShowObjectReceiving(TDnObj& object) {
    if (object.Task != m_current) {
        return;
    }
    if (rowsHolding(object) != &rows(ObjectListPage::BeingRetrieved)) {
        RefreshObjectRow(object);
    } else if (m_observer != nullptr) {
        m_observer->objectRowChanged(object);
    }
}

void MainWindowModel::ShowObjectProgress(TDnObj& object) {
    if (object.ListItem != nullptr && m_observer != nullptr) {
        m_observer->objectRowChanged(object);
    }
}

void MainWindowModel::ShowTaskCounters(TTask& task) {
    if (&task == m_current && m_selectedTasks.size() == 1) {
        m_details = detailsLabelsOf(task);
        refresh();
    }
}

void MainWindowModel::UpdateCommands() {
    CommandStates states;
    applyTaskRule(states, m_focus, m_selectedTasks);
    applyGlobalRule(states, m_tasks);
    const std::vector<TDnObj*> saved = SelectedObjects(ObjectListPage::Saved);
    applyObjectRule(states, m_focus, saved, selection(ObjectListPage::BeingRetrieved).size(),
                    selection(ObjectListPage::Queued).size());
    applyRetryRule(states, m_focus, m_selectedTasks.size(), saved.size());
    applyDialogRule(states, m_dialogsOpen > 0);
    m_commands = states;
    if (m_dropWindow != nullptr) {
        m_dropWindow->dialogItemsEnabled(m_dialogsOpen == 0);
    }
    refresh();
}

void MainWindowModel::SetStatusText(int pane, const std::string& text) {
    if (pane >= 0 && pane < static_cast<int>(m_panes.size())) {
        m_panes[static_cast<std::size_t>(pane)] = text;
        refresh();
    }
}

// The engine opens the option dialogs only for a dropped link or page: they stay on top, since
// the user is in another program's window.
void MainWindowModel::OpenNewTask(const std::string& url) {
    openNewTask(url, true);
}

void MainWindowModel::OpenEditTask(TTask& task) {
    openEditTask(task, true);
}

void MainWindowModel::openNewTask(const std::string& url, bool keptOnTop) {
    if (m_engine == nullptr) {
        return;
    }
    m_engine->newTaskParams().URL = url;
    m_engine->PrepareNewTaskParams();
    if (m_dialogs.showNewTask(keptOnTop)) {
        ++m_dialogsOpen;
        UpdateCommands();
    }
}

void MainWindowModel::openEditTask(TTask& task, bool keptOnTop) {
    if (m_dialogs.showEditTask(task, keptOnTop)) {
        ++m_dialogsOpen;
        // The edited task stays the one selected until the dialog closes.
        m_taskListEnabled = false;
        UpdateCommands();
    }
}

void MainWindowModel::refresh() {
    if (m_observer != nullptr) {
        m_observer->refreshNeeded();
    }
}

}  // namespace quillharbor
