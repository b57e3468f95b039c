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
    struct Case {
        const char* url;
        const char* host;
        const char* directory;
    };
    const Case cases[] = {
        {"http://H/a/b.html", "Only from http://H/", "Only from http://H/a/ and subdirs"},
        {"http://H", "Only from http://H/", "Only from http://H/ and subdirs"},
        {"", "Only from the starting doc's host",
         "Only from the starting doc's directory and subdirectories"},
    };
    for (const Case& each : cases) {
        const NewTaskForm form = newTaskForm(each.url);
        EXPECT_EQ(form.hostChoiceCaption(), each.host) << each.url;
        EXPECT_EQ(form.directoryChoiceCaption(), each.directory) << each.url;
    }
    NewTaskForm form = newTaskForm("http://H/a/b.html");
    form.url = "http://K/";
    EXPECT_EQ(form.hostChoiceCaption(), "Only from http://H/");
    form.urlEditLeft();
    EXPECT_EQ(form.hostChoiceCaption(), "Only from http://K/");
    // An emptied URL keeps the last captions.
    form.url.clear();
    form.urlEditLeft();
    EXPECT_EQ(form.hostChoiceCaption(), "Only from http://K/");
}

TEST(NewTaskFormTest, OkNeedsAUrlAndAName) {
    NewTaskForm form = newTaskForm("");
    EXPECT_FALSE(form.okEnabled());
    form.url = "http://h/";
    EXPECT_TRUE(form.okEnabled());
    form.name.clear();
    EXPECT_FALSE(form.okEnabled());
}

