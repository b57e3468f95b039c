// The desktop program's main window on the offscreen platform: task files coming back, the
// commands following selection and focus, a task started and stopped against nginx on loopback,
// and the two ways to close.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QTest>
#include <QToolBar>
#include <filesystem>
#include <fstream>

#include "net/server_process.h"
#include "platform/files.h"
#include "platform/temp_directory.h"
#include "ui/object_row.h"
#include "ui/qt/desktop_application.h"
#include "ui/qt/desktop_session.h"

namespace quillharbor::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr int kWaitMs = 20000;

class DesktopFlowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_work = new TempDirectory;
        const fs::path root = *s_work / "www";
        fs::create_directories(root / "big");
        std::ofstream(root / "big" / "index.html") << "<a href=\"big.bin\">big</a>\n";
        std::ofstream(root / "big" / "big.bin").close();
        // Large enough that a stop finds it still arriving.
        fs::resize_file(root / "big" / "big.bin", std::uintmax_t{2} << 30);
        std::ofstream(root / "small.html") << "<p>small</p>\n";
        fs::create_directories(*s_work / "nginx");
        s_port = freePort();
        s_nginx = new ServerProcess;
        ASSERT_TRUE(s_nginx->start({"/usr/bin/python3", serverScript("http_nginx.py"),
                                    std::to_string(s_port), *s_work / "nginx", root.string()},
                                   s_port, *s_work / "nginx.out"));
    }
    static void TearDownTestSuite() {
        delete s_nginx;
        delete s_work;
    }
    static std::string url(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(s_port) + path;
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
        engine.newTaskParams().Parse = true;
        engine.newTaskParams().StartAtOnce = startAtOnce;
        return engine.CreateTask();
    }
    static bool enabled(DesktopSession& session, UiCommand command) {
        session.window().flush();
        return session.window().action(command)->isEnabled();
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

    static inline TempDirectory* s_work = nullptr;
    static inline ServerProcess* s_nginx = nullptr;
    static inline std::uint16_t s_port = 0;
    TempDirectory m_home;
};

TEST_F(DesktopFlowTest, TaskFilesComeBackAndSelectionsDriveTheCommands) {
    {
        auto first = open();
        ASSERT_NE(create(*first, "alpha", "/small.html", false), nullptr);
        ASSERT_NE(create(*first, "beta", "/big/index.html", false), nullptr);
        // Both run: a forced close (the signal's) writes them without asking.
        first->forceClose();
        ASSERT_TRUE(first->saved());
    }
    auto session = open();
    MainWindow& window = session->window();
    ASSERT_EQ(window.taskView()->model()->rowCount(), 2);
    // Every toolbar button has an icon, from the theme or the program's own.
    for (const QAction* button : window.findChild<QToolBar*>()->actions()) {
        EXPECT_TRUE(button->isSeparator() || !button->icon().pixmap(24).isNull())
            << button->text().toStdString();
    }
    EXPECT_FALSE(enabled(*session, UiCommand::StartTask));
    EXPECT_TRUE(enabled(*session, UiCommand::GlobalOptions));

    selectTasks(*session, {0});
    EXPECT_TRUE(enabled(*session, UiCommand::StartTask));
    EXPECT_FALSE(enabled(*session, UiCommand::StopTask));
    EXPECT_TRUE(enabled(*session, UiCommand::RemoveTask));
    EXPECT_TRUE(enabled(*session, UiCommand::RetryFailedLinks));
    EXPECT_EQ(window.detailLabels()[0]->text().toStdString(), "URL: " + url("/small.html"));
    EXPECT_EQ(rows(*session, ObjectListPage::Queued), 1);

    selectTasks(*session, {0, 1});
    EXPECT_FALSE(enabled(*session, UiCommand::EditTask));
    EXPECT_TRUE(enabled(*session, UiCommand::StartTask));
    EXPECT_EQ(window.detailLabels()[0]->text(), "URL: ");
    EXPECT_EQ(rows(*session, ObjectListPage::Queued), 0);

    // Focus on the Queued list: the object commands follow its selection.
    QTableView* queued = window.objectView(ObjectListPage::Queued);
    selectTasks(*session, {1});
    window.pages()->setCurrentIndex(2);
    queued->setFocus();
    EXPECT_FALSE(enabled(*session, UiCommand::StartTask));
    EXPECT_FALSE(enabled(*session, UiCommand::RemoveFromQueue));
    queued->selectionModel()->select(queued->model()->index(0, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_TRUE(enabled(*session, UiCommand::RemoveFromQueue));
    EXPECT_TRUE(enabled(*session, UiCommand::CopyUrl));
    QTest::keyClick(queued, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), url("/big/index.html"));

    // Exit with nothing running closes at once and writes the files.
    fs::remove(m_home / "alpha.tsf");
    window.action(UiCommand::Exit)->trigger();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(session->saved());
    EXPECT_TRUE(fs::exists(m_home / "alpha.tsf"));
}

TEST_F(DesktopFlowTest, RowsMoveBetweenListsAndClosingARunningTaskAsks) {
    auto session = open();
    MainWindow& window = session->window();
    TTask* task = create(*session, "grab", "/big/index.html", true);
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(window.taskView()->selectionModel()->selectedRows().size(), 1);
    EXPECT_TRUE(enabled(*session, UiCommand::StopTask));
    EXPECT_FALSE(enabled(*session, UiCommand::GlobalOptions));

    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return rows(*session, ObjectListPage::BeingRetrieved) == 1 &&
                   rows(*session, ObjectListPage::Saved) == 1;
        },
        kWaitMs));
    const auto* retrieving = window.objectView(ObjectListPage::BeingRetrieved)->model();
    EXPECT_EQ(retrieving->index(0, 0).data().toString().toStdString(), url("/big/big.bin"));

    // Aborted, the transfer ends at once and its row leaves the Being retrieved list.
    window.action(UiCommand::AbortTask)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows(*session, ObjectListPage::BeingRetrieved) == 0; },
                                kWaitMs));
    EXPECT_EQ(rows(*session, ObjectListPage::Saved), 2);
    EXPECT_NE(task->State, TaskState::Running);
    EXPECT_FALSE(enabled(*session, UiCommand::StopTask));
    EXPECT_FALSE(enabled(*session, UiCommand::StopAllTasks));

    // With a task running the close box asks, and the window stays until the question's OK.
    ASSERT_NE(create(*session, "again", "/big/index.html", true), nullptr);
    window.close();
    EXPECT_TRUE(window.isVisible());
    QMessageBox* question = nullptr;
    for (QMessageBox* box : session->dialogs().openBoxes()) {
        if (box->standardButtons() & QMessageBox::Cancel) {
            question = box;
        }
    }
    ASSERT_NE(question, nullptr);
    EXPECT_FALSE(session->saved());
    question->accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, kWaitMs));
    EXPECT_TRUE(session->saved());
    EXPECT_THAT(readWholeFile(m_home / "grab.tsf").valueOr(""), HasSubstr("big.bin"));
}

TEST_F(DesktopFlowTest, HaltTellsTheLinkRewriterToEnd) {
    auto session = open();
    TTask* task = create(*session, "halted", "/small.html", false);
    ASSERT_NE(task, nullptr);
    session->halt();
    session->rewriter().QueueTaskForParsing(*task);
    EXPECT_FALSE(session->rewriter().isPending());
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
