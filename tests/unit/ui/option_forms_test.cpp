// The option dialogs' rules without a display: what each form shows for a record, which
// controls it enables, and what OK stores.

#include <gtest/gtest.h>

#include <string>

#include "model/message_identity.h"
#include "model/task_list.h"
#include "ui/default_task_options_form.h"
#include "ui/edit_task_form.h"
#include "ui/global_options_form.h"
#include "ui/new_task_form.h"
#include "ui/ui_fakes.h"

namespace quillharbor {
namespace {

NewTaskForm newTaskForm(const std::string& url, int downloadFrom = 1) {
    NewTaskParams params;
    params.URL = url;
    params.Name = "Task-1";
    params.DownloadFrom = static_cast<std::uint8_t>(downloadFrom);
    params.MaxLevels = 3;
    params.MaxFiles = 300;
    return NewTaskForm(params);
}

TEST(NewTaskFormTest, BoundaryCaptionsFollowTheUrlWhenItsEditIsLeft) {
    const struct {
        const char *url, *host, *directory;
    } cases[] = {{"http://H/a/b.html", "Only from http://H/", "Only from http://H/a/ and subdirs"},
                 {"http://H", "Only from http://H/", "Only from http://H/ and subdirs"},
                 {"", "Only from the starting doc's host",
                  "Only from the starting doc's directory and subdirectories"}};
    for (const auto& each : cases) {
        const NewTaskForm form = newTaskForm(each.url);
        EXPECT_EQ(form.hostChoiceCaption(), each.host) << each.url;
        EXPECT_EQ(form.directoryChoiceCaption(), each.directory) << each.url;
        EXPECT_EQ(form.okEnabled(), *each.url != 0);
    }
    NewTaskForm form = newTaskForm("http://H/a/b.html");
    form.url = "http://K/";
    form.urlEditLeft();
    EXPECT_EQ(form.hostChoiceCaption(), "Only from http://K/");
    // An emptied URL keeps the last captions.
    form.url.clear();
    form.urlEditLeft();
    EXPECT_EQ(form.hostChoiceCaption(), "Only from http://K/");
    form.url = "http://h/";
    form.name.clear();
    EXPECT_FALSE(form.okEnabled());
}

TEST(NewTaskFormTest, EnteringTheEmptyBoundaryEditFillsItFromTheChoice) {
    const struct {
        const char* url;
        int choice;
        const char* boundary;
    } cases[] = {{"http://H/a/b.html", 1, "http://H/"},
                 {"http://H/a/b.html", 2, "http://H/a/"},
                 {"http://H", 2, "http://H/"},
                 {"http://H/a/b.html", 3, ""}};
    for (const auto& each : cases) {
        NewTaskForm form = newTaskForm(each.url, each.choice);
        form.boundaryEditEntered();
        EXPECT_EQ(form.boundary, each.boundary) << each.url << " " << each.choice;
        EXPECT_EQ(form.boundaryChoicesEnabled(), form.boundary.empty());
    }
    NewTaskForm typed = newTaskForm("http://H/a/b.html");
    typed.boundary = "http://H/x";
    typed.boundaryEditEntered();
    EXPECT_EQ(typed.boundary, "http://H/x");
}

TEST(NewTaskFormTest, OkStoresBoundaryExtensionsAndLevels) {
    const struct {
        int choice;
        const char* typedBoundary;
        FileKinds kinds;
        const char *typedExtensions, *boundary, *extensions;
    } cases[] = {
        {2, "", FileKinds::TextOnly, "", "http://H/a/", " .txt "},
        {3, "", FileKinds::GraphicsOnly, "", "", " .gif .jpg .png .bmp "},
        // A typed boundary is taken unchanged; typed extensions win over the kinds.
        {1, "http://H/a", FileKinds::GraphicsOnly, ".gif .jpg", "http://H/a", ".gif .jpg "},
        // Without a dot the typed extensions are dropped and the kind decides.
        {3, "", FileKinds::TextOnly, "gif jpg", "", " .txt "}};
    for (const auto& each : cases) {
        NewTaskForm form = newTaskForm("http://H/a/b.html", each.choice);
        form.boundary = each.typedBoundary;
        form.fileKinds = each.kinds;
        form.extensions = each.typedExtensions;
        form.levels = 2;
        NewTaskParams params;
        form.store(params);
        EXPECT_EQ(params.BoundaryPrefix, each.boundary) << each.choice;
        EXPECT_EQ(params.Extensions, each.extensions) << each.choice;
        EXPECT_EQ(params.MaxLevels, 3);
        EXPECT_EQ(params.Name, "Task-1");
    }
    // The record is shown within the spin ranges (no levels means infinity, the lowest).
    NewTaskParams params;
    params.MaxLevels = params.MaxFiles = 0;
    params.StartAfter = 900;
    params.Extensions = " .htm ";
    params.SkipCertificateCheck = params.PageRequisites = params.SiteLayout = true;
    const NewTaskForm form(params);
    EXPECT_EQ(form.levels, 0);
    EXPECT_EQ(form.files, 1);
    EXPECT_EQ(form.startAfter, 600);
    EXPECT_FALSE(form.fileKindsEnabled());
    NewTaskParams stored;
    form.store(stored);
    EXPECT_TRUE(stored.SkipCertificateCheck && stored.PageRequisites && stored.SiteLayout);
}

TEST(EditTaskFormTest, FilledFromTheTaskAndOkStoresTheEditForTheSameTask) {
    // Half minutes round to the even neighbour; no countdown means at once.
    for (const auto& [countdown, minutes] :
         {std::pair{450, 2}, std::pair{750, 2}, std::pair{1500, 5}, std::pair{0, 1}}) {
        test::LooseTask loose("t");
        loose.task->StartCountdown = countdown;
        const EditTaskForm form(*loose.task);
        EXPECT_EQ(form.startAtOnce, countdown == 0) << countdown;
        EXPECT_EQ(form.startAfter, minutes) << countdown;
    }
    TaskList tasks;
    TTask& task =
        tasks.TaskInsert(NewTask("t", "http://h/t/", "/tmp/t/", 0, "", 4,
                                 static_cast<std::int32_t>(TaskFlag::SiteLayout) |
                                     static_cast<std::int32_t>(TaskFlag::SkipCertificateCheck),
                                 "", ""));
    EditTaskForm form(task);
    EXPECT_EQ(form.url, "http://h/t/");
    EXPECT_TRUE(form.filesInfinity && !form.levelsInfinity && form.fromAnywhere);
    EXPECT_EQ(form.levels, 3);
    EXPECT_TRUE(form.siteLayout && form.skipCertificateCheck && !form.parse && !form.trySlashes);
    EXPECT_FALSE(form.boundaryEnabled());
    form.pageRequisites = true;
    form.levels = 1;
    form.startAtOnce = false;
    form.startAfter = 5;
    form.extensions = "gif";
    TaskEditParams params;
    form.store(params);
    EXPECT_EQ(taskByIdentity(tasks, params.Task), &task);
    EXPECT_EQ(params.MaxLevels, 2);
    EXPECT_TRUE(params.MaxFilesInf);
    EXPECT_EQ(params.StartAfter, 5);
    EXPECT_EQ(params.Extensions + params.BoundaryPrefix, "");
    EXPECT_TRUE(params.PageRequisites && params.SiteLayout && params.SkipCertificateCheck);

    form.startAtOnce = true;
    form.fromAnywhere = false;
    form.boundary = "http://h/t/";
    form.store(params);
    EXPECT_EQ(params.StartAfter, 0);
    EXPECT_EQ(params.BoundaryPrefix, "http://h/t/");
}

TEST(DefaultTaskOptionsFormTest, OkStoresWhatWasShown) {
    DefaultTaskOptions options;
    options.AcceptedFileExtensions = ".htm .html";
    options.PageRequisites = true;
    DefaultTaskOptionsForm form(options);
    EXPECT_EQ(form.levels, 2);
    EXPECT_TRUE(form.dirTemplateEnabled());
    DefaultTaskOptions stored;
    form.store(stored);
    options.AcceptedFileExtensions += " ";
    EXPECT_EQ(stored, options);

    form.dirTemplate = "Grab/";
    form.extensions = "htm";
    form.levels = 0;
    form.store(stored);
    EXPECT_EQ(stored.DirTemplate, "Grab");
    EXPECT_EQ(stored.AcceptedFileExtensions, "");
    EXPECT_EQ(stored.MaxLevels, 1);
    options.SaveSeparate = false;
    EXPECT_FALSE(DefaultTaskOptionsForm(options).dirTemplateEnabled());
}

TEST(GlobalOptionsFormTest, ShownValuesAndWhatOkStores) {
    // Pause is shown in fifths; the task root ends with a slash.
    const struct {
        std::uint16_t pause;
        int shown;
        std::uint16_t storedPause;
        const char *taskRoot, *storedRoot;
    } cases[] = {{500, 100, 500, "/d/Downloads", "/d/Downloads/"},
                 {7, 1, 5, "/d/Downloads/", "/d/Downloads/"},
                 {50000, 10000, 50000, "", "/"}};
    for (const auto& each : cases) {
        GlobalOptions options;
        options.Pause = each.pause;
        GlobalOptionsForm form(options, DialUpSupport::Off);
        EXPECT_EQ(form.pause, each.shown) << each.pause;
        form.taskRoot = each.taskRoot;
        form.store(options);
        EXPECT_EQ(options.Pause, each.storedPause) << each.pause;
        EXPECT_EQ(options.TaskRoot, each.storedRoot);
    }
    // Notify is the sum of the checked boxes.
    GlobalOptions options;
    options.Notify = 2;
    GlobalOptionsForm form(options, DialUpSupport::Off);
    EXPECT_EQ(form.notify, (std::array<bool, 6>{false, true, false, false, false, false}));
    form.notify = {true, false, false, false, true, false};
    form.store(options);
    EXPECT_EQ(options.Notify, 17);

    // Every shown value is stored, whatever the record held before.
    options.TaskRoot = "/srv/grabs/";
    options.NameAuto = false;
    options.UseHTTPProxy = options.SavePassword = options.FastDispatch = true;
    options.HTTPS = options.VerifyCertificates = false;
    options.HTTPProxyName = "proxy";
    options.HTTPProxyPort = "3128";
    options.MaxFTPConns = 7;
    options.MaxConnsPerHost = 3;
    GlobalOptions stored;
    stored.HTTPS = stored.VerifyCertificates = true;
    GlobalOptionsForm(options, DialUpSupport::Off).store(stored);
    options.NameAuto = true;
    EXPECT_EQ(stored, options);
    EXPECT_EQ(GlobalOptionsForm(stored, DialUpSupport::Off).otherChoiceCaption(),
              "Copy the local file");
    stored.SaveSeparate = false;
    EXPECT_EQ(GlobalOptionsForm(stored, DialUpSupport::Off).otherChoiceCaption(),
              "Link to the local file");
    EXPECT_EQ(chooserStartDirectory("/srv/grabs/", true), "/srv/grabs/");
    EXPECT_EQ(chooserStartDirectory("/gone/", false), "/");
    EXPECT_EQ(chosenDirectory("/srv/grabs"), "/srv/grabs/");
    EXPECT_EQ(chosenDirectory("/"), "/");
}

TEST(GlobalOptionsFormTest, DialUpControlsFollowWhatStartUpFound) {
    const struct {
        DialUpSupport dialUp;
        bool useRasCtrl;
        bool breakConnection;  // and the broken-connection notification
    } cases[] = {{DialUpSupport::Off, true, false},
                 {DialUpSupport::ModuleMissing, false, false},
                 {DialUpSupport::Loaded, true, true}};
    GlobalOptions options;
    options.BreakConnection = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.dialUp));
        const GlobalOptionsForm form(options, c.dialUp);
        EXPECT_EQ(form.useRasCtrlEnabled(), c.useRasCtrl);
        EXPECT_EQ(form.breakConnectionEnabled(), c.breakConnection);
        EXPECT_EQ(form.notifyEnabled(GlobalOptionsForm::kConnectionBrokenBox), c.breakConnection);
        EXPECT_TRUE(form.notifyEnabled(0));
        GlobalOptions stored;
        form.store(stored);
        EXPECT_TRUE(stored.BreakConnection) << "a disabled box still stores its state";
    }
}

}  // namespace
}  // namespace quillharbor