TEST(NewTaskFormTest, EnteringTheEmptyBoundaryEditFillsItFromTheChoice) {
    struct Case {
        const char* url;
        int choice;
        const char* boundary;
    };
    const Case cases[] = {
        {"http://H/a/b.html", 1, "http://H/"},
        {"http://H/a/b.html", 2, "http://H/a/"},
        {"http://H", 2, "http://H/"},
        {"http://H/a/b.html", 3, ""},
    };
    for (const Case& each : cases) {
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
    struct Case {
        int choice;
        const char* typedBoundary;
        FileKinds kinds;
        const char* typedExtensions;
        const char* boundary;
        const char* extensions;
    };
    const Case cases[] = {
        {1, "", FileKinds::AllFiles, "", "http://H/", ""},
        {2, "", FileKinds::TextOnly, "", "http://H/a/", " .txt "},
        {3, "", FileKinds::GraphicsOnly, "", "", " .gif .jpg .png .bmp "},
        // A typed boundary is taken unchanged; typed extensions win over the kinds.
        {1, "http://H/a", FileKinds::GraphicsOnly, ".gif .jpg", "http://H/a", ".gif .jpg "},
        // Without a dot the typed extensions are dropped and the kind decides.
        {3, "", FileKinds::TextOnly, "gif jpg", "", " .txt "},
    };
    for (const Case& each : cases) {
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
}

TEST(NewTaskFormTest, TheRecordIsShownWithinTheSpinRanges) {
    NewTaskParams params;
    params.MaxLevels = 0;  // infinity: shown as the lowest level
    params.MaxFiles = 0;
    params.StartAfter = 900;
    params.Extensions = " .htm ";
    params.SkipCertificateCheck = true;
    params.PageRequisites = true;
    params.SiteLayout = true;
    const NewTaskForm form(params);
    EXPECT_EQ(form.levels, 0);
    EXPECT_EQ(form.files, 1);
    EXPECT_EQ(form.startAfter, 600);
    EXPECT_FALSE(form.fileKindsEnabled());
    NewTaskParams stored;
    form.store(stored);
    EXPECT_TRUE(stored.SkipCertificateCheck && stored.PageRequisites && stored.SiteLayout);
}

TEST(EditTaskFormTest, FilledFromTheTask) {
    struct Case {
        std::int32_t countdown;
        bool atOnce;
        int minutes;
    };
    // Half minutes round to the even neighbour; no countdown means at once.
    const Case cases[] = {{450, false, 2}, {750, false, 2}, {1500, false, 5}, {0, true, 1}};
    for (const Case& each : cases) {
        test::LooseTask loose("t");
        loose.task->StartCountdown = each.countdown;
        const EditTaskForm form(*loose.task);
        EXPECT_EQ(form.startAtOnce, each.atOnce) << each.countdown;
        EXPECT_EQ(form.startAfter, each.minutes) << each.countdown;
    }
    test::LooseTask loose("t");
    TTask& task = *loose.task;
    task.MaxFiles = 0;
    task.MaxLevels = 4;
    task.Flags = static_cast<std::int32_t>(TaskFlag::Parse) |
                 static_cast<std::int32_t>(TaskFlag::SkipCertificateCheck);
    const EditTaskForm form(task);
    EXPECT_EQ(form.url, "http://h/t/");
    EXPECT_TRUE(form.filesInfinity);
    EXPECT_FALSE(form.levelsInfinity);
    EXPECT_EQ(form.levels, 3);
    EXPECT_TRUE(form.parse);
    EXPECT_FALSE(form.trySlashes);
    EXPECT_TRUE(form.skipCertificateCheck);
    EXPECT_TRUE(form.fromAnywhere);
    EXPECT_FALSE(form.boundaryEnabled());
}

TEST(EditTaskFormTest, OkStoresTheEditForTheSameTask) {
    TaskList tasks;
    TTask& task =
        tasks.TaskInsert(NewTask("t", "http://h/t/", "/tmp/t/", 10, "http://h/", 3,
                                 static_cast<std::int32_t>(TaskFlag::SiteLayout), "", ""));
    EditTaskForm form(task);
    EXPECT_TRUE(form.siteLayout);
    form.pageRequisites = true;
    form.levels = 1;
    form.filesInfinity = true;
    form.startAtOnce = false;
    form.startAfter = 5;
    form.extensions = "gif";
    form.fromAnywhere = true;
    form.skipCertificateCheck = true;
    TaskEditParams params;
    form.store(params);
    EXPECT_EQ(taskByIdentity(tasks, params.Task), &task);
    EXPECT_EQ(params.MaxLevels, 2);
    EXPECT_TRUE(params.MaxFilesInf);
    EXPECT_EQ(params.StartAfter, 5);
    EXPECT_EQ(params.Extensions, "");
    EXPECT_EQ(params.BoundaryPrefix, "");
    EXPECT_TRUE(params.PageRequisites && params.SiteLayout);
    EXPECT_TRUE(params.SkipCertificateCheck);

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
    DefaultTaskOptions stored = options;
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

TEST(GlobalOptionsFormTest, PauseIsShownInFifths) {
    struct Case {
        std::uint16_t stored;
        int shown;
        std::uint16_t storedAgain;
    };
    const Case cases[] = {{500, 100, 500}, {7, 1, 5}, {50000, 10000, 50000}, {0, 0, 0}};
    for (const Case& each : cases) {
        GlobalOptions options;
        options.Pause = each.stored;
        GlobalOptionsForm form(options, DialUpSupport::Off);
        EXPECT_EQ(form.pause, each.shown) << each.stored;
        form.store(options);
        EXPECT_EQ(options.Pause, each.storedAgain) << each.stored;
    }
}

TEST(GlobalOptionsFormTest, TaskRootEndsWithASlash) {
    const std::pair<const char*, const char*> cases[] = {
        {"/d/Downloads", "/d/Downloads/"}, {"/d/Downloads/", "/d/Downloads/"}, {"", "/"}};
    for (const auto& [typed, stored] : cases) {
        GlobalOptions options;
        GlobalOptionsForm form(options, DialUpSupport::Off);
        form.taskRoot = typed;
        form.store(options);
        EXPECT_EQ(options.TaskRoot, stored) << typed;
    }
}

TEST(GlobalOptionsFormTest, NotifyIsTheSumOfTheCheckedBoxes) {
    GlobalOptions options;
    options.Notify = 2;
    GlobalOptionsForm form(options, DialUpSupport::Off);
    EXPECT_EQ(form.notify, (std::array<bool, 6>{false, true, false, false, false, false}));
    form.notify.fill(true);
    form.store(options);
    EXPECT_EQ(options.Notify, 63);
    form.notify = {true, false, false, false, true, false};
    form.store(options);
    EXPECT_EQ(options.Notify, 17);
}

TEST(GlobalOptionsFormTest, ControlsFollowTheirBoxes) {
    GlobalOptions options;
    GlobalOptionsForm form(options, DialUpSupport::Off);
    EXPECT_EQ(form.otherChoiceCaption(), "Copy the local file");
    form.saveSeparate = false;
    EXPECT_EQ(form.otherChoiceCaption(), "Link to the local file");
    EXPECT_FALSE(form.httpProxyEnabled());
    form.useHttpProxy = true;
    EXPECT_TRUE(form.httpProxyEnabled());
    form.useFtpProxy = true;
    EXPECT_TRUE(form.ftpProxyEnabled());
    EXPECT_TRUE(form.verifyCertificatesEnabled());
    form.https = false;
    EXPECT_FALSE(form.verifyCertificatesEnabled());
}

TEST(GlobalOptionsFormTest, DialUpControlsFollowWhatStartUpFound) {
    struct Case {
        DialUpSupport dialUp;
        bool useRasCtrl;
        bool breakConnection;  // and the broken-connection notification
    };
    const Case cases[] = {
        {DialUpSupport::Off, true, false},
        {DialUpSupport::ModuleMissing, false, false},
        {DialUpSupport::Loaded, true, true},
    };
    GlobalOptions options;
    options.BreakConnection = true;
    for (const Case& c : cases) {
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

TEST(GlobalOptionsFormTest, OkWithoutChangesStoresTheSameSettings) {
    GlobalOptions options;
    options.TaskRoot = "/srv/grabs/";
    options.NameAuto = false;
    options.UseHTTPProxy = true;
    options.HTTPProxyName = "proxy";
    options.HTTPProxyPort = "3128";
    options.SavePassword = true;
    options.MaxFTPConns = 7;
    options.MaxConnsPerHost = 3;
    GlobalOptions stored = options;
    GlobalOptionsForm(options, DialUpSupport::Off).store(stored);
    options.NameAuto = true;
    EXPECT_EQ(stored, options);
}

TEST(GlobalOptionsFormTest, HttpsAndDispatchBoxesShowAndStoreTheirKeys) {
    const std::array<bool, 3> cases[] = {{true, true, false}, {false, false, true}};
    for (const auto& [https, verify, fast] : cases) {
        GlobalOptions options;
        options.HTTPS = https;
        options.VerifyCertificates = verify;
        options.FastDispatch = fast;
        GlobalOptions stored;
        stored.HTTPS = !https;
        stored.VerifyCertificates = !verify;
        stored.FastDispatch = !fast;
        GlobalOptionsForm(options, DialUpSupport::Off).store(stored);
        EXPECT_EQ(stored.HTTPS, https);
        EXPECT_EQ(stored.VerifyCertificates, verify);
        EXPECT_EQ(stored.FastDispatch, fast);
    }
}

TEST(GlobalOptionsFormTest, DirectoryChooser) {
    EXPECT_EQ(chooserStartDirectory("/srv/grabs/", true), "/srv/grabs/");
    EXPECT_EQ(chooserStartDirectory("/gone/", false), "/");
    EXPECT_EQ(chosenDirectory("/srv/grabs"), "/srv/grabs/");
    EXPECT_EQ(chosenDirectory("/"), "/");
}

}  // namespace
}  // namespace quillharbor
