// The desktop program's main window on the offscreen platform: task files coming back, the
// commands following selection and focus, a task started and stopped against nginx on loopback,
// and the two ways to close.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include "platform/files.h"
#include "ui/object_row.h"
#include "ui/qt/desktop_application.h"
#include "ui/qt/desktop_session.h"
#include "ui_qt/desktop_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::HasSubstr;
using DesktopFlowTest = DesktopFixture;

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
    ConfirmDialog* question = session->dialogs().confirmExit();
    ASSERT_TRUE(question->isVisible());
    EXPECT_FALSE(session->saved());
    question->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
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
