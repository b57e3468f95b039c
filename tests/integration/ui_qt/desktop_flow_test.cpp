// The desktop program's session on the offscreen platform against nginx on loopback (a small
// tree of pages, a private program directory): task files coming back, the commands following
// selection and focus, a task started and stopped, the two ways to close; the dialogs' fields
// reaching the engine and Cancel keeping everything; links and pages dropped on the drop window
// running their tasks, the clipboard taken only while watched, the drop window's place kept.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <memory>

#include "net/http_servers.h"
#include "platform/files.h"
#include "ui/qt/desktop_application.h"
#include "ui/qt/desktop_session.h"
#include "ui/qt/qt_desktop_shell.h"

namespace quillharbor::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr int kWaitMs = 20000;

class DesktopFlowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const fs::path root = servers().root;
        // Three levels of pages, for the level limit.
        for (const auto& [path, text] : {std::pair{"big/index.html", "<a href=\"big.bin\">big</a>"},
                                         {"small.html", "<p>small</p>"},
                                         {"levels/index.html", "<a href=\"a.html\">a</a>"},
                                         {"levels/a.html", "<a href=\"b.html\">b</a>"},
                                         {"levels/b.html", "<p>b</p>"}}) {
            fs::create_directories((root / path).parent_path());
            std::ofstream(root / path) << text << "\n";
        }
        // Large enough that a stop finds it still arriving.
        std::ofstream(root / "big" / "big.bin").close();
        fs::resize_file(root / "big" / "big.bin", std::uintmax_t{2} << 30);
        ASSERT_TRUE(servers().startNginx());
    }
    static HttpServers& servers() { return HttpServers::instance(); }
    static std::string url(const std::string& path) {
        return HttpServers::at(servers().nginxPort, path);
    }

    std::unique_ptr<DesktopSession> open() {
        auto session = std::make_unique<DesktopSession>(m_home.path(), m_home / "downloads/");
        session->show();
        session->window().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&session->window()));
        return session;
    }
    static TTask* create(DesktopSession& session, const std::string& name, const std::string& path,
                         bool startAtOnce) {
        Engine& engine = session.engine();
        engine.PrepareNewTaskParams();
        engine.newTaskParams().Name = name;
        engine.newTaskParams().URL = url(path);
        engine.newTaskParams().StartAtOnce = startAtOnce;
        return engine.CreateTask();
    }
    static int rows(DesktopSession& session, ObjectListPage page) {
        return session.window().objectView(page)->model()->rowCount();
    }
    static void selectTasks(DesktopSession& session, std::vector<int> rows) {
        QListView* view = session.window().taskView();
        view->setFocus();
        view->selectionModel()->clearSelection();
        for (int row : rows) {
            view->selectionModel()->select(view->model()->index(row, 0),
                                           QItemSelectionModel::Select);
        }
    }

    // As a click does: on the command as the window shows it now.
    static void trigger(DesktopSession& session, UiCommand command) {
        session.window().flush();
        session.window().action(command)->trigger();
    }
    // The reports are posted: they arrive on a later turn of the loop.
    static bool settle(const std::function<bool()>& done) { return QTest::qWaitFor(done, kWaitMs); }
    static void pressOk(QWidget* dialog) {
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }
    static bool drop(QWidget* target, const QMimeData& mime, Qt::KeyboardModifiers keys) {
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, keys);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, keys);
        QCoreApplication::sendEvent(target, &dropped);
        return enter.isAccepted() && dropped.isAccepted();
    }
    // The folder of the task once it has finished, "" when it never does.
    static std::string finishedDir(DesktopSession& session, const std::string& name) {
        const TTask* task = nullptr;
        const bool finished = settle([&] {
            task = session.engine().state().TaskList.TaskFind(name);
            return task != nullptr && task->State == TaskState::Finished;
        });
        return finished ? task->Dir : "";
    }

    TempDirectory m_home;
};

