#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "model/task.h"
#include "ui/window_services.h"

namespace quillharbor::test {

// Records what the main window asked of the desktop; file icons come from a table by path.
class FakeShell : public DesktopShell {
public:
    void openPath(const std::string& path) override { opened.push_back(path); }
    void copyText(const std::string& text) override { copied.push_back(text); }
    void showHelp(int context) override { help.push_back(context); }
    int iconOfFile(const std::string& path) override {
        asked.push_back(path);
        const auto icon = icons.find(path);
        return icon == icons.end() ? -1 : icon->second;
    }

    std::vector<std::string> opened, copied, asked;
    std::vector<int> help;
    std::map<std::string, int> icons;
};

class FakeDialogs : public WindowDialogs {
public:
    bool showNewTask(bool keptOnTop) override {
        shownOnTop.push_back(keptOnTop);
        return optionDialogsShow;
    }
    bool showEditTask(TTask&, bool keptOnTop) override {
        shownOnTop.push_back(keptOnTop);
        return optionDialogsShow;
    }
    bool showGlobalOptions() override { return optionDialogsShow; }
    bool showDefaultTaskOptions() override { return optionDialogsShow; }
    void showConfirmRemove() override {}
    void showConfirmExit() override { ++exitQuestions; }
    void showAbout() override {}
    void showNotification(const std::string& text) override { notifications.push_back(text); }

    bool optionDialogsShow = true;
    std::vector<bool> shownOnTop;  // keptOnTop of each New Task and Edit Task asked for
    int exitQuestions = 0;
    std::vector<std::string> notifications;
};

// A task of its own (not in any engine) with objects made by add().
struct LooseTask {
    explicit LooseTask(const std::string& name, TaskState state = TaskState::Stopped)
        : task(NewTask(name, "http://h/" + name + "/", "/tmp/" + name + "/", 0, "", 0, 0, "", "")) {
        task->State = state;
    }
    TDnObj& add(const std::string& url, ObjectState state, std::string localName = {}) {
        TDnObj& object = AddDnObj(*task, url, 1);
        object.State = state;
        object.LocalName = std::move(localName);
        return object;
    }
    std::unique_ptr<TTask> task;
};

}  // namespace quillharbor::test
