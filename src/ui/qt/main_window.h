#pragma once

#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QTabWidget>
#include <QTableView>
#include <array>
#include <functional>
#include <utility>
#include <vector>

#include "ui/main_window_model.h"
#include "ui/qt/object_list_model.h"
#include "ui/qt/qt_desktop_shell.h"
#include "ui/qt/row_images.h"
#include "ui/qt/task_list_model.h"

class QAction;
class QMenu;

namespace quillharbor {

// The main window: it draws the model and reports focus, selection, clicks and keys to it; no
// rule lives here. Toolbar buttons and menu items share one QAction; popup items whose caption
// differs have their own, enabled by the same command. Refreshes are coalesced: whatever the
// engine changes during one turn of the event loop is drawn once, at the end of it.
class MainWindow final : public QMainWindow, public WindowObserver {
    Q_OBJECT
public:
    // onClose runs the close steps once the close is allowed (the files are written there).
    MainWindow(MainWindowModel& model, const QtDesktopShell& shell, std::function<void()> onClose);
    ~MainWindow() override;

    // What tests and the screenshot look at.
    QListView* taskView() const { return m_taskView; }
    QTableView* objectView(ObjectListPage page) const;
    QTabWidget* pages() const { return m_pages; }
    QAction* action(UiCommand command) const;
    const std::array<QLabel*, 7>& detailLabels() const { return m_details; }
    const std::array<QLabel*, 5>& statusPanes() const { return m_panes; }
    // Draws what is pending now instead of at the end of the turn.
    void flush();

    // WindowObserver
    void beginInsertRow(ListId list, std::size_t row) override;
    void endInsertRow(ListId list) override;
    void beginRemoveRow(ListId list, std::size_t row) override;
    void endRemoveRow(ListId list) override;
    void beginResetRows(ListId list) override;
    void endResetRows(ListId list) override;
    void selectTaskRow(std::size_t row) override;
    void refreshNeeded() override;
    void objectRowChanged(TDnObj& object) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBar();
    QWidget* createTaskColumn();
    QTableView* createObjectView(ObjectListPage page);
    void createStatusBar();
    QAction* commandAction(UiCommand command, const QString& text, const QString& icon,
                           const QKeySequence& shortcut = {});
    QAction* popupAction(QMenu* menu, UiCommand command, const QString& text,
                         const QKeySequence& shortcut = {});
    ObjectListModel& objectModel(ListId list);
    ListId listOf(QObject* widget) const;
    void onFocusChanged(QWidget* now);
    void onTaskSelection();
    void onObjectSelection(ObjectListPage page);

    MainWindowModel& m_model;
    const QtDesktopShell& m_shell;
    std::function<void()> m_onClose;
    RowImages m_images;
    TaskListModel m_taskModel;
    std::array<std::unique_ptr<ObjectListModel>, 3> m_objectModels;
    std::array<QAction*, kUiCommandCount> m_actions{};
    std::vector<std::pair<QAction*, UiCommand>> m_bindings;
    QListView* m_taskView = nullptr;
    std::array<QTableView*, 3> m_objectViews{};
    QTabWidget* m_pages = nullptr;
    std::array<QLabel*, 7> m_details{};
    std::array<QLabel*, 5> m_panes{};
    bool m_refreshPosted = false;
    bool m_selecting = false;  // a selection the model asked for is being mirrored
    bool m_closed = false;
};

}  // namespace quillharbor
