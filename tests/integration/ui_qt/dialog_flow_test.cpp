// The dialogs of the desktop program on the offscreen platform: a task made in New Task runs
// against nginx, Edit Task lowers its levels, Global Options rebuilds the slots, Cancel keeps
// everything, repeated notifications stay a handful of boxes, and the small dialogs answer.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>

#include "ui_qt/desktop_fixture.h"

namespace quillharbor::test {
namespace {

class DialogFlowTest : public DesktopFixture {
protected:
    static void clickToolButton(MainWindow& window, UiCommand command) {
        QWidget* button = window.findChild<QToolBar*>()->widgetForAction(window.action(command));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // As a click does: on the command as the window shows it now.
    static void trigger(DesktopSession& session, UiCommand command) {
        session.window().flush();
        session.window().action(command)->trigger();
    }
    static bool dialogCommandsEnabled(DesktopSession& session) {
        return enabled(session, UiCommand::NewTask) &&
               enabled(session, UiCommand::DefaultTaskOptions) &&
               enabled(session, UiCommand::GlobalOptions);
    }
    // The reports are posted: they arrive on a later turn of the loop.
    static bool settle(const std::function<bool()>& done) { return QTest::qWaitFor(done, kWaitMs); }
};

TEST_F(DialogFlowTest, NewTaskFromTheToolbarRuns) {
    auto session = open();
    MainWindow& window = session->window();
    clickToolButton(window, UiCommand::NewTask);
    NewTaskDialog* dialog = session->dialogs().newTask();
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_FALSE(enabled(*session, UiCommand::NewTask));
    EXPECT_FALSE(enabled(*session, UiCommand::GlobalOptions));
    EXPECT_EQ(dialog->nameEdit()->text(), "Task-1");
    EXPECT_FALSE(dialog->okButton()->isEnabled());

    QTest::keyClicks(dialog->urlEdit(), QString::fromStdString(url("/levels/index.html")));
    ASSERT_TRUE(dialog->okButton()->isEnabled());
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_TRUE(settle([&] { return window.taskView()->model()->rowCount() == 1; }));
    const TTask* task = session->engine().state().TaskList.TaskFind("Task-1");
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->BoundaryPrefix, url("/levels/"));
    ASSERT_TRUE(settle([&] { return task->State == TaskState::Finished; }));
    EXPECT_EQ(rows(*session, ObjectListPage::Saved), 3);
    EXPECT_TRUE(dialogCommandsEnabled(*session));
}

TEST_F(DialogFlowTest, EditTaskLowersTheLevelsAndTheQueueFollows) {
    auto session = open();
    MainWindow& window = session->window();
    TTask* task = create(*session, "levels", "/levels/index.html", false);
    ASSERT_NE(task, nullptr);
    ASSERT_EQ(task->State, TaskState::Waiting);
    selectTasks(*session, {0});
    // Alt gives the menu bar the focus; the menus still act on the task list.
    window.menuBar()->setFocus(Qt::MenuBarFocusReason);
    trigger(*session, UiCommand::EditTask);
    EditTaskDialog* dialog = session->dialogs().editTask();
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_FALSE(enabled(*session, UiCommand::EditTask));
    EXPECT_FALSE(window.taskView()->isEnabled());

    // One link away: the starting page's links are taken, theirs are not.
    dialog->levelsSpin()->setValue(1);
    for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) {
        if (box->text() == "&Start at once") {
            box->setChecked(true);
        }
    }
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    ASSERT_TRUE(settle([&] { return session->model().taskListEnabled(); }));
    window.flush();
    EXPECT_TRUE(window.taskView()->isEnabled());
    EXPECT_EQ(task->MaxLevels, 2);
    EXPECT_EQ(task->State, TaskState::Stopped);
    EXPECT_EQ(window.detailLabels()[5]->text(), "Max levels: 2");

