// The drop window on the offscreen platform: links and pages dropped on it become tasks that
// run against nginx on loopback, the clipboard is taken only while watched, the window's own
// menu drives the toggles, and its place is kept across runs.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>

#include "ui/qt/qt_desktop_shell.h"
#include "ui_qt/desktop_fixture.h"

namespace quillharbor::test {
namespace {

using ::testing::HasSubstr;

class DropWindowFlowTest : public DesktopFixture {
protected:
    static bool drop(QWidget* target, const QMimeData& mime, Qt::KeyboardModifiers keys) {
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, keys);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, keys);
        QCoreApplication::sendEvent(target, &dropped);
        return enter.isAccepted() && dropped.isAccepted();
    }
    static TTask* task(DesktopSession& session, const std::string& name) {
        return session.engine().state().TaskList.TaskFind(name);
    }
    static bool finished(DesktopSession& session, const std::string& name) {
        return QTest::qWaitFor(
            [&] {
                const TTask* found = task(session, name);
                return found != nullptr && found->State == TaskState::Finished;
            },
            kWaitMs);
    }
};

TEST_F(DropWindowFlowTest, DroppedLinksAndPagesRunTheirTasks) {
    auto session = open();
    QWidget* window = session->dropWindow().widget();
    ASSERT_TRUE(window->isVisible());
    EXPECT_THAT(window->toolTip().toStdString(), HasSubstr("Ctrl+Shift"));

    // Shift: this document only.
    QMimeData link;
    link.setData("text/uri-list", QByteArray::fromStdString(url("/levels/index.html") + "\r\n"));
    link.setHtml("<a href=\"x\">levels</a>");
    ASSERT_TRUE(drop(window, link, Qt::ShiftModifier));
    ASSERT_TRUE(finished(*session, "Task-1"));
    const std::string first = task(*session, "Task-1")->Dir;
    EXPECT_TRUE(fs::exists(first + "Starting Document.html"));
    EXPECT_FALSE(fs::exists(first + "a.html"));

    // Ctrl+Shift on a page: the dropped bytes are its starting document; two levels: its link
    // is fetched under its own name, the link's link is not.
    QMimeData page;
    page.setHtml("<a href=\"a.html\">a</a>");
    page.setData("text/x-moz-url-priv", QByteArray::fromStdString(url("/levels/index.html")));
    ASSERT_TRUE(drop(window, page, Qt::ControlModifier | Qt::ShiftModifier));
    ASSERT_TRUE(finished(*session, "Task-2"));
    const std::string second = task(*session, "Task-2")->Dir;
    EXPECT_TRUE(fs::exists(second + "a.html"));
    EXPECT_FALSE(fs::exists(second + "b.html"));

    // Keys without a meaning, and a page without its URL, make nothing.
    EXPECT_FALSE(drop(window, link, Qt::ControlModifier | Qt::AltModifier));
    QMimeData bare;
    bare.setHtml("<p>x</p>");
    EXPECT_TRUE(drop(window, bare, Qt::NoModifier));
    session->loop().processPending();
    EXPECT_EQ(session->engine().state().TaskList.size(), 2u);
}

TEST_F(DropWindowFlowTest, TheClipboardIsTakenOnlyWhileWatched) {
    auto session = open();
    QClipboard* clipboard = QApplication::clipboard();
    const auto copied = [&](const std::string& text) {
        clipboard->setText(QString::fromStdString(text));
        session->loop().processPending();
        return session->engine().state().TaskList.size();
    };
    EXPECT_EQ(copied(url("/small.html")), 0u);

    QAction* paste = session->window().action(UiCommand::TogglePasteFromClipboard);
    paste->trigger();
    EXPECT_TRUE(session->engine().globalOptions().PasteLinksFromClipboard);
    EXPECT_EQ(copied("two words"), 0u);
    EXPECT_EQ(copied(" " + url("/small.html") + "\n"), 1u);
    // The same text announced again is not taken twice.
    EXPECT_EQ(copied(" " + url("/small.html") + "\n"), 1u);
    // Nor the program's own copy (Copy URL).
    QtDesktopShell shell;
    shell.copyText(url("/levels/index.html"));
    session->loop().processPending();
    EXPECT_EQ(session->engine().state().TaskList.size(), 1u);
    ASSERT_TRUE(finished(*session, "Task-1"));
    EXPECT_TRUE(fs::exists(task(*session, "Task-1")->Dir + "Starting Document.html"));

    paste->trigger();
    EXPECT_FALSE(session->engine().globalOptions().PasteLinksFromClipboard);
    EXPECT_EQ(copied(url("/levels/a.html")), 1u);
}

TEST_F(DropWindowFlowTest, ItsOwnMenuHidesItAndItsPlaceIsKept) {
    {
        auto session = open();
        QWidget* window = session->dropWindow().widget();
        QMenu* menu = window->findChild<QMenu*>();
        ASSERT_NE(menu, nullptr);
        menu->actions().front()->trigger();  // Hide Drop Window
        session->loop().processPending();
        session->window().flush();
        EXPECT_FALSE(window->isVisible());
        QAction* button = session->window().action(UiCommand::ToggleDropWindow);
        QAction* item = session->window().action(UiCommand::DropWindowItem);
        EXPECT_EQ(button->toolTip(), "Show Drop Window");
        EXPECT_FALSE(button->isChecked());
        EXPECT_EQ(item->text(), "Show Drop Window");
        EXPECT_FALSE(item->isChecked());

        button->trigger();
        session->window().flush();
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(button->toolTip(), "Hide Drop Window");
        EXPECT_TRUE(item->isChecked());
        window->move(100, 120);
        session->forceClose();
    }
    auto session = open();
    EXPECT_EQ(session->dropWindow().position(), (ScreenPoint{100, 120}));
}

}  // namespace
}  // namespace quillharbor::test
