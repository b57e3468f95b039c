// The option dialogs' rules without a display: what each form shows for a record, which
// controls it enables, and what OK stores.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>

#include "model/message_identity.h"
#include "model/task_list.h"
#include "ui/default_task_options_form.h"
#include "ui/edit_task_form.h"
#include "ui/global_options_form.h"
#include "ui/new_task_form.h"

namespace quillharbor {
namespace {

// The boundary captions follow the URL when its edit is left (an emptied URL keeps them); an
// empty boundary edit is filled from the choice when entered, "http://H" giving "http://H/";
// OK stores the boundary, the extensions (typed ones win when they hold a dot) and levels + 1.
TEST(NewTaskFormTest, CaptionsBoundaryAndWhatOkStores) {
    const struct {
        const char *url, *host, *directory;
        int choice;
        const char* typedBoundary;
        FileKinds kinds;
        const char *typedExtensions, *boundary, *extensions;
    } cases[] = {
        {"http://H/a/b.html", "Only from http://H/", "Only from http://H/a/ and subdirs", 1, "",
         FileKinds::TextOnly, "", "http://H/", " .txt "},
        {"http://H", "Only from http://H/", "Only from http://H/ and subdirs", 2, "",
         FileKinds::GraphicsOnly, "", "http://H/", " .gif .jpg .png .bmp "},
        {"http://H/a/b.html", "Only from http://H/", "Only from http://H/a/ and subdirs", 2,
         "http://H/x", FileKinds::GraphicsOnly, ".gif .jpg", "http://H/x", ".gif .jpg "},
        {"", "Only from the starting doc's host",
         "Only from the starting doc's directory and subdirectories", 3, "", FileKinds::TextOnly,
         "gif jpg", "", " .txt "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        NewTaskParams params;
        params.URL = c.url;
        params.Name = "Task-1";
        params.DownloadFrom = static_cast<std::uint8_t>(c.choice);
        NewTaskForm form(params);
        EXPECT_EQ(form.hostChoiceCaption() + "|" + form.directoryChoiceCaption(),
                  std::string(c.host) + "|" + c.directory);
        EXPECT_EQ(form.okEnabled(), *c.url != 0);
        form.boundary = c.typedBoundary;
        form.boundaryEditEntered();
        EXPECT_EQ(form.boundary, c.boundary);
        EXPECT_EQ(form.boundaryChoicesEnabled(), form.boundary.empty());
        form.fileKinds = c.kinds;
        form.extensions = c.typedExtensions;
        form.levels = 2;
        form.store(params);
        EXPECT_EQ(params.BoundaryPrefix + "|" + params.Extensions,
                  std::string(c.boundary) + "|" + c.extensions);
        EXPECT_EQ(params.MaxLevels, 3);
    }
    NewTaskParams params;
    params.URL = "http://H/a/b.html";
    NewTaskForm form(params);
    form.url = "http://K/";
    form.urlEditLeft();
    form.url.clear();
    form.urlEditLeft();
    EXPECT_EQ(form.hostChoiceCaption(), "Only from http://K/");
    // A record is shown within the spin ranges (no levels means infinity, the lowest).
    params.MaxLevels = params.MaxFiles = 0;
    params.StartAfter = 900;
    params.Extensions = " .htm ";
    const NewTaskForm shown(params);
    EXPECT_EQ(std::tuple(shown.levels, shown.files, shown.startAfter), std::tuple(0, 1, 600));
    EXPECT_FALSE(shown.fileKindsEnabled());
}

TEST(EditTaskFormTest, FilledFromTheTaskAndOkStoresTheEditForTheSameTask) {
    // Half minutes round to the even neighbour; no countdown means at once.
    for (const auto& [countdown, minutes] : {std::pair{450, 2}, {750, 2}, {1500, 5}, {0, 1}}) {
        auto task = NewTask("t", "http://h/t/", "/tmp/t/", 0, "", 0, 0, "", "");
        task->StartCountdown = countdown;
        const EditTaskForm form(*task);
        EXPECT_EQ(std::pair(form.startAtOnce, form.startAfter), std::pair(countdown == 0, minutes));
    }
    TaskList tasks;
    TTask& task = tasks.TaskInsert(NewTask("t", "http://h/t/", "/tmp/t/", 0, "", 4, 0, "", ""));
    EditTaskForm form(task);
    EXPECT_TRUE(form.filesInfinity && !form.levelsInfinity && form.fromAnywhere);
    EXPECT_EQ(form.levels, 3);
    EXPECT_FALSE(form.boundaryEnabled());
    form.levels = 1;
    form.startAtOnce = false;
    form.startAfter = 5;
    form.extensions = "gif";
    TaskEditParams params;
    form.store(params);
    EXPECT_EQ(taskByIdentity(tasks, params.Task), &task);
    EXPECT_EQ(std::tuple(params.MaxLevels, params.MaxFilesInf, params.StartAfter),
              std::tuple(2, true, 5));
    EXPECT_EQ(params.Extensions + params.BoundaryPrefix, "");
    form.startAtOnce = true;
    form.fromAnywhere = false;
    form.boundary = "http://h/t/";
    form.store(params);
    EXPECT_EQ(params.StartAfter, 0);
    EXPECT_EQ(params.BoundaryPrefix, "http://h/t/");
}

// The template loses its trailing separator, extensions need their dot, levels are stored + 1.
TEST(DefaultTaskOptionsFormTest, OkStoresTheTemplateExtensionsAndLevels) {
    DefaultTaskOptions options;
    DefaultTaskOptionsForm form(options);
    EXPECT_EQ(form.levels, 2);
    EXPECT_TRUE(form.dirTemplateEnabled());
    DefaultTaskOptions stored;
    form.dirTemplate = "Grab/";
    form.extensions = "htm";
    form.levels = 0;
    form.store(stored);
    EXPECT_EQ(stored.DirTemplate + "|" + stored.AcceptedFileExtensions, "Grab|");
    EXPECT_EQ(stored.MaxLevels, 1);
    options.SaveSeparate = false;
    EXPECT_FALSE(DefaultTaskOptionsForm(options).dirTemplateEnabled());
}

// Pause is shown in fifths; the task root ends with a slash; Notify is the sum of the boxes; the
// dial-up boxes follow what start-up found, and a disabled box still stores its state.
TEST(GlobalOptionsFormTest, ShownValuesEnablingAndWhatOkStores) {
    // Pause, shown, stored; task root typed and stored; dial-up; whether UseRasCtrl and
    // BreakConnection are enabled.
    const std::tuple<int, int, int, const char*, const char*, DialUpSupport, bool, bool> cases[] = {
        {500, 100, 500, "/d/Downloads", "/d/Downloads/", DialUpSupport::Off, true, false},
        {7, 1, 5, "/d/Downloads/", "/d/Downloads/", DialUpSupport::ModuleMissing, false, false},
        {50000, 10000, 50000, "", "/", DialUpSupport::Loaded, true, true}};
    for (const auto& [pause, shown, storedPause, taskRoot, storedRoot, dialUp, useRasCtrl,
                      breakConnection] : cases) {
        SCOPED_TRACE(pause);
        GlobalOptions options;
        options.Pause = static_cast<std::uint16_t>(pause);
        options.BreakConnection = true;
        GlobalOptionsForm form(options, dialUp);
        EXPECT_EQ(form.pause, shown);
        EXPECT_EQ(form.useRasCtrlEnabled(), useRasCtrl);
        EXPECT_EQ(form.breakConnectionEnabled(), breakConnection);
        EXPECT_EQ(form.notifyEnabled(GlobalOptionsForm::kConnectionBrokenBox), breakConnection);
        EXPECT_TRUE(form.notifyEnabled(0));
        form.taskRoot = taskRoot;
        form.store(options);
        EXPECT_EQ(options.Pause, storedPause);
        EXPECT_EQ(options.TaskRoot, storedRoot);
        EXPECT_TRUE(options.BreakConnection);
    }
    GlobalOptions options;
    options.Notify = 2;
    GlobalOptionsForm form(options, DialUpSupport::Off);
    EXPECT_EQ(form.notify, (std::array<bool, 6>{false, true, false, false, false, false}));
    form.notify = {true, false, false, false, true, false};
    form.store(options);
    EXPECT_EQ(options.Notify, 17);
    EXPECT_EQ(chooserStartDirectory("/srv/grabs/", true) + chooserStartDirectory("/gone/", false),
              "/srv/grabs//");
    EXPECT_EQ(chosenDirectory("/srv/grabs") + chosenDirectory("/"), "/srv/grabs//");
}

}  // namespace
}  // namespace quillharbor