    // The offscreen platform gives the activation back to no window when a dialog hides.
    QApplication::setActiveWindow(&window);
    selectTasks(*session, {0});
    trigger(*session, UiCommand::StartTask);
    ASSERT_TRUE(settle([&] { return task->State == TaskState::Finished; }))
        << static_cast<int>(task->State) << " " << task->Queued << " " << task->Total;
    EXPECT_EQ(task->Total, 2);
    EXPECT_EQ(rows(*session, ObjectListPage::Saved), 2);
    EXPECT_TRUE(dialogCommandsEnabled(*session));
}

TEST_F(DialogFlowTest, GlobalOptionsOkRebuildsTheSlotsAndCancelKeepsEverything) {
    auto session = open();
    Engine& engine = session->engine();
    trigger(*session, UiCommand::GlobalOptions);
    GlobalOptionsDialog* dialog = session->dialogs().globalOptions();
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->pauseSpin()->value(), 100);
    EXPECT_FALSE(dialog->httpProxyNameEdit()->isEnabled());
    dialog->httpProxyBox()->setChecked(true);
    EXPECT_TRUE(dialog->httpProxyNameEdit()->isEnabled());
    dialog->httpProxyBox()->setChecked(false);
    dialog->saveSeparateBox()->setChecked(false);
    EXPECT_EQ(dialog->otherChoice()->text(), "Link to the local file");
    dialog->saveSeparateBox()->setChecked(true);
    EXPECT_TRUE(dialog->verifyCertificatesBox()->isEnabled());
    dialog->httpsBox()->setChecked(false);
    EXPECT_FALSE(dialog->verifyCertificatesBox()->isEnabled());
    dialog->httpConnectionsSpin()->setValue(3);
    QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    ASSERT_TRUE(settle([&] { return engine.state().HttpSlots.size() == 3; }));
    EXPECT_EQ(engine.globalOptions().Pause, 500);
    EXPECT_FALSE(engine.globalOptions().HTTPS);
    EXPECT_TRUE(dialogCommandsEnabled(*session));

    const GlobalOptions before = engine.globalOptions();
    trigger(*session, UiCommand::GlobalOptions);
    dialog->httpConnectionsSpin()->setValue(9);
    // The folder picker opens at "/" for a root that is gone and keeps the typed text until a
    // folder is picked, which it gives with a slash.
    dialog->taskRootEdit()->setText("/gone/away");
    QTest::mouseClick(dialog->browseButton(), Qt::LeftButton);
    QFileDialog* chooser = dialog->directoryChooser();
    ASSERT_TRUE(chooser->isVisible());
    EXPECT_EQ(chooser->directory().absolutePath(), "/");
    chooser->reject();
    EXPECT_EQ(dialog->taskRootEdit()->text(), "/gone/away");
    QTest::mouseClick(dialog->browseButton(), Qt::LeftButton);
    chooser->setDirectory(QString::fromStdString(m_home.path()));
    static_cast<QDialog*>(chooser)->accept();
    EXPECT_EQ(dialog->taskRootEdit()->text().toStdString(), m_home.path());
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(settle([&] { return dialogCommandsEnabled(*session); }));
    EXPECT_EQ(engine.globalOptions(), before);
    EXPECT_EQ(engine.state().HttpSlots.size(), 3u);

    const DefaultTaskOptions defaults = engine.defaultTaskOptions();
    trigger(*session, UiCommand::DefaultTaskOptions);
    DefaultTaskOptionsDialog* options = session->dialogs().defaultTaskOptions();
    options->levelsSpin()->setValue(7);
    QTest::keyClick(options, Qt::Key_Escape);
    ASSERT_TRUE(settle([&] { return dialogCommandsEnabled(*session); }));
    EXPECT_EQ(engine.defaultTaskOptions(), defaults);
}

TEST_F(DialogFlowTest, ManyNotificationsStayAFewBoxes) {
    auto session = open();
    NotificationBoxes& boxes = *session->dialogs().notifications();
    for (int shown = 0; shown < 300; ++shown) {
        session->model().ShowNotification("Cannot connect to 127.0.0.1");
    }
    ASSERT_EQ(boxes.openCount(), NotificationSlots::kOpenBeforeCounting + 1);
    EXPECT_EQ(boxes.box(5)->text(), "Cannot connect to 127.0.0.1 (295 times)");
    EXPECT_TRUE(boxes.box(0)->isVisible());

    // Closing a box frees its slot, and the next notification takes it.
    boxes.box(1)->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    ASSERT_TRUE(settle([&] { return boxes.box(1) == nullptr; }));
    session->model().ShowNotification("Task a is finished.");
    ASSERT_NE(boxes.box(1), nullptr);
    EXPECT_EQ(boxes.box(1)->text(), "Task a is finished.");
}

TEST_F(DialogFlowTest, RemoveAsksAndTheAboutBoxLeavesWithTheFocus) {
    auto session = open();
    MainWindow& window = session->window();
    ASSERT_NE(create(*session, "first", "/small.html", false), nullptr);
    ASSERT_NE(create(*session, "second", "/small.html", false), nullptr);
    selectTasks(*session, {0, 1});
    trigger(*session, UiCommand::RemoveTask);
    ConfirmDialog* question = session->dialogs().confirmRemove();
    ASSERT_TRUE(question->isVisible());
    question->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    ASSERT_TRUE(settle([&] { return window.taskView()->model()->rowCount() == 0; }));

    trigger(*session, UiCommand::About);
    AboutBox* about = session->dialogs().about();
    ASSERT_TRUE(QTest::qWaitForWindowActive(about));
    window.activateWindow();
    EXPECT_TRUE(settle([&] { return !about->isVisible(); }));
}

}  // namespace
}  // namespace quillharbor::test