TEST_F(DesktopFlowTest, TaskFilesComeBackRowsMoveAndClosingARunningTaskAsks) {
    {
        auto first = open();
        ASSERT_NE(create(*first, "alpha", "/small.html", false), nullptr);
        ASSERT_NE(create(*first, "beta", "/big/index.html", false), nullptr);
        first->dropWindow().widget()->move(100, 120);
        // Both run: a forced close (the signal's) writes them without asking.
        first->forceClose();
    }
    auto session = open();
    MainWindow& window = session->window();
    ASSERT_EQ(window.taskView()->model()->rowCount(), 2);
    EXPECT_EQ(session->dropWindow().position(), (ScreenPoint{100, 120}));
    // Every toolbar button has an icon, from the theme or the program's own.
    for (const QAction* button : window.findChild<QToolBar*>()->actions()) {
        EXPECT_TRUE(button->isSeparator() || !button->icon().pixmap(24).isNull())
            << button->text().toStdString();
    }
    selectTasks(*session, {0});
    window.flush();
    EXPECT_EQ(window.detailLabels()[0]->text().toStdString(), "URL: " + url("/small.html"));

    // Ctrl+Insert on the Queued list copies the selected row's URL.
    QTableView* queued = window.objectView(ObjectListPage::Queued);
    selectTasks(*session, {1});
    window.pages()->setCurrentIndex(2);
    queued->setFocus();
    queued->selectionModel()->select(queued->model()->index(0, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.flush();
    QTest::keyClick(queued, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), url("/big/index.html"));
    selectTasks(*session, {0});
    trigger(*session, UiCommand::StartTask);
    ASSERT_NE(finishedDir(*session, "alpha"), "");

    // Started, the page moves to Saved and its link shows in Being retrieved; aborted, the
    // transfer ends at once and its row leaves that list.
    selectTasks(*session, {1});
    trigger(*session, UiCommand::StartTask);
    ASSERT_TRUE(settle([&] {
        return rows(*session, ObjectListPage::BeingRetrieved) == 1 &&
               rows(*session, ObjectListPage::Saved) == 1;
    }));
    const auto* retrieving = window.objectView(ObjectListPage::BeingRetrieved)->model();
    EXPECT_EQ(retrieving->index(0, 0).data().toString().toStdString(), url("/big/big.bin"));
    trigger(*session, UiCommand::AbortTask);
    ASSERT_TRUE(settle([&] { return rows(*session, ObjectListPage::BeingRetrieved) == 0; }));
    EXPECT_EQ(rows(*session, ObjectListPage::Saved), 2);

    // With a task running Exit asks, and the window stays until the question's OK; the task
    // files are written then.
    trigger(*session, UiCommand::StartTask);
    fs::remove(m_home / "alpha.tsf");
    trigger(*session, UiCommand::Exit);
    EXPECT_TRUE(window.isVisible());
    ConfirmDialog* question = session->dialogs().confirmExit();
    ASSERT_TRUE(question->isVisible());
    pressOk(question);
    ASSERT_TRUE(settle([&] { return !window.isVisible(); }));
    EXPECT_TRUE(fs::exists(m_home / "alpha.tsf"));
    EXPECT_THAT(readWholeFile(m_home / "beta.tsf").valueOr(""), HasSubstr("big.bin"));
}

TEST_F(DesktopFlowTest, DroppedLinksAndPagesRunTheirTasks) {
    auto session = open();
    QWidget* window = session->dropWindow().widget();

    // Shift: this document only.
    QMimeData link;
    link.setData("text/uri-list", QByteArray::fromStdString(url("/levels/index.html") + "\r\n"));
    link.setHtml("<a href=\"x\">levels</a>");
    ASSERT_TRUE(drop(window, link, Qt::ShiftModifier));
    const std::string first = finishedDir(*session, "Task-1");
    EXPECT_TRUE(fs::exists(first + "Starting Document.html"));
    EXPECT_FALSE(fs::exists(first + "a.html"));

    // Ctrl+Shift on a page: the dropped bytes are its starting document; two levels: its link
    // is fetched under its own name, the link's link is not.
    QMimeData page;
    page.setHtml("<a href=\"a.html\">a</a>");
    page.setData("text/x-moz-url-priv", QByteArray::fromStdString(url("/levels/index.html")));
    ASSERT_TRUE(drop(window, page, Qt::ControlModifier | Qt::ShiftModifier));
    const std::string second = finishedDir(*session, "Task-2");
    EXPECT_TRUE(fs::exists(second + "a.html"));
    EXPECT_FALSE(fs::exists(second + "b.html"));

    // Keys without a meaning make nothing.
    EXPECT_FALSE(drop(window, link, Qt::ControlModifier | Qt::AltModifier));
    session->loop().processPending();
    EXPECT_EQ(session->engine().state().TaskList.size(), 2u);
}

TEST_F(DesktopFlowTest, TheClipboardIsTakenOnlyWhileWatchedAndTheDropWindowsMenuHidesIt) {
    auto session = open();
    const auto copied = [&](const std::string& text) {
        QApplication::clipboard()->setText(QString::fromStdString(text));
        session->loop().processPending();
        return session->engine().state().TaskList.size();
    };
    EXPECT_EQ(copied(url("/small.html")), 0u);
    QAction* paste = session->window().action(UiCommand::TogglePasteFromClipboard);
    paste->trigger();
    EXPECT_EQ(copied(" " + url("/small.html") + "\n"), 1u);
    // The same text announced again is not taken twice, nor the program's own copy (Copy URL).
    EXPECT_EQ(copied(" " + url("/small.html") + "\n"), 1u);
    QtDesktopShell().copyText(url("/levels/index.html"));
    session->loop().processPending();
    EXPECT_EQ(session->engine().state().TaskList.size(), 1u);
    EXPECT_TRUE(fs::exists(finishedDir(*session, "Task-1") + "Starting Document.html"));

    paste->trigger();
    EXPECT_EQ(copied(url("/levels/a.html")), 1u);

    // The drop window's own menu hides it; the toolbar button shows it again.
    QWidget* window = session->dropWindow().widget();
    window->findChild<QMenu*>()->actions().front()->trigger();  // Hide Drop Window
    session->loop().processPending();
    session->window().flush();
    EXPECT_FALSE(window->isVisible());
    QAction* button = session->window().action(UiCommand::ToggleDropWindow);
    EXPECT_EQ(button->toolTip(), "Show Drop Window");
    EXPECT_FALSE(session->window().action(UiCommand::DropWindowItem)->isChecked());
    button->trigger();
    EXPECT_TRUE(window->isVisible());
}

TEST_F(DesktopFlowTest, EditTaskLowersTheLevelsAndHaltEndsTheLinkRewriter) {
    auto session = open();
    MainWindow& window = session->window();
    TTask* task = create(*session, "levels", "/levels/index.html", false);
    ASSERT_NE(task, nullptr);
    selectTasks(*session, {0});
    // Alt gives the menu bar the focus; the menus still act on the task list.
    window.menuBar()->setFocus(Qt::MenuBarFocusReason);
    trigger(*session, UiCommand::EditTask);
    EditTaskDialog* dialog = session->dialogs().editTask();
    ASSERT_TRUE(dialog->isVisible());
    window.flush();
    EXPECT_FALSE(window.taskView()->isEnabled());

    dialog->levelsSpin()->setValue(1);
    for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) {
        box->setChecked(box->isChecked() || box->text() == "&Start at once");
    }
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    ASSERT_TRUE(settle([&] { return session->model().taskListEnabled(); }));
    window.flush();
    EXPECT_TRUE(window.taskView()->isEnabled());
    EXPECT_EQ(window.detailLabels()[5]->text(), "Max levels: 2");
    EXPECT_EQ(task->State, TaskState::Stopped);

    // Halted, the session tells the link rewriter to end.
    session->halt();
    session->rewriter().QueueTaskForParsing(*task);
    EXPECT_FALSE(session->rewriter().isPending());
}

