#include "ui/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

namespace quillharbor {

namespace {

constexpr int kTaskColumnWidth = 185;
constexpr int kDetailsHeight = 79;
constexpr int kPaneWidth = 120;
// Wide enough for the fourteen toolbar buttons and the three page tabs at common font sizes.
constexpr QSize kInitialSize(800, 520);

constexpr std::size_t pageIndex(ObjectListPage page) {
    return static_cast<std::size_t>(page);
}

constexpr std::array kPages = {ObjectListPage::Saved, ObjectListPage::BeingRetrieved,
                               ObjectListPage::Queued};

std::optional<ObjectListPage> pageOf(ListId list) {
    switch (list) {
        case ListId::Saved:
            return ObjectListPage::Saved;
        case ListId::BeingRetrieved:
            return ObjectListPage::BeingRetrieved;
        case ListId::Queued:
            return ObjectListPage::Queued;
        default:
            return std::nullopt;
    }
}

}  // namespace

MainWindow::MainWindow(MainWindowModel& model, const QtDesktopShell& shell,
                       std::function<void()> onClose)
    : m_model(model), m_shell(shell), m_onClose(std::move(onClose)), m_taskModel(model, m_images) {
    setWindowTitle(QStringLiteral("Quillharbor"));
    setWindowIcon(QIcon::fromTheme("quillharbor", QIcon(":/icons/quillharbor.svg")));
    for (ObjectListPage page : kPages) {
        m_objectModels[pageIndex(page)] =
            std::make_unique<ObjectListModel>(model, page, m_images, shell);
    }
    createActions();
    createMenus();
    createToolBar();

    m_pages = new QTabWidget;
    m_pages->addTab(createObjectView(ObjectListPage::Saved), m_images.status(0),
                    QStringLiteral("&Saved"));
    m_pages->addTab(createObjectView(ObjectListPage::BeingRetrieved), m_images.progress(4),
                    QStringLiteral("Being &retrieved"));
    m_pages->addTab(createObjectView(ObjectListPage::Queued), m_images.status(5),
                    QStringLiteral("&Queued"));
    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(createTaskColumn());
    splitter->addWidget(m_pages);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({kTaskColumnWidth, kInitialSize.width() - kTaskColumnWidth});
    setCentralWidget(splitter);
    createStatusBar();

    resize(kInitialSize);
    if (const QScreen* screen = QApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { onFocusChanged(now); });
    m_model.setObserver(this);
    m_taskView->setFocus();
    flush();
}

MainWindow::~MainWindow() {
    // Hiding a window that is being destroyed still moves the focus, after this part of it is gone.
    disconnect(qApp, nullptr, this, nullptr);
    m_model.setObserver(nullptr);
}

QAction* MainWindow::commandAction(UiCommand command, const QString& text, const QString& icon,
                                   const QKeySequence& shortcut) {
    auto* action = new QAction(QIcon::fromTheme(icon), text, this);
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this, command] {
        if (command == UiCommand::Exit) {
            close();
        } else {
            m_model.run(command);
        }
    });
    m_actions[static_cast<std::size_t>(command)] = action;
    m_bindings.emplace_back(action, command);
    return action;
}

QAction* MainWindow::popupAction(QMenu* menu, UiCommand command, const QString& text,
                                 const QKeySequence& shortcut) {
    QAction* action = menu->addAction(text);
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this, command] { m_model.run(command); });
    m_bindings.emplace_back(action, command);
    return action;
}

QAction* MainWindow::action(UiCommand command) const {
    return m_actions[static_cast<std::size_t>(command)];
}

