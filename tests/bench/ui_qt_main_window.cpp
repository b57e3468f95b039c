// Times the main window's object lists at the size of a large site: one task of 200,000 objects
// shown in the three lists, sorted by file name, then 10,000 state changes that move rows
// between the lists. Prints one line per step and the row notices the widgets would receive.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "model/task.h"
#include "ui/main_window_model.h"

namespace {

using namespace quillharbor;

constexpr int kObjects = 200000;
constexpr int kStateChanges = 10000;

class Stopwatch {
public:
    void report(const char* step) {
        const auto now = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(now - m_start).count();
        std::printf("%-48s %9.1f ms\n", step, ms);
        m_start = std::chrono::steady_clock::now();
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

class QuietDesktop final : public DesktopShell, public WindowDialogs, public WindowObserver {
public:
    void openPath(const std::string&) override {}
    void copyText(const std::string&) override {}
    void showHelp(int) override {}
    int iconOfFile(const std::string&) override { return 1; }
    bool showNewTask() override { return false; }
    bool showEditTask(TTask&) override { return false; }
    bool showGlobalOptions() override { return false; }
    bool showDefaultTaskOptions() override { return false; }
    void showConfirmRemove() override {}
    void showConfirmExit() override {}
    void showAbout() override {}
    void showNotification(const std::string&) override {}
    void beginInsertRow(ListId, std::size_t) override { ++rowNotices; }
    void endInsertRow(ListId) override {}
    void beginRemoveRow(ListId, std::size_t) override { ++rowNotices; }
    void endRemoveRow(ListId) override {}
    void beginResetRows(ListId) override { ++resets; }
    void endResetRows(ListId) override {}
    void selectTaskRow(std::size_t) override {}
    void refreshNeeded() override {}
    void objectRowChanged(TDnObj&) override {}

    long rowNotices = 0;
    long resets = 0;
};

}  // namespace

int main() {
    auto task = NewTask("site", "http://www.example.com/", "/tmp/site/", 0, "", 0, 0, "", "");
    std::vector<TDnObj*> queued;
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
    QuietDesktop desktop;
    ByteCollator collator;
    MainWindowModel model(desktop, desktop, collator);
    model.setObserver(&desktop);
    model.AddTaskRow(*task);
    model.focusChanged(ListId::Tasks);

    Stopwatch watch;
    model.taskSelectionChanged({task.get()});
    watch.report("fill the three lists (200,000 objects)");
    model.sortByColumn(ObjectListPage::Saved, 0);
    model.sortByColumn(ObjectListPage::Queued, 0);
    watch.report("sort Saved and Queued by caption");

    std::mt19937 random(7);
    std::shuffle(queued.begin(), queued.end(), random);
    desktop.rowNotices = 0;
    for (int change = 0; change < kStateChanges; ++change) {
        TDnObj& object = *queued[static_cast<std::size_t>(change / 2)];
        if (change % 2 == 0) {
            object.State = ObjectState::Retrieving;
            object.LocalName = "file" + std::to_string(change);
        } else {
            object.State = ObjectState::Done;
        }
        model.RefreshObjectRow(object);
    }
    watch.report("10,000 state changes (rows moved between lists)");
    std::printf("row notices per state change: %.2f (one removal, one insertion)\n",
                static_cast<double>(desktop.rowNotices) / kStateChanges);
    model.taskSelectionChanged({task.get(), task.get()});
    watch.report("empty the lists");
    return 0;
}