TEST_F(DesktopFlowTest, GlobalOptionsOkRebuildsTheSlotsAndCancelKeepsEverything) {
    auto session = open();
    Engine& engine = session->engine();
    trigger(*session, UiCommand::GlobalOptions);
    GlobalOptionsDialog* dialog = session->dialogs().globalOptions();
    ASSERT_TRUE(dialog->isVisible());
    dialog->httpsBox()->setChecked(false);
    EXPECT_FALSE(dialog->verifyCertificatesBox()->isEnabled());
    dialog->httpConnectionsSpin()->setValue(3);
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    ASSERT_TRUE(settle([&] { return engine.state().HttpSlots.size() == 3; }));
    EXPECT_FALSE(engine.globalOptions().HTTPS);

    const GlobalOptions before = engine.globalOptions();
    trigger(*session, UiCommand::GlobalOptions);
    dialog->httpConnectionsSpin()->setValue(9);
    // The folder picker's choice reaches the task root field.
    QTest::mouseClick(dialog->browseButton(), Qt::LeftButton);
    QFileDialog* chooser = dialog->directoryChooser();
    chooser->setDirectory(QString::fromStdString(m_home.path()));
    static_cast<QDialog*>(chooser)->accept();
    EXPECT_EQ(dialog->taskRootEdit()->text().toStdString(), m_home.path());
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(settle([&] { return session->model().enabled(UiCommand::NewTask); }));
    EXPECT_EQ(engine.globalOptions(), before);

    const DefaultTaskOptions defaults = engine.defaultTaskOptions();
    trigger(*session, UiCommand::DefaultTaskOptions);
    session->dialogs().defaultTaskOptions()->levelsSpin()->setValue(7);
    QTest::keyClick(session->dialogs().defaultTaskOptions(), Qt::Key_Escape);
    ASSERT_TRUE(settle([&] { return session->model().enabled(UiCommand::NewTask); }));
    EXPECT_EQ(engine.defaultTaskOptions(), defaults);
}