void MainWindow::createActions() {
    using C = UiCommand;
    commandAction(C::NewTask, "&New Task ...", "document-new", QKeySequence("Ctrl+N"))
        ->setToolTip("New Task");
    commandAction(C::EditTask, "Edit &Task ...", "document-properties");
    commandAction(C::RemoveTask, "&Remove Task Record", "edit-delete", QKeySequence("Shift+Del"))
        ->setToolTip("Remove Task Record");
    commandAction(C::StartTask, "&Start Task", "media-playback-start")->setToolTip("Start Task");
    commandAction(C::StopTask, "St&op Task", "media-playback-pause", QKeySequence("Ctrl+O"))
        ->setToolTip("Stop Task");
    commandAction(C::AbortTask, "&Abort Task", "media-playback-stop", QKeySequence("Ctrl+A"))
        ->setToolTip("Abort Task");
    commandAction(C::AbortAllTasks, "Abort All Tasks", "process-stop")
        ->setToolTip("Abort All Tasks");
    commandAction(C::StopAllTasks, "Stop All Tasks", "media-playlist-repeat")
        ->setToolTip("Stop All Tasks");
    commandAction(C::Exit, "&Exit", "application-exit");
    commandAction(C::RetryFailedLinks, "&Retry Failed Links", "view-refresh")
        ->setToolTip("Retry failed links");
    commandAction(C::StartObject, "(Re) S&tart", "go-down", QKeySequence("Ctrl+R"))
        ->setToolTip("(Re) Start Object");
    commandAction(C::StopObject, "&Stop", "process-stop", QKeySequence("Ctrl+S"))
        ->setToolTip("Stop Object");
    commandAction(C::RemoveFromQueue, "Remove From &Queue", "list-remove");
    commandAction(C::CopyUrl, "&Copy URL", "edit-copy");
    commandAction(C::DefaultTaskOptions, "&Default Task Options ...", "document-properties")
        ->setToolTip("Default Task Options");
    commandAction(C::GlobalOptions, "&Global Options ...", "preferences-system")
        ->setToolTip("Global Options");
    // The toggles' buttons and menu items are actions of their own: their states differ.
    commandAction(C::ToggleDropWindow, "Drop Window", "go-jump")->setCheckable(true);
    commandAction(C::DropWindowItem, "&Show Drop Window", {})->setCheckable(true);
    commandAction(C::TogglePasteFromClipboard, "Paste Links", "edit-paste")
        ->setToolTip("Paste links from clipboard");
    action(C::TogglePasteFromClipboard)->setCheckable(true);
    commandAction(C::PasteFromClipboardItem, "&Paste Links From Clipboard", {})->setCheckable(true);
    commandAction(C::HelpContents, "Contents", "help-contents");
    commandAction(C::License, "License", "help-about");
    commandAction(C::About, "About ...", "help-about");
    // The toolbar's own icons where the theme lacks one.
    const std::pair<UiCommand, const char*> fallbacks[] = {
        {C::NewTask, "new-task"},
        {C::RemoveTask, "remove-task"},
        {C::StartTask, "start-task"},
        {C::StopTask, "stop-task"},
        {C::AbortTask, "abort-task"},
        {C::RetryFailedLinks, "retry-failed-links"},
        {C::StartObject, "start-object"},
        {C::StopObject, "stop-object"},
        {C::DefaultTaskOptions, "default-task-options"},
        {C::GlobalOptions, "global-options"},
        {C::ToggleDropWindow, "drop-window"},
        {C::TogglePasteFromClipboard, "paste-links"},
        {C::AbortAllTasks, "abort-all-tasks"},
        {C::StopAllTasks, "stop-all-tasks"},
    };
    for (const auto& [command, file] : fallbacks) {
        if (action(command)->icon().isNull()) {
            action(command)->setIcon(QIcon(QStringLiteral(":/icons/toolbar/%1.svg").arg(file)));
        }
    }
}

void MainWindow::createMenus() {
    using C = UiCommand;
    QMenu* tasks = menuBar()->addMenu("&Tasks");
    tasks->addActions({action(C::NewTask), action(C::EditTask), action(C::RemoveTask)});
    tasks->addSeparator();
    tasks->addActions({action(C::StartTask), action(C::StopTask), action(C::AbortTask)});
    tasks->addSeparator();
    tasks->addActions({action(C::AbortAllTasks), action(C::StopAllTasks)});
    tasks->addSeparator();
    tasks->addAction(action(C::Exit));
    QMenu* objects = menuBar()->addMenu("O&bjects");
    objects->addActions({action(C::RetryFailedLinks), action(C::StartObject), action(C::StopObject),
                         action(C::RemoveFromQueue), action(C::CopyUrl)});
    QMenu* options = menuBar()->addMenu("&Options");
    options->addActions({action(C::DefaultTaskOptions), action(C::GlobalOptions)});
    options->addSeparator();
    options->addActions({action(C::DropWindowItem), action(C::PasteFromClipboardItem)});
    QMenu* help = menuBar()->addMenu("&Help");
    help->addActions({action(C::HelpContents), action(C::License), action(C::About)});
    auto* contextHelp = new QAction(this);
    contextHelp->setShortcut(QKeySequence::HelpContents);
    connect(contextHelp, &QAction::triggered, this, [this] { m_model.helpPressed(); });
    addAction(contextHelp);
}

