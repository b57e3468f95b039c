#pragma once

#include <cstddef>
#include <string>

#include "model/dn_obj.h"
#include "model/task.h"
#include "ui/icon_cache.h"
#include "ui/rows_observer.h"

namespace quillharbor {

// The desktop around the main window: opening files and folders with their handler, the
// clipboard, file-type icons and the help pages. Failures are ignored by design.
class DesktopShell : public FileIconSource {
public:
    // Opens a file or a directory with the desktop's handler; never executes it.
    virtual void openPath(const std::string& path) = 0;
    virtual void copyText(const std::string& text) = 0;
    // The help page of a help context: 4 the main window, 3 the license.
    virtual void showHelp(int context) = 0;
};

// The dialogs and boxes the main window opens. The option dialogs are not modal: show...
// returns whether one was shown, and the window calls MainWindowModel::dialogClosed when it
// reports back. The boxes report by calling the model (confirmExit) or the engine.
class WindowDialogs {
public:
    virtual ~WindowDialogs() = default;
    // keptOnTop: the dialog stays above other windows (opened for a dropped link or page).
    virtual bool showNewTask(bool keptOnTop) = 0;
    virtual bool showEditTask(TTask& task, bool keptOnTop) = 0;
    virtual bool showGlobalOptions() = 0;
    virtual bool showDefaultTaskOptions() = 0;
    virtual void showConfirmRemove() = 0;
    virtual void showConfirmExit() = 0;
    virtual void showAbout() = 0;
    // Shows a message without waiting for the user.
    virtual void showNotification(const std::string& text) = 0;
};

// The widgets that draw the model. Row insertions and removals come one at a time as they
// happen; everything else only says that something needs drawing, so bursts can be coalesced.
class WindowObserver : public RowsObserver {
public:
    // Makes the task row the selected and focused one (the model already counts it so).
    virtual void selectTaskRow(std::size_t row) = 0;
    // Task icons, labels, panes or command states changed.
    virtual void refreshNeeded() = 0;
    // The texts or images of one object's row changed; it is in the list it was in.
    virtual void objectRowChanged(TDnObj& object) = 0;
};

}  // namespace quillharbor