// A counted notification redraws its box; New Task from the toolbar makes its task; Remove asks;
// the About box leaves with the focus.
TEST_F(DesktopFlowTest, NotificationsNewTaskRemoveAndAboutBoxes) {
    auto session = open();
    NotificationBoxes& boxes = *session->dialogs().notifications();
    for (int shown = 0; shown < 7; ++shown) {
        session->model().ShowNotification("Cannot connect to 127.0.0.1");
    }
    EXPECT_EQ(boxes.box(5)->text(), "Cannot connect to 127.0.0.1 (2 times)");
    pressOk(boxes.box(1));
    ASSERT_TRUE(settle([&] { return boxes.box(1) == nullptr; }));

    MainWindow& window = session->window();
    QTest::mouseClick(
        window.findChild<QToolBar*>()->widgetForAction(window.action(UiCommand::NewTask)),
        Qt::LeftButton);
    NewTaskDialog* dialog = session->dialogs().newTask();
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->nameEdit()->text(), "Task-1");
    EXPECT_FALSE(dialog->okButton()->isEnabled());
    QTest::keyClicks(dialog->urlEdit(), QString::fromStdString(url("/levels/index.html")));
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_TRUE(settle([&] { return window.taskView()->model()->rowCount() == 1; }));
    EXPECT_EQ(session->engine().state().TaskList.head()->BoundaryPrefix, url("/levels/"));

    ASSERT_NE(create(*session, "second", "/small.html", false), nullptr);
    selectTasks(*session, {0, 1});
    trigger(*session, UiCommand::RemoveTask);
    ASSERT_TRUE(session->dialogs().confirmRemove()->isVisible());
    pressOk(session->dialogs().confirmRemove());
    ASSERT_TRUE(settle([&] { return window.taskView()->model()->rowCount() == 0; }));

    trigger(*session, UiCommand::About);
    AboutBox* about = session->dialogs().about();
    ASSERT_TRUE(QTest::qWaitForWindowActive(about));
    window.activateWindow();
    EXPECT_TRUE(settle([&] { return !about->isVisible(); }));
}

}  // namespace
}  // namespace quillharbor::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    quillharbor::DesktopApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