void MainWindow::createToolBar() {
    using C = UiCommand;
    QToolBar* bar = addToolBar("Commands");
    bar->setMovable(false);
    bar->setIconSize(QSize(24, 24));
    bar->addActions({action(C::NewTask), action(C::StartTask), action(C::StopTask),
                     action(C::AbortTask), action(C::RemoveTask)});
    bar->addSeparator();
    bar->addAction(action(C::RetryFailedLinks));
    bar->addSeparator();
    bar->addActions({action(C::StartObject), action(C::StopObject)});
    bar->addSeparator();
    bar->addActions({action(C::DefaultTaskOptions), action(C::GlobalOptions)});
    bar->addSeparator();
    bar->addActions({action(C::ToggleDropWindow), action(C::TogglePasteFromClipboard)});
    bar->addSeparator();
    bar->addActions({action(C::AbortAllTasks), action(C::StopAllTasks)});
}

QWidget* MainWindow::createTaskColumn() {
    m_taskView = new QListView;
    m_taskView->setModel(&m_taskModel);
    m_taskView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_taskView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_taskView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_taskView->installEventFilter(this);
    auto* popup = new QMenu(this);
    popupAction(popup, UiCommand::StartTask, "&Start", QKeySequence("Ctrl+T"));
    popupAction(popup, UiCommand::StopTask, "St&op", QKeySequence("Ctrl+O"));
    popupAction(popup, UiCommand::AbortTask, "&Abort", QKeySequence("Ctrl+A"));
    popupAction(popup, UiCommand::RemoveTask, "&Remove", QKeySequence("Shift+Del"));
    popupAction(popup, UiCommand::EditTask, "&Properties ...");
    connect(
        m_taskView, &QWidget::customContextMenuRequested, this,
        [this, popup](const QPoint& at) { popup->popup(m_taskView->viewport()->mapToGlobal(at)); });
    connect(m_taskView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { onTaskSelection(); });
    connect(m_taskView, &QAbstractItemView::doubleClicked, this,
            [this] { m_model.activate(ListId::Tasks); });

    auto* details = new QFrame;
    details->setFrameShape(QFrame::Panel);
    details->setFrameShadow(QFrame::Sunken);
    details->setAutoFillBackground(true);
    QPalette palette = details->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::ToolTipBase));
    palette.setColor(QPalette::WindowText, palette.color(QPalette::ToolTipText));
    details->setPalette(palette);
    auto* layout = new QVBoxLayout(details);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(0);
    for (QLabel*& label : m_details) {
        label = new QLabel;
        layout->addWidget(label);
    }
    auto* column = new QSplitter(Qt::Vertical);
    column->addWidget(m_taskView);
    column->addWidget(details);
    column->setStretchFactor(0, 1);
    column->setSizes({kInitialSize.height() - kDetailsHeight, kDetailsHeight});
    return column;
}

