// Times the main window's object lists at the size of a large site: one task of 200,000 objects
// shown in the three lists, then 10,000 state changes that each move one row between lists.
// First the window model alone, then the same through the Qt item models and views of the main
// window on the offscreen platform, one turn of Qt's loop per change. Prints one line per step
// and the row notices each change costs.

#include <QAbstractItemModel>
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/task.h"
#include "ui/main_window_model.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_desktop_shell.h"

namespace {

using namespace quillharbor;

constexpr int kObjects = 200000;
constexpr int kStateChanges = 10000;

class Stopwatch {
public:
    void report(const char* step) {
        const auto now = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(now - m_start).count();
        std::printf("%-56s %9.1f ms\n", step, ms);
        m_start = std::chrono::steady_clock::now();
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

class QuietDialogs final : public WindowDialogs {
public:
    bool showNewTask(bool) override { return false; }
    bool showEditTask(TTask&, bool) override { return false; }
    bool showGlobalOptions() override { return false; }
    bool showDefaultTaskOptions() override { return false; }
    void showConfirmRemove() override {}
    void showConfirmExit() override {}
    void showAbout() override {}
    void showNotification(const std::string&) override {}
};

class QuietDesktop final : public DesktopShell, public WindowObserver {
public:
    void openPath(const std::string&) override {}
    void copyText(const std::string&) override {}
    void showHelp(int) override {}
    int iconOfFile(const std::string&) override { return 1; }
    void beginInsertRow(ListId, std::size_t) override { ++rowNotices; }
    void endInsertRow(ListId) override {}
    void beginRemoveRow(ListId, std::size_t) override { ++rowNotices; }
    void endRemoveRow(ListId) override {}
    void beginResetRows(ListId) override {}
    void endResetRows(ListId) override {}
    void selectTaskRow(std::size_t) override {}
    void refreshNeeded() override {}
    void objectRowChanged(TDnObj&) override {}

    long rowNotices = 0;
};

// Half the objects saved, every fifth a picture; the queued half in a shuffled order of change.
struct Site {
    Site() : task(NewTask("site", "http://www.example.com/", "/tmp/site/", 0, "", 0, 0, "", "")) {
        for (int i = 0; i < kObjects; ++i) {
            const std::string name = "page" + std::to_string(i) + (i % 5 == 0 ? ".png" : ".html");
            TDnObj& object = AddDnObj(
                *task, "http://www.example.com/section" + std::to_string(i % 97) + "/" + name, 2);
            if (i % 2 == 0) {
                object.State = ObjectState::Done;
                object.LocalName = name;
            } else {
                queued.push_back(&object);
            }
        }
        task->State = TaskState::Running;
        std::mt19937 random(7);
        std::shuffle(queued.begin(), queued.end(), random);
    }
    // Change number `change`: a queued object starts arriving, then is saved.
    void change(MainWindowModel& model, int change) {
        TDnObj& object = *queued[static_cast<std::size_t>(change / 2)];
        if (change % 2 == 0) {
            object.State = ObjectState::Retrieving;
            object.LocalName = "file" + std::to_string(change);
        } else {
            object.State = ObjectState::Done;
        }
        model.RefreshObjectRow(object);
    }

    std::unique_ptr<TTask> task;
    std::vector<TDnObj*> queued;
};

void windowModelAlone() {
    std::printf("window model alone\n");
    Site site;
    QuietDesktop desktop;
    QuietDialogs dialogs;
    ByteCollator collator;
    MainWindowModel model(desktop, dialogs, collator);
    model.setObserver(&desktop);
    model.AddTaskRow(*site.task);
    model.focusChanged(ListId::Tasks);

    Stopwatch watch;
    model.taskSelectionChanged({site.task.get()});
    watch.report("  fill the three lists (200,000 objects)");
    model.sortByColumn(ObjectListPage::Saved, 0);
    model.sortByColumn(ObjectListPage::Queued, 0);
    watch.report("  sort Saved and Queued by caption");
    desktop.rowNotices = 0;
    for (int change = 0; change < kStateChanges; ++change) {
        site.change(model, change);
    }
    watch.report("  10,000 state changes (rows moved between lists)");
    std::printf("  row notices per state change: %.2f (one removal, one insertion)\n",
                static_cast<double>(desktop.rowNotices) / kStateChanges);
    model.taskSelectionChanged({site.task.get(), site.task.get()});
    watch.report("  empty the lists");
}

// Counts what the item models tell their views.
struct ModelNotices {
    explicit ModelNotices(const std::vector<QAbstractItemModel*>& models) {
        for (QAbstractItemModel* model : models) {
            auto rows = [this](const QModelIndex&, int first, int last) {
                this->rows += last - first + 1;
            };
            QObject::connect(model, &QAbstractItemModel::rowsInserted, rows);
            QObject::connect(model, &QAbstractItemModel::rowsRemoved, rows);
            QObject::connect(model, &QAbstractItemModel::dataChanged,
                             [this](const QModelIndex& top, const QModelIndex& bottom) {
                                 changed += bottom.row() - top.row() + 1;
                             });
            QObject::connect(model, &QAbstractItemModel::modelReset, [this] { ++resets; });
        }
    }
    long rows = 0;
    long changed = 0;
    long resets = 0;
};

void qtItemModels() {
    std::printf("Qt item models and views of the main window\n");
    Site site;
    QtDesktopShell shell;
    QuietDialogs dialogs;
    MainWindowModel model(shell, dialogs, shell);
    MainWindow window(model, shell, [] {});
    window.show();
    model.AddTaskRow(*site.task);
    QApplication::processEvents();
    std::vector<QAbstractItemModel*> lists;
    for (ObjectListPage page : {ObjectListPage::Saved, ObjectListPage::BeingRetrieved,
                                ObjectListPage::Queued}) {
        lists.push_back(window.objectView(page)->model());
    }

    Stopwatch watch;
    QListView* tasks = window.taskView();
    tasks->setFocus();
    tasks->selectionModel()->select(tasks->model()->index(0, 0), QItemSelectionModel::Select);
    QApplication::processEvents();
    watch.report("  fill the three lists and draw (200,000 objects)");
    ModelNotices notices(lists);
    for (int change = 0; change < kStateChanges; ++change) {
        site.change(model, change);
        QApplication::processEvents();
    }
    watch.report("  10,000 state changes, one loop turn each");
    std::printf("  per state change: %.2f rows inserted or removed, %.2f rows redrawn, "
                "%ld list resets\n",
                static_cast<double>(notices.rows) / kStateChanges,
                static_cast<double>(notices.changed) / kStateChanges, notices.resets);
    model.setObserver(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    windowModelAlone();
    qtItemModels();
    return 0;
}