// A table, not a tree: a tree lays out every row again when one is inserted or removed.
QTableView* MainWindow::createObjectView(ObjectListPage page) {
    auto* view = new QTableView;
    view->setModel(m_objectModels[pageIndex(page)].get());
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->setShowGrid(false);
    view->setWordWrap(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setSectionsClickable(true);
    view->horizontalHeader()->setStretchLastSection(false);
    view->installEventFilter(this);
    m_objectViews[pageIndex(page)] = view;
    switch (page) {
        case ObjectListPage::Saved:
            view->setColumnWidth(0, 100);
            view->setColumnWidth(1, 120);
            view->setColumnWidth(2, 60);
            break;
        case ObjectListPage::BeingRetrieved:
            view->setColumnWidth(0, 240);
            view->setColumnWidth(1, 120);
            view->setColumnWidth(2, 70);
            view->setColumnWidth(3, 70);
            break;
        case ObjectListPage::Queued:
            view->setColumnWidth(0, 120);
            view->horizontalHeader()->setMinimumSectionSize(40);
            break;
    }
    connect(view->horizontalHeader(), &QHeaderView::sectionClicked, this, [this, page](int column) {
        m_model.sortByColumn(page, column);
        m_objectModels[pageIndex(page)]->headersChanged();
    });
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this, page] { onObjectSelection(page); });
    connect(view, &QAbstractItemView::doubleClicked, this, [this, page] {
        if (page != ObjectListPage::Queued) {
            m_model.activate(quillharbor::listOf(page));
        }
    });
    auto* popup = new QMenu(this);
    switch (page) {
        case ObjectListPage::Saved:
            popupAction(popup, UiCommand::StartObject, "&Start object");
            popupAction(popup, UiCommand::CopyUrl, "&Copy URL");
            break;
        case ObjectListPage::BeingRetrieved:
            popupAction(popup, UiCommand::StopObject, "Stop object");
            break;
        case ObjectListPage::Queued:
            popupAction(popup, UiCommand::RemoveFromQueue, "Remove from queue");
            popupAction(popup, UiCommand::CopyUrl, "Copy URL");
            break;
    }
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [view, popup](const QPoint& at) { popup->popup(view->viewport()->mapToGlobal(at)); });
    return view;
}

void MainWindow::createStatusBar() {
    const char* initial[] = {"bytes/sec", "RAS:", "work time", "bytes total", ""};
    for (std::size_t pane = 0; pane < m_panes.size(); ++pane) {
        m_panes[pane] = new QLabel(initial[pane]);
        m_panes[pane]->setMinimumWidth(kPaneWidth);
        m_panes[pane]->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        m_panes[pane]->setContentsMargins(4, 0, 4, 0);
        statusBar()->addWidget(m_panes[pane]);
    }
}

QTableView* MainWindow::objectView(ObjectListPage page) const {
    return m_objectViews[pageIndex(page)];
}

ObjectListModel& MainWindow::objectModel(ListId list) {
    return *m_objectModels[pageIndex(pageOf(list).value())];
}

ListId MainWindow::listOf(QObject* widget) const {
    if (widget == m_taskView) {
        return ListId::Tasks;
    }
    for (ObjectListPage page : kPages) {
        if (widget == m_objectViews[pageIndex(page)]) {
            return quillharbor::listOf(page);
        }
    }
    return ListId::None;
}

void MainWindow::onFocusChanged(QWidget* now) {
    // Focus leaving the program keeps the window's focused control, as it comes back to it.
    // The menu bar takes the focus while Alt walks the menus; the menus act on the list that had
    // it before.
    if (now != nullptr && now->window() == this && qobject_cast<QMenuBar*>(now) == nullptr) {
        m_model.focusChanged(listOf(now));
    }
}

void MainWindow::onTaskSelection() {
    if (m_selecting) {
        return;
    }
    QModelIndexList rows = m_taskView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    std::vector<TTask*> tasks;
    for (const QModelIndex& row : rows) {
        tasks.push_back(m_model.taskRows()[static_cast<std::size_t>(row.row())]);
    }
    m_model.taskSelectionChanged(std::move(tasks));
}

void MainWindow::onObjectSelection(ObjectListPage page) {
    const QModelIndexList rows = objectView(page)->selectionModel()->selectedRows();
    std::vector<TDnObj*> objects;
    objects.reserve(static_cast<std::size_t>(rows.size()));
    for (const QModelIndex& row : rows) {
        objects.push_back(&m_objectModels[pageIndex(page)]->objectAt(row.row()));
    }
    m_model.objectSelectionChanged(page, objects);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QMainWindow::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const ListId list = listOf(watched);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        m_model.activate(list);
        return true;
    }
    if (list == ListId::Queued && key->key() == Qt::Key_Delete &&
        key->modifiers() == Qt::NoModifier) {
        m_model.deletePressed(list);
        return true;
    }
    if (list == ListId::Queued && key->key() == Qt::Key_Insert &&
        key->modifiers() == Qt::ControlModifier) {
        m_model.copyPressed(list);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::beginInsertRow(ListId list, std::size_t row) {
    if (list == ListId::Tasks) {
        m_taskModel.beginInsert(static_cast<int>(row));
    } else {
        objectModel(list).beginInsert(static_cast<int>(row));
    }
}

void MainWindow::endInsertRow(ListId list) {
    if (list == ListId::Tasks) {
        m_taskModel.endInsert();
    } else {
        objectModel(list).endInsert();
    }
}

void MainWindow::beginRemoveRow(ListId list, std::size_t row) {
    if (list == ListId::Tasks) {
        m_taskModel.beginRemove(static_cast<int>(row));
    } else {
        objectModel(list).beginRemove(static_cast<int>(row));
    }
}

void MainWindow::endRemoveRow(ListId list) {
    if (list == ListId::Tasks) {
        m_taskModel.endRemove();
    } else {
        objectModel(list).endRemove();
    }
}

void MainWindow::beginResetRows(ListId list) {
    if (list != ListId::Tasks) {
        objectModel(list).beginReset();
    }
}

void MainWindow::endResetRows(ListId list) {
    if (list != ListId::Tasks) {
        objectModel(list).endReset();
        objectModel(list).headersChanged();
    }
}

void MainWindow::selectTaskRow(std::size_t row) {
    m_selecting = true;
    const QModelIndex index = m_taskModel.index(static_cast<int>(row));
    m_taskView->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    m_taskView->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    m_selecting = false;
    m_taskView->setFocus();
}

void MainWindow::refreshNeeded() {
    if (!m_refreshPosted) {
        m_refreshPosted = true;
        QMetaObject::invokeMethod(this, &MainWindow::flush, Qt::QueuedConnection);
    }
}

void MainWindow::objectRowChanged(TDnObj& object) {
    for (ObjectListPage page : kPages) {
        if (m_model.objectRows(page).contains(object)) {
            m_objectModels[pageIndex(page)]->markChanged(object);
        }
    }
    refreshNeeded();
}

void MainWindow::flush() {
    m_refreshPosted = false;
    for (const auto& [action, command] : m_bindings) {
        action->setEnabled(m_model.enabled(command));
    }
    if (m_taskView->isEnabled() != m_model.taskListEnabled()) {
        m_taskView->setEnabled(m_model.taskListEnabled());
        // Turned off under Edit Task, the list lost the focus; the edited task is still selected.
        if (m_taskView->isEnabled()) {
            m_taskView->setFocus();
        }
    }
    if (const DropWindowControls* drop = m_model.dropWindow()) {
        action(UiCommand::ToggleDropWindow)->setChecked(drop->dropButtonPressed());
        action(UiCommand::ToggleDropWindow)
            ->setToolTip(QString::fromStdString(drop->dropButtonHint()));
        action(UiCommand::DropWindowItem)->setChecked(drop->dropItemChecked());
        action(UiCommand::DropWindowItem)->setText(QString::fromStdString(drop->dropItemCaption()));
        action(UiCommand::TogglePasteFromClipboard)->setChecked(drop->pasteButtonPressed());
        action(UiCommand::PasteFromClipboardItem)->setChecked(drop->pasteItemChecked());
    }
    for (std::size_t label = 0; label < m_details.size(); ++label) {
        m_details[label]->setText(QString::fromStdString(m_model.details()[label]));
    }
    for (std::size_t pane = 0; pane < m_panes.size(); ++pane) {
        m_panes[pane]->setText(QString::fromStdString(m_model.statusPanes()[pane]));
    }
    m_taskModel.refreshAll();
    for (auto& model : m_objectModels) {
        model->flushChanged();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!m_closed) {
        if (!m_model.closeRequested()) {
            event->ignore();
            return;
        }
        m_closed = true;
        m_model.closing();
        flush();
        m_onClose();
    }
    event->accept();
}

}  // namespace quillharbor
